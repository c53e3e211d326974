// The catalogue table (rows from EventKinds.def), the factory built on it, and display names.
#include "mtcore/EventCatalog.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <unordered_map>

#include "OemHooks.h"
#include "mtcore/Events.h"
#include "mtcore/MT_OEM.h"

namespace MTCore {
namespace {

using Creator = Core_TransInfo* (*)();

template <class T>
Core_TransInfo* create() {
    return new T();
}

constinit const EventKindInfo kKinds[] = {
#define MT_EVENT_KIND(name, id, payload) {id, #name, #payload, &typeid(payload), eventClassOf(id)},
#include "mtcore/EventKinds.def"
#undef MT_EVENT_KIND
};

constinit const Creator kCreators[] = {
#define MT_EVENT_KIND(name, id, payload) &create<payload>,
#include "mtcore/EventKinds.def"
#undef MT_EVENT_KIND
};

static_assert(std::size(kKinds) == std::size(kCreators));

// Index of each id in kKinds. Built once, on first use, from any thread.
const std::unordered_map<uint32_t, std::size_t>& indexById() {
    static const std::unordered_map<uint32_t, std::size_t> index = [] {
        std::unordered_map<uint32_t, std::size_t> m;
        for (std::size_t i = 0; i < std::size(kKinds); ++i) m.emplace(kKinds[i].id, i);
        return m;
    }();
    return index;
}

std::atomic<bool> g_failNextVsDataBuffer{false};

}  // namespace

std::span<const EventKindInfo> eventKinds() {
    return {kKinds, std::size(kKinds)};
}

const EventKindInfo* findEventKind(uint32_t id) {
    const auto& index = indexById();
    const auto it = index.find(id);
    return it == index.end() ? nullptr : &kKinds[it->second];
}

namespace oemhooks {
void failNextVsDataBuffer() {
    g_failNextVsDataBuffer.store(true);
}
void clearFaults() {
    g_failNextVsDataBuffer.store(false);
}
}  // namespace oemhooks

Core_TransInfo* MT_OEM::MToem_CreateObj(uint32_t eventId) {
    const auto& index = indexById();
    const auto it = index.find(eventId);
    Core_TransInfo* object = it == index.end() ? new Core_TransInfo() : kCreators[it->second]();
    object->eventId = eventId;
    if (eventId == ids::ntf_PAL_VSDATA && g_failNextVsDataBuffer.exchange(false)) {
        auto* data = static_cast<Ev_ntf_PAL_VSDATA*>(object);
        delete[] data->dataBuffer;
        data->dataBuffer = nullptr;
        data->dataBufferSize = 0;
    }
    return object;
}

Core_TransInfo* MT_OEM::MToem_CreateCompletionObj(const Core_TransInfo* request) {
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = MToem_CreateObj(MToem_CompletionId(request->eventId));
    completion->handle = request->handle;
    completion->resultCode = 0;
    completion->detailCode = 0;
    return completion;
}

void MT_OEM::MToem_DeleteObj(Core_TransInfo* object) {
    delete object;
}

std::size_t MT_OEM::MToem_LiveObjects() {
    return liveTransInfoObjects();
}

const char* oem_ReturnEvtIdString(uint32_t eventId) {
    if (const EventKindInfo* kind = findEventKind(eventId)) return kind->name;
    thread_local char text[40];
    std::snprintf(text, sizeof text, "Unknown event 0x%08x", eventId);
    return text;
}

const char* oem_ReturnErrorString(int32_t code) {
    switch (code) {
        case eMT_SUCCESS:
            return "MT_SUCCESS";
        case eMT_ERR_UNSUPPORTED_EVENT:
            return "MT_ERR_UNSUPPORTED_EVENT";
        case eMT_ERR_NOT_HANDLED_BY_HAL:
            return "MT_ERR_NOT_HANDLED_BY_HAL";
        case eMT_ERR_HARDWARE_SERVICE:
            return "MT_ERR_HARDWARE_SERVICE";
        default:
            break;
    }
    thread_local char text[32];
    std::snprintf(text, sizeof text, "Error %d", code);
    return text;
}

}  // namespace MTCore
