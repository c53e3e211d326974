#include "EventBase.h"

#include "Defines.h"
#include "mtcore/MT_HandleUtils.h"

using MTCore::Core_TransInfo;
using MTCore::MT_HandleUtils;

namespace {

// Largest field values a host handle can take from a TAL handle.
constexpr uint32_t kMaxPalFullId = 0x7ffu;
constexpr uint32_t kMaxPalBoardId = 0x3f0000u;
constexpr uint32_t kMaxPalSpanId = 0xfc00000u;

// Host media types set for the TAL resource bits.
constexpr uint32_t kPalMediaPlayer = 0x8800u;
constexpr uint32_t kPalMediaRecorder = 0x4800u;
constexpr uint32_t kPalMediaSignalDetector = 0x2000u;
constexpr uint32_t kPalMediaSignalGenerator = 0x1000u;

}  // namespace

// ---- CEvent ---------------------------------------------------------------------------------

CEvent::CEvent(uint32_t talId, uint32_t palId, const char* kindName)
    : CTraceObject(0, "TIM Events"),
      talEventId(talId),
      palEventId(palId),
      name(kindName != nullptr ? kindName : "") {
    SetFilterName("%s", name.c_str());
}

CEvent::~CEvent() = default;

void CEvent::ProcessPalEvents(Core_TransInfo* /*request*/) {
    HAL_FUNCTION_TRACE("CEvent::ProcessPalEvents");
}

Core_TransInfo* CEvent::CreatePalEvent(TAL_EVENT /*event*/) {
    HAL_FUNCTION_TRACE("CEvent::CreatePalEvent");
    return nullptr;
}

TAL_EVENT CEvent::CreateTalEvent(Core_TransInfo* /*request*/) {
    HAL_FUNCTION_TRACE("CEvent::CreateTalEvent");
    return 0;
}

TAL_HANDLE CEvent::ConvertToTalHandle(uint32_t palHandle) {
    uint32_t type = 0;
    switch (MT_HandleUtils::MThutl_GetHandleType(palHandle)) {
        case MTCore::eMT_HANDLE_BOARD:
            type = TAL_HT_BOARD;
            break;
        case MTCore::eMT_HANDLE_SPAN:
            type = TAL_HT_SPAN;
            break;
        case MTCore::eMT_HANDLE_LINE:
            type = TAL_HT_LINE;
            break;
        case MTCore::eMT_HANDLE_RESOURCE:
            type = TAL_HT_RESOURCE;
            break;
        default:
            type = TAL_HT_BOARD;
            break;
    }
    uint32_t mask = 0;
    if (MT_HandleUtils::MThutl_IsVoiceStreamResource(palHandle)) mask |= TAL_RES_VOICE_STREAM;
    if (MT_HandleUtils::MThutl_IsPlayerResource(palHandle)) mask |= TAL_RES_PLAYER;
    if (MT_HandleUtils::MThutl_IsRecorderResource(palHandle)) mask |= TAL_RES_RECORDER;
    if (MT_HandleUtils::MThutl_IsSignalDetectorResource(palHandle)) {
        mask |= TAL_RES_SIGNAL_DETECTOR;
    }
    if (MT_HandleUtils::MThutl_IsSiganlGeneratorResource(palHandle)) {
        mask |= TAL_RES_SIGNAL_GENERATOR;
    }
    return TAL_Handle_Create(type, MT_HandleUtils::MThutl_GetBoardID(palHandle),
                             MT_HandleUtils::MThutl_GetSpanID(palHandle), mask,
                             MT_HandleUtils::MThutl_GetSpanLineID(palHandle));
}

