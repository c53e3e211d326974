// The host's event endpoint for a HAL.
#ifndef TARNWICK_MTCORE_MT_PALAPI_H
#define TARNWICK_MTCORE_MT_PALAPI_H

#include "mtcore/TransInfo.h"

namespace MTCore {

// One endpoint per event pump. MTpal_GetNextEvent and MTpal_PostEventToServer may be called from
// two threads at once. Every instance talks to the process's one host side (mtcore/HostSide.h).
class MT_PAL {
  public:
    MT_PAL();
    // Blocks until the host has a request and returns it; the HAL owns it from then on. May throw
    // (the host's failure); never returns null.
    virtual Core_TransInfo* MTpal_GetNextEvent();
    // Hands a completion or notification to the host, which takes ownership. Null is ignored.
    virtual void MTpal_PostEventToServer(Core_TransInfo* event);
    // Not used by a HAL; kept for the host's interface. Takes ownership like the above; the event
    // becomes a request for MTpal_GetNextEvent.
    virtual void MTpal_PostEventToHAL(Core_TransInfo* event);
    virtual ~MT_PAL();

    MT_PAL(const MT_PAL&) = delete;
    MT_PAL& operator=(const MT_PAL&) = delete;
};

}  // namespace MTCore

#endif
