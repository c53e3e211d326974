#include "ShimPalMgr.h"

#include <ace/OS_NS_unistd.h>
#include <ace/Sched_Params.h>
#include <ace/Time_Value.h>

#include "Defines.h"
#include "tal/tal.h"

using MTCore::Core_TransInfo;

namespace {

// One step below the scheduler's highest priority for the default policy and thread scope.
int PumpThreadPriority() {
    const int highest = ACE_Sched_Params::priority_max(ACE_SCHED_OTHER, ACE_SCOPE_THREAD);
    return ACE_Sched_Params::previous_priority(ACE_SCHED_OTHER, highest, ACE_SCOPE_THREAD);
}

bool IsSilentUnsupported(uint32_t palId) {
    return palId == hal::pal::req_PAL_SILENT_ADMIN_1 || palId == hal::pal::req_PAL_SILENT_ADMIN_2;
}

}  // namespace

CShimPalMgr::CShimPalMgr() : CTraceObject(0, "TIM_MANAGER") {
    SetFilterName("%s", "ShimPALMgr");
    AddSetting(TRACE_EVENT_SENT, "FILTER_EVENT_SENT", 1);
    AddSetting(TRACE_EVENT_RECEIVED, "FILTER_EVENT_RECEIVED", 1);
}

CShimPalMgr::~CShimPalMgr() {
    Destroy();
}

bool CShimPalMgr::Create() {
    HAL_FUNCTION_TRACE("CShimPalMgr::Create");
    bool result = false;
    // A pump whose threads run (or have not been joined yet) keeps its maps: the threads use the
    // translators in them.
    if (palLoopStopped && talLoopStopped && !palThreadSpawned && !talThreadSpawned) {
        RegisterCatalogue(talEventMap, TalCatalogue(), CatalogueKey::TalId);
        RegisterCatalogue(palEventMap, PalCatalogue(), CatalogueKey::PalId);

        if (pal == nullptr) pal = new MTCore::MT_PAL();
        const int priority = PumpThreadPriority();
        palLoopStopped = false;
        talLoopStopped = false;

        if (ACE_Thread::spawn(&CShimPalMgr::TalThreadEntry, this, THR_NEW_LWP | THR_JOINABLE,
                              &talThreadId, &talThreadHandle, priority) == 0) {
            talThreadSpawned = true;
            if (ACE_Thread::spawn(&CShimPalMgr::PalThreadEntry, this, THR_NEW_LWP | THR_JOINABLE,
                                  &palThreadId, &palThreadHandle, priority) == 0) {
                palThreadSpawned = true;
                result = true;
            } else {
                palLoopStopped = true;
            }
        } else {
            talLoopStopped = true;
            // The PAL thread is not started either.
            palLoopStopped = true;
        }
    }
    HAL_FUNCTION_RESULT(result);
    return result;
}

void CShimPalMgr::Destroy() {
    HAL_FUNCTION_TRACE("CShimPalMgr::Destroy");
    // Each started thread is joined, also one whose loop has already ended by itself: an
    // unjoined thread would keep its resources.
    palLoopStopped = true;
    if (palThreadSpawned) {
        ACE_Thread::join(palThreadHandle);
        palThreadSpawned = false;
    }
    talLoopStopped = true;
    if (talThreadSpawned) {
        ACE_Thread::join(talThreadHandle);
        talThreadSpawned = false;
    }
    delete pal;
    pal = nullptr;
    ReleaseTranslators(palEventMap);
    ReleaseTranslators(talEventMap);
}

ACE_THR_FUNC_RETURN CShimPalMgr::PalThreadEntry(void* pump) {
    static_cast<CShimPalMgr*>(pump)->ProcessEvents();
    return 0;
}

ACE_THR_FUNC_RETURN CShimPalMgr::TalThreadEntry(void* pump) {
    static_cast<CShimPalMgr*>(pump)->processTalEvents();
    return 0;
}

void CShimPalMgr::ProcessEvents() {
    HAL_FUNCTION_TRACE("CShimPalMgr::ProcessEvents");
    m_state = hal::kStatePalNotStarted;
    while (!palLoopStopped) {
        Core_TransInfo* request = nullptr;
        try {
            request = pal->MTpal_GetNextEvent();
        } catch (...) {
            HAL_TRACE(TRACE_PANIC, "MTpal_GetNextEvent: Exception!!!!!");
            ACE_OS::sleep(ACE_Time_Value(0, hal::kGetNextEventRetryMs * 1000));
            continue;
        }
        if (request == nullptr) continue;
        HAL_TRACE_EVENT(TRACE_EVENT_RECEIVED, request);

        const uint32_t id = request->eventId;
        // The stop request is still handled; the loop ends after it.
        if (id == hal::pal::req_PAL_STOPPAL) palLoopStopped = true;

        const auto found = palEventMap.find(id);
        if (found != palEventMap.end() && !IsSilentUnsupported(id)) {
            // The request now belongs to the translator chain.
            found->second->ProcessPalEvents(request);
            continue;
        }
        AnswerUnsupported(request);
    }
    m_state = hal::kStatePalThreadStopped;
}

