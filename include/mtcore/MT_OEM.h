// The host's event factory and display names.
#ifndef TARNWICK_MTCORE_MT_OEM_H
#define TARNWICK_MTCORE_MT_OEM_H

#include <cstdint>

#include "mtcore/TransInfo.h"

namespace MTCore {

// The completion id of a request id.
constexpr uint32_t MToem_CompletionId(uint32_t requestId) { return requestId + 0x02000001u; }

class MT_OEM {
public:
    // A new object of the kind of that id (payload default-initialised), or a bare Core_TransInfo
    // carrying the id when the id is not a known kind. Never null.
    Core_TransInfo* MToem_CreateObj(uint32_t eventId);
    // A new completion for the request: eventId = request id + 0x02000001, the request's handle,
    // 0 in resultCode and detailCode. Null for a null request.
    Core_TransInfo* MToem_CreateCompletionObj(const Core_TransInfo* request);
    // Frees an object made by the factory (or handed out by the host). Null is ignored.
    void MToem_DeleteObj(Core_TransInfo* object);
};

// Display name of an event id ("req_PAL_STOPPAL"); for an unknown id a text naming the id in hex.
// The pointer stays valid until the next call on the same thread.
const char* oem_ReturnEvtIdString(uint32_t eventId);
// Display name of a result code; for an unknown code a text naming the number.
// The pointer stays valid until the next call on the same thread.
const char* oem_ReturnErrorString(int32_t code);

}  // namespace MTCore

#endif