uint32_t CEvent::ConvertToPalHandle(TAL_HANDLE talHandle) {
    uint32_t handle = 0;
    const uint32_t resourceId = TAL_Handle_GetResourceID(talHandle);
    if (resourceId > kMaxPalFullId) return 0;
    MT_HandleUtils::MThutl_SetFullId(handle, resourceId);

    const uint32_t boardId = TAL_Handle_GetBoardID(talHandle);
    if (boardId > kMaxPalBoardId) return handle;
    MT_HandleUtils::MThutl_SetBoardID(handle, boardId);

    const uint32_t spanId = TAL_Handle_GetSpanID(talHandle);
    if (spanId > kMaxPalSpanId) return handle;
    MT_HandleUtils::MThutl_SetSpanID(handle, spanId);

    switch (TAL_Handle_GetHandleType(talHandle)) {
        case TAL_HT_BOARD:
            MT_HandleUtils::MThutl_SetHandleType(handle, MTCore::eMT_HANDLE_BOARD);
            break;
        case TAL_HT_SPAN:
            MT_HandleUtils::MThutl_SetHandleType(handle, MTCore::eMT_HANDLE_SPAN);
            break;
        case TAL_HT_LINE:
            MT_HandleUtils::MThutl_SetHandleType(handle, MTCore::eMT_HANDLE_LINE);
            break;
        case TAL_HT_RESOURCE:
            MT_HandleUtils::MThutl_SetHandleType(handle, MTCore::eMT_HANDLE_RESOURCE);
            break;
        default:
            return 0;
    }

    uint32_t media = 0;
    if (TAL_Handle_HasPlayer(talHandle) != 0) media |= kPalMediaPlayer;
    if (TAL_Handle_HasRecorder(talHandle) != 0) media |= kPalMediaRecorder;
    if (TAL_Handle_HasSignalDetector(talHandle) != 0) media |= kPalMediaSignalDetector;
    if (TAL_Handle_HasSignalGenerator(talHandle) != 0) media |= kPalMediaSignalGenerator;
    MT_HandleUtils::MThutl_SetMediaResourceType(handle, media);
    return handle;
}

// ---- CSimplePalEvent ------------------------------------------------------------------------

CSimplePalEvent::CSimplePalEvent(uint32_t talId, uint32_t palId, const char* kindName)
    : CEvent(talId, palId, kindName) {}

TAL_EVENT CSimplePalEvent::CreateTalEvent(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CSimplePalEvent::CreateTalEvent");
    const TAL_EVENT event = TAL_Event_Create(talEventId);
    const TAL_HANDLE handle = ConvertToTalHandle(request != nullptr ? request->handle : 0);
    if (event != 0) {
        TAL_Event_SetACT(event, request);
        TAL_Event_SetHandle(event, handle);
    }
    return event;
}

void CSimplePalEvent::ProcessPalEvents(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CSimplePalEvent::ProcessPalEvents");
    const TAL_EVENT event = CreateTalEvent(request);
    if (event == 0) {
        // Nothing carries the request any more: return it to the factory rather than leak it.
        MTCore::MT_OEM().MToem_DeleteObj(request);
        return;
    }
    if (TAL_SendEvent(event) != 0) {
        HAL_TRACE(TRACE_PANIC, "CSimplePalEvent::ProcessPalEvents fail to send event to TAL");
        // The library has freed the event; the request it carried is answered by nobody.
        MTCore::MT_OEM().MToem_DeleteObj(request);
    }
}

Core_TransInfo* CSimplePalEvent::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CSimplePalEvent::CreatePalEvent");
    HAL_TRACE(TRACE_PANIC,
              "The class only process PAL ==> TAL events process, wrong direction ID %x",
              TAL_Event_GetID(event));
    return nullptr;
}

// ---- CSimpleTalEvent ------------------------------------------------------------------------

CSimpleTalEvent::CSimpleTalEvent(uint32_t talId, uint32_t palId, const char* kindName)
    : CEvent(talId, palId, kindName) {}

void CSimpleTalEvent::ProcessPalEvents(Core_TransInfo* /*request*/) {
    HAL_FUNCTION_TRACE("CSimpleTalEvent::ProcessPalEvents");
    HAL_TRACE(TRACE_PANIC, "The class only process TAL ==> PAL events process, wrong direction");
}

Core_TransInfo* CSimpleTalEvent::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CSimpleTalEvent::CreatePalEvent");
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);
    // The transmit-stream start request stays alive: its stream's notifications carry it.
    if (request->eventId != hal::pal::req_PAL_VSSTARTTX) {
        factory.MToem_DeleteObj(request);
    }
    return completion;
}

// ---- CSimpleNotifyTalEvent ------------------------------------------------------------------

CSimpleNotifyTalEvent::CSimpleNotifyTalEvent(uint32_t talId, uint32_t palId, const char* kindName)
    : CSimpleTalEvent(talId, palId, kindName) {}

Core_TransInfo* CSimpleNotifyTalEvent::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CSimpleNotifyTalEvent::CreatePalEvent");
    Core_TransInfo* notification = factory.MToem_CreateObj(palEventId);
    if (notification != nullptr) {
        notification->handle = ConvertToPalHandle(TAL_Event_GetHandle(event));
    }
    return notification;
}
