// The host's event factory and display names.
#ifndef TARNWICK_MTCORE_MT_OEM_H
#define TARNWICK_MTCORE_MT_OEM_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "mtcore/TransInfo.h"

namespace MTCore {

// The completion id of a request id.
constexpr uint32_t MToem_CompletionId(uint32_t requestId) {
    return requestId + 0x02000001u;
}

// Result codes the host and its HALs use (oem_ReturnErrorString names them).
enum : int32_t {
    eMT_SUCCESS = 0,
    eMT_ERR_UNSUPPORTED_EVENT = -102021,   // resultCode of the answer to an unsupported request
    eMT_ERR_NOT_HANDLED_BY_HAL = -102102,  // its detailCode
    eMT_ERR_HARDWARE_SERVICE = -987,       // hardware-service library's report to the host
};

// Stateless: any number of instances may be used from any threads at once.
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

    // MToem_CreateObj as the payload type T (Events.h). Null, with nothing left behind, when the
    // id's object is not a T.
    template <class T>
    T* MToem_CreateObjAs(uint32_t eventId) {
        Core_TransInfo* object = MToem_CreateObj(eventId);
        T* typed = dynamic_cast<T*>(object);
        if (typed == nullptr) MToem_DeleteObj(object);
        return typed;
    }

    // Number of host objects alive in the process (every Core_TransInfo, however made).
    static std::size_t MToem_LiveObjects();
};

// Frees through the factory: std::unique_ptr<Core_TransInfo, MToem_Deleter>.
struct MToem_Deleter {
    void operator()(Core_TransInfo* object) const { MT_OEM().MToem_DeleteObj(object); }
};
template <class T = Core_TransInfo>
using MToem_Ptr = std::unique_ptr<T, MToem_Deleter>;

// Display name of an event id ("req_PAL_STOPPAL"); for an unknown id a text naming the id in hex.
// The pointer stays valid until the next call on the same thread.
const char* oem_ReturnEvtIdString(uint32_t eventId);
// Display name of a result code ("MT_ERR_UNSUPPORTED_EVENT"); for an unknown code "Error %d".
// The pointer stays valid until the next call on the same thread.
const char* oem_ReturnErrorString(int32_t code);

}  // namespace MTCore

#endif
