#include "mtcore/MT_PalApi.h"

#include "mtcore/HostSide.h"

namespace MTCore {

MT_PAL::MT_PAL() {
    HostSide::instance().endpointCreated();
}

MT_PAL::~MT_PAL() {
    HostSide::instance().endpointDestroyed();
}

Core_TransInfo* MT_PAL::MTpal_GetNextEvent() {
    return HostSide::instance().nextRequest();
}

void MT_PAL::MTpal_PostEventToServer(Core_TransInfo* event) {
    HostSide::instance().post(event);
}

// A HAL never calls this; an event sent "to the HAL" becomes a request for it.
void MT_PAL::MTpal_PostEventToHAL(Core_TransInfo* event) {
    HostSide::instance().submit(event);
}

}  // namespace MTCore
