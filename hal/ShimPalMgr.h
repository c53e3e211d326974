// CShimPalMgr, the event pump: two threads through which every event passes.
//
// The PAL thread (ProcessEvents) takes requests from the host (MTpal_GetNextEvent) and hands each
// to the translator registered for its PAL id, which sends a TAL event; a request without a
// translator is answered at once with a completion carrying -102021 / -102102. The TAL thread
// (processTalEvents) waits for TAL events, hands each to the translator registered for its TAL id
// and posts the resulting host object, as far as the delivery state allows:
//
//   m_state  meaning                              delivered
//   0        PAL thread not running               cmp_PAL_STOPPAL (which also ends the TAL loop)
//   1        PAL thread running, PAL not started  cmp_PAL_STARTPAL
//   2        PAL started, no handles held         cmp_PAL_REQHNDLS, _RETHNDLS, _STOPPAL, _GETHWINFO
//   3        handles held                         everything
//
// A held object is returned to the factory with a level-1 line. After delivering or holding, the
// state follows the object's id: cmp_PAL_REQHNDLS -> 3, cmp_PAL_RETHNDLS and cmp_PAL_STARTPAL
// -> 2, cmp_PAL_STOPPAL -> 1.
//
// Life: Create fills both routing maps from the catalogue and starts the TAL thread, then the PAL
// thread. The host ends the PAL thread with req_PAL_STOPPAL; the TAL thread ends when it delivers
// cmp_PAL_STOPPAL in state 0, when the TAL library stops delivering (TAL_Fini), or within one
// 5-second wait after Destroy asks it to. Destroy waits for both threads: it cannot end a PAL
// thread that is blocked in MTpal_GetNextEvent, so the host sends req_PAL_STOPPAL first.
//
// Threads: the maps are filled before the threads start and only read afterwards; the stop flags
// and the delivery state are atomics shared by the two threads; the pump takes no lock.
#ifndef TARNWICK_HAL_SHIMPALMGR_H
#define TARNWICK_HAL_SHIMPALMGR_H

#include <ace/Thread.h>

#include <atomic>
#include <cstdint>

#include "EventCatalogue.h"
#include "TraceObject.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/MT_PalApi.h"

class CShimPalMgr : public CTraceObject {
  public:
    // Trace group "TIM_MANAGER", filter "ShimPALMgr", with the extra settings 5
    // "FILTER_EVENT_SENT" and 6 "FILTER_EVENT_RECEIVED", both on.
    CShimPalMgr();
    ~CShimPalMgr() override;

    // Registers the catalogue and starts both threads; true when both were started. False also
    // when the threads already run.
    bool Create();
    // Stops and joins both threads, releases the host endpoint and every translator.
    void Destroy();

    // Thread bodies.
    void ProcessEvents();
    void processTalEvents();

    // Whether the TAL thread posts an object of that PAL id in that delivery state.
    static bool IsDeliverable(int state, uint32_t palId);
    // The delivery state after an object of that PAL id went through (delivered or held).
    static int NextState(int state, uint32_t palId);

    // For tests and tools: the delivery state and the routing maps.
    int State() const { return m_state.load(); }
    const TranslatorMap& PalEventMap() const { return palEventMap; }
    const TranslatorMap& TalEventMap() const { return talEventMap; }

  private:
    static ACE_THR_FUNC_RETURN PalThreadEntry(void* pump);
    static ACE_THR_FUNC_RETURN TalThreadEntry(void* pump);

    void AnswerUnsupported(MTCore::Core_TransInfo* request);
    void DeliverOrHold(MTCore::Core_TransInfo* event);

    ACE_thread_t palThreadId{};
    ACE_hthread_t palThreadHandle{};
    bool palThreadSpawned = false;
    std::atomic<bool> palLoopStopped{true};
    ACE_thread_t talThreadId{};
    ACE_hthread_t talThreadHandle{};
    bool talThreadSpawned = false;
    std::atomic<bool> talLoopStopped{true};
    MTCore::MT_OEM factory;
    MTCore::MT_PAL* pal = nullptr;
    std::atomic<int> m_state{0};
    TranslatorMap palEventMap;
    TranslatorMap talEventMap;
};

#endif
