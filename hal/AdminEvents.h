// Translators of the administrative family: start and stop of the PAL, handle allocation with
// span activation, and hardware information.
//
// The one value kept from one event to another is the start-up value: the startContext of the last
// req_PAL_STARTPAL, 2012 until the first one. The transmit-stream start passes it to the board.
#ifndef TARNWICK_HAL_ADMINEVENTS_H
#define TARNWICK_HAL_ADMINEVENTS_H

#include <cstdint>

#include "EventBase.h"
#include "mtcore/Events.h"
#include "mtcore/HwInfo.h"

namespace hal {

// Start-up value before any req_PAL_STARTPAL.
inline constexpr uint32_t kInitialStartupValue = 2012;

// The start-up value of the last req_PAL_STARTPAL (kInitialStartupValue before the first).
uint32_t StartupValue();
// Back to kInitialStartupValue, as at library load (tests).
void ResetStartupValue();

// Span type code of the 0x50000b byte, the network type text of a span type code, and the span
// subtype code of the 0x50000c byte.
int32_t SpanTypeCode(int8_t spanTypeByte);
const char* NetTypeOfSpanType(int32_t spanTypeCode);
int32_t SpanSubtypeCode(int8_t spanSubtypeByte);

}  // namespace hal

// req_PAL_STARTPAL: records the start-up value; no parameter.
class CProcess_req_PAL_STARTPAL : public CSimplePalEvent {
  public:
    CProcess_req_PAL_STARTPAL(uint32_t talId, uint32_t palId, const char* kindName);
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;
};

// req_PAL_REQHNDLS: 0x500000 = the board's logical id, a byte.
class CProcess_req_PAL_REQHNDLS : public CSimplePalEvent {
  public:
    CProcess_req_PAL_REQHNDLS(uint32_t talId, uint32_t palId, const char* kindName);
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;
};

// req_PAL_RETHNDLS: 0x500000 = the board's logical id, 32 bits.
class CProcess_req_PAL_RETHNDLS : public CSimplePalEvent {
  public:
    CProcess_req_PAL_RETHNDLS(uint32_t talId, uint32_t palId, const char* kindName);
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;
};

// cmp_PAL_STARTPAL: echoes the request's startString.
class CProcess_cmp_TAL_STARTTAL : public CSimpleTalEvent {
  public:
    CProcess_cmp_TAL_STARTTAL(uint32_t talId, uint32_t palId, const char* kindName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
};

// cmp_PAL_REQHNDLS: every handle of 0x50000d and 0x50000e converted and appended, in order; the
// span handles of 0x50000f are activated (one 0x3000 event each) before the completion goes out.
class CProcess_cmp_TAL_REQHNDLS : public CSimpleTalEvent {
  public:
    CProcess_cmp_TAL_REQHNDLS(uint32_t talId, uint32_t palId, const char* kindName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
    // Sends one span activation (TAL 0x3000, the handle unchanged, no ACT) per span handle.
    void ActivateSpans(const int32_t* spanHandles, uint32_t count);
};

// cmp_PAL_GETHWINFO: one Pal_Ev_HwInfoElem per board group of the completion's tree.
class CProcess_cmp_TAL_GETHWINFO : public CSimpleTalEvent {
  public:
    CProcess_cmp_TAL_GETHWINFO(uint32_t talId, uint32_t palId, const char* kindName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;

  private:
    void processBoardGroupList(const void* list, MTCore::Ev_cmp_PAL_GETHWINFO& completion);
    void processBoardGroup(const void* group, MTCore::Ev_cmp_PAL_GETHWINFO& completion);
    void processSpanList(const void* list, MTCore::Pal_Ev_HwInfoElem& board);
    void processSpan(const void* span, MTCore::Pal_Ev_HwInfoElem& board);
};

#endif
