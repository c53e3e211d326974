// Read-only view of the host's event catalogue (every kind: id, name, payload type), for tests and
// tools. The catalogue itself is mtcore/EventKinds.def.
#ifndef TARNWICK_MTCORE_EVENTCATALOG_H
#define TARNWICK_MTCORE_EVENTCATALOG_H

#include <cstdint>
#include <span>
#include <typeinfo>

namespace MTCore {

enum class EventClass { Request, Completion, Notification, Other };

// By the id's top byte: 0x3a/0x3b request, 0x3c/0x3d completion, 0x3e notification.
constexpr EventClass eventClassOf(uint32_t id) {
    switch (id >> 24) {
        case 0x3a:
        case 0x3b:
            return EventClass::Request;
        case 0x3c:
        case 0x3d:
            return EventClass::Completion;
        case 0x3e:
            return EventClass::Notification;
        default:
            return EventClass::Other;
    }
}

struct EventKindInfo {
    uint32_t id;
    const char* name;               // "req_PAL_STOPPAL"
    const char* payloadTypeName;    // as written in the catalogue: "Core_TransInfo", "Ev_..."
    const std::type_info* payload;  // dynamic type of the factory's object for this id
    EventClass eventClass;
};

// Every kind, in catalogue order. Static storage: valid for the life of the process.
std::span<const EventKindInfo> eventKinds();
// The kind of an id, or null.
const EventKindInfo* findEventKind(uint32_t id);

}  // namespace MTCore

#endif
