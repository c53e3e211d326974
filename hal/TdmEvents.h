// Translators of the TDM bus family. Each request names two resources: the first in its handle,
// the second in peerHandle. The TAL event carries the first as its handle and the second, converted
// the same way, as parameter 0x500015. req_PAL_UNLISTEN goes out through the generic translator.
#ifndef TARNWICK_HAL_TDMEVENTS_H
#define TARNWICK_HAL_TDMEVENTS_H

#include <cstdint>

#include "EventBase.h"

// The one operation the five request translators share; they differ only by TAL id and name.
class CTdmRequestEvent : public CSimplePalEvent {
  public:
    CTdmRequestEvent(uint32_t talId, uint32_t palId, const char* kindName, const char* traceName);
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;

  private:
    const char* const m_traceName;
};

class CProcess_req_PAL_ATTACH : public CTdmRequestEvent {
  public:
    CProcess_req_PAL_ATTACH(uint32_t talId, uint32_t palId, const char* kindName);
};

class CProcess_req_PAL_DETACH : public CTdmRequestEvent {
  public:
    CProcess_req_PAL_DETACH(uint32_t talId, uint32_t palId, const char* kindName);
};

class CProcess_req_PAL_LISTEN : public CTdmRequestEvent {
  public:
    CProcess_req_PAL_LISTEN(uint32_t talId, uint32_t palId, const char* kindName);
};

class CProcess_req_PAL_ROUTE : public CTdmRequestEvent {
  public:
    CProcess_req_PAL_ROUTE(uint32_t talId, uint32_t palId, const char* kindName);
};

class CProcess_req_PAL_UNROUTE : public CTdmRequestEvent {
  public:
    CProcess_req_PAL_UNROUTE(uint32_t talId, uint32_t palId, const char* kindName);
};

#endif