void CShimPalMgr::AnswerUnsupported(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CShimPalMgr::AnswerUnsupported");
    const uint32_t id = request->eventId;
    if (!IsSilentUnsupported(id)) {
        HAL_TRACE(TRACE_ERROR, "Unsupported event %s",
                  TraceText(MTCore::oem_ReturnEvtIdString(id)));
    }
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);
    if (completion != nullptr) {
        completion->resultCode = hal::kUnsupportedResultCode;
        completion->detailCode = hal::kUnsupportedDetailCode;
        HAL_TRACE_EVENT(TRACE_EVENT_SENT, completion);
        pal->MTpal_PostEventToServer(completion);
    }
    factory.MToem_DeleteObj(request);
}

void CShimPalMgr::processTalEvents() {
    HAL_FUNCTION_TRACE("CShimPalMgr::processTalEvents");
    int lastResult = 0;
    while (pal != nullptr && !talLoopStopped) {
        TAL_EVENT event = 0;
        lastResult = TAL_WaitEvent(hal::kTalWaitTimeoutMs, &event);
        if (lastResult == hal::kTalWaitStopped) {
            talLoopStopped = true;
            break;
        }
        if (lastResult != 0 || event == 0) continue;

        const uint32_t talId = TAL_Event_GetID(event);
        const auto found = talEventMap.find(talId);
        if (found == talEventMap.end() || talId == hal::tal_id::cmp_TAL_SPANACTIVATE ||
            talId == hal::tal_id::cmp_TAL_SPANACTIVATE_2) {
            TAL_Event_Destroy(event);
            continue;
        }

        Core_TransInfo* object = found->second->CreatePalEvent(event);
        TAL_Event_Destroy(event);
        if (object == nullptr) {
            if (talId == hal::tal_id::cmp_TAL_PVSDATA || talId == hal::tal_id::ntf_TAL_RVSDATA ||
                talId == hal::tal_id::ntf_TAL_RVSDIGIT) {
                HAL_TRACE(TRACE_EVENT_SENT,
                          "createPalEvent return NULL on Tal event ID %d, No Event need to be "
                          "sent to PAL",
                          static_cast<int>(talId));
            } else {
                HAL_TRACE(TRACE_EVENT_SENT, "createPalEvent fail on Tal event ID %d",
                          static_cast<int>(talId));
            }
            continue;
        }
        HAL_TRACE_EVENT(TRACE_EVENT_SENT, object);
        DeliverOrHold(object);
    }
    m_state = hal::kStatePalThreadStopped;
    HAL_FUNCTION_RESULT(lastResult);
}

void CShimPalMgr::DeliverOrHold(Core_TransInfo* object) {
    HAL_FUNCTION_TRACE("CShimPalMgr::DeliverOrHold");
    const int state = m_state;
    const uint32_t id = object->eventId;
    bool deliver = false;
    if (state < hal::kStatePalThreadStopped || state > hal::kStateHandlesHeld) {
        HAL_TRACE(TRACE_ERROR, "Unknown m_state %d", state);
    } else {
        deliver = IsDeliverable(state, id);
    }

    if (deliver) {
        // The host owns the object from here on.
        pal->MTpal_PostEventToServer(object);
        if (state == hal::kStatePalThreadStopped && id == hal::pal::cmp_PAL_STOPPAL) {
            talLoopStopped = true;
        }
    } else {
        HAL_TRACE(TRACE_ERROR, "Unable to send %s to PAL in state %d",
                  TraceText(MTCore::oem_ReturnEvtIdString(id)), state);
        factory.MToem_DeleteObj(object);
    }

    // Only the start-up and handle completions move the state; any other id leaves it as it is
    // (the PAL thread may be writing it).
    constexpr int kUnchanged = -1;
    if (NextState(kUnchanged, id) != kUnchanged) m_state = NextState(state, id);
}

bool CShimPalMgr::IsDeliverable(int state, uint32_t palId) {
    switch (state) {
        case hal::kStatePalThreadStopped:
            return palId == hal::pal::cmp_PAL_STOPPAL;
        case hal::kStatePalNotStarted:
            return palId == hal::pal::cmp_PAL_STARTPAL;
        case hal::kStateNoHandles:
            return palId == hal::pal::cmp_PAL_REQHNDLS || palId == hal::pal::cmp_PAL_RETHNDLS ||
                   palId == hal::pal::cmp_PAL_STOPPAL || palId == hal::pal::cmp_PAL_GETHWINFO;
        case hal::kStateHandlesHeld:
            return true;
        default:
            return false;
    }
}

int CShimPalMgr::NextState(int state, uint32_t palId) {
    switch (palId) {
        case hal::pal::cmp_PAL_REQHNDLS:
            return hal::kStateHandlesHeld;
        case hal::pal::cmp_PAL_RETHNDLS:
        case hal::pal::cmp_PAL_STARTPAL:
            return hal::kStateNoHandles;
        case hal::pal::cmp_PAL_STOPPAL:
            return hal::kStatePalNotStarted;
        default:
            return state;
    }
}
