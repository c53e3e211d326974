// Translator bases. One translator object exists per event kind, created with the event pump
// and kept for its lifetime; it holds the kind's TAL id, PAL id and name and no per-call state,
// so the PAL thread and the TAL thread use translators without locks.
//
//   CEvent                      does nothing in either direction
//   CSimplePalEvent             host request -> TAL event (ACT = the request, converted handle)
//   CSimpleTalEvent             TAL completion -> host completion built from the ACT's request
//   CSimpleNotifyTalEvent       TAL notification -> host notification of the kind's PAL id
//
// Specialised translators derive from these and override one operation: request translators
// CreateTalEvent (usually calling CSimplePalEvent::CreateTalEvent first, then appending
// parameters), completion and notification translators CreatePalEvent.
//
// Threads: ProcessPalEvents and CreateTalEvent run on the pump's PAL thread only, CreatePalEvent
// on its TAL thread only.
//
// Ownership of what passes through:
// - a host request belongs to the translator chain from ProcessPalEvents on and rides as the ACT
//   of its TAL event; the completion translator that answers it frees it (MToem_DeleteObj) after
//   building the completion. The generic completion does so too, except for the transmit-stream
//   start request, whose stream notifications still carry it.
// - a TAL event passed to TAL_SendEvent belongs to the TAL library; a received TAL event belongs
//   to the pump, which destroys it after CreatePalEvent.
// - a host object returned by CreatePalEvent belongs to the pump, which posts or frees it.
#ifndef TARNWICK_HAL_EVENTBASE_H
#define TARNWICK_HAL_EVENTBASE_H

#include <cstdint>
#include <string>

#include "TraceObject.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/TransInfo.h"
#include "tal/tal.h"

class CEvent : public CTraceObject {
  public:
    // Trace group "TIM Events"; the filter is named after the kind, so each translator logs under
    // its event name.
    CEvent(uint32_t talId, uint32_t palId, const char* kindName);
    ~CEvent() override;

    // Hands a host request to this translator (PAL thread). CEvent does nothing.
    virtual void ProcessPalEvents(MTCore::Core_TransInfo* request);
    // Builds the host object for a received TAL event, or null (TAL thread). CEvent: null.
    virtual MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event);
    // Builds the TAL event for a host request, or 0 (PAL thread). CEvent: 0.
    virtual TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request);

    uint32_t TalEventId() const { return talEventId; }
    uint32_t PalEventId() const { return palEventId; }
    const char* Name() const { return name.c_str(); }

    // Host handle -> TAL handle. Host handle types board, span, line and resource map to TAL
    // types 0-3 (anything else to 0); the resource mask is built from the host's media predicates
    // (voice stream 0x10, player 0x01, recorder 0x02, signal detector 0x04, signal generator
    // 0x08); board id, span id and span line id are taken unchanged.
    static TAL_HANDLE ConvertToTalHandle(uint32_t palHandle);
    // TAL handle -> host handle, built up in order: a resource id above 0x7ff gives 0; a board id
    // above 0x3f0000 or a span id above 0xfc00000 stops with what was built so far; an unknown
    // handle type gives 0; the media type is the OR of 0x8800 player, 0x4800 recorder, 0x2000
    // signal detector and 0x1000 signal generator.
    static uint32_t ConvertToPalHandle(TAL_HANDLE talHandle);

  protected:
    const uint32_t talEventId;  // request, completion or notification id on the TAL side
    const uint32_t palEventId;  // the kind's PAL id; 0 for a TAL-only kind
    const std::string name;     // e.g. "req_PAL_STOPPAL"
};

class CSimplePalEvent : public CEvent {
  public:
    CSimplePalEvent(uint32_t talId, uint32_t palId, const char* kindName);

    // Builds the TAL event with the most derived CreateTalEvent and sends it. A send failure is a
    // level-0 line; nothing is answered to the host here.
    void ProcessPalEvents(MTCore::Core_TransInfo* request) override;
    // Wrong direction: level-0 line, null.
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
    // A TAL event of talEventId with the request as ACT and its handle converted; 0 when the
    // library cannot create one.
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;
};

class CSimpleTalEvent : public CEvent {
  public:
    CSimpleTalEvent(uint32_t talId, uint32_t palId, const char* kindName);

    // Wrong direction: level-0 line; the request is left untouched.
    void ProcessPalEvents(MTCore::Core_TransInfo* request) override;
    // The completion of the request found in the event's ACT (MToem_CreateCompletionObj), or
    // null when the ACT is null. Frees the request afterwards unless it is a transmit-stream
    // start.
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;

  protected:
    MTCore::MT_OEM factory;
};

class CSimpleNotifyTalEvent : public CSimpleTalEvent {
  public:
    CSimpleNotifyTalEvent(uint32_t talId, uint32_t palId, const char* kindName);

    // A new host object of palEventId whose handle is the event's handle converted; result and
    // detail codes stay as the factory set them. Notifications carry no ACT.
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
};

#endif
