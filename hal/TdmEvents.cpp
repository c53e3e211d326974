#include "TdmEvents.h"

#include "mtcore/Events.h"

namespace {
// The second resource of the operation, as a TAL handle.
constexpr uint32_t kParamPeerHandle = 0x500015;
}  // namespace

CTdmRequestEvent::CTdmRequestEvent(uint32_t talId, uint32_t palId, const char* kindName,
                                   const char* traceName)
    : CSimplePalEvent(talId, palId, kindName), m_traceName(traceName) {}

TAL_EVENT CTdmRequestEvent::CreateTalEvent(MTCore::Core_TransInfo* request) {
    HAL_FUNCTION_TRACE(m_traceName);
    TAL_EVENT event = CSimplePalEvent::CreateTalEvent(request);
    if (event == 0) return 0;
    // Neither handle is checked: the board judges them.
    if (const auto* req = dynamic_cast<const MTCore::Ev_req_PAL_ROUTE*>(request)) {
        const TAL_HANDLE peer = ConvertToTalHandle(req->peerHandle);
        TAL_Event_SetParameters(event, kParamPeerHandle, TAL_TYPE_INT, 0, static_cast<int>(peer),
                                0);
    } else {
        HAL_TRACE(TRACE_WARNING, "%s without a second resource", Name());
    }
    return event;
}

CProcess_req_PAL_ATTACH::CProcess_req_PAL_ATTACH(uint32_t talId, uint32_t palId,
                                                 const char* kindName)
    : CTdmRequestEvent(talId, palId, kindName, "CProcess_req_PAL_ATTACH::CreateTalEvent") {}

CProcess_req_PAL_DETACH::CProcess_req_PAL_DETACH(uint32_t talId, uint32_t palId,
                                                 const char* kindName)
    : CTdmRequestEvent(talId, palId, kindName, "CProcess_req_PAL_DETACH::CreateTalEvent") {}

CProcess_req_PAL_LISTEN::CProcess_req_PAL_LISTEN(uint32_t talId, uint32_t palId,
                                                 const char* kindName)
    : CTdmRequestEvent(talId, palId, kindName, "CProcess_req_PAL_LISTEN::CreateTalEvent") {}

CProcess_req_PAL_ROUTE::CProcess_req_PAL_ROUTE(uint32_t talId, uint32_t palId, const char* kindName)
    : CTdmRequestEvent(talId, palId, kindName, "CProcess_req_PAL_ROUTE::CreateTalEvent") {}

CProcess_req_PAL_UNROUTE::CProcess_req_PAL_UNROUTE(uint32_t talId, uint32_t palId,
                                                   const char* kindName)
    : CTdmRequestEvent(talId, palId, kindName, "CProcess_req_PAL_UNROUTE::CreateTalEvent") {}
