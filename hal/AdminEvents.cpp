#include "AdminEvents.h"

#include <atomic>

#include "TalParameters.h"

namespace hal {

namespace {

// TAL parameter ids of this family.
constexpr uint32_t kParamLogicalId = 0x500000;
constexpr uint32_t kParamModuleCount = 0x500001;
constexpr uint32_t kParamBoardGroups = 0x500002;
constexpr uint32_t kParamDescription = 0x500003;
constexpr uint32_t kParamSpanCount = 0x500004;
constexpr uint32_t kParamSpans = 0x500005;
constexpr uint32_t kParamVoiceResources = 0x500006;
constexpr uint32_t kParamSerialNo = 0x500007;
constexpr uint32_t kParamModuleNumber = 0x500009;
constexpr uint32_t kParamLines = 0x50000a;
constexpr uint32_t kParamSpanType = 0x50000b;
constexpr uint32_t kParamSpanSubtype = 0x50000c;
constexpr uint32_t kParamLineHandles = 0x50000d;
constexpr uint32_t kParamResourceHandles = 0x50000e;
constexpr uint32_t kParamSpanHandles = 0x50000f;
constexpr uint32_t kParamEntry = 0x50004e;
constexpr uint32_t kParamHostBusFormat = 0x500050;
constexpr uint32_t kParamTechnologyName = 0x500051;
constexpr uint32_t kParamBoardRevision = 0x500052;
constexpr uint32_t kParamTdmBusMediaType = 0x500053;
constexpr uint32_t kParamTdmBusTechnologyName = 0x500054;

// Span activation: sent by the HAL itself, its completion is discarded by the pump.
constexpr uint32_t kTalActivateSpan = 0x3000;

// Defaults of a span entry without type or subtype.
constexpr int32_t kDefaultSpanTypeCode = 1;
constexpr int32_t kDefaultSpanSubtypeCode = 5;

// Written and read on the PAL thread; atomic so that other threads (tests, tools) may read it.
std::atomic<uint32_t> g_startupValue{kInitialStartupValue};

}  // namespace

uint32_t StartupValue() {
    return g_startupValue.load(std::memory_order_relaxed);
}
void ResetStartupValue() {
    g_startupValue.store(kInitialStartupValue, std::memory_order_relaxed);
}

int32_t SpanTypeCode(int8_t spanTypeByte) {
    switch (spanTypeByte) {
        case 1:
            return 3;
        case 3:
            return 1;
        case 4:
            return 2;
        case 5:
            return 4;
        case 6:
            return 5;
        case 7:
            return 7;
        default:  // 0, 2 and every byte outside the table
            return -1;
    }
}

const char* NetTypeOfSpanType(int32_t spanTypeCode) {
    switch (spanTypeCode) {
        case 1:
        case 2:
        case 7:
            return "T1";
        case 3:
            return "ANALOG";
        case 4:
        case 5:
        case 6:
        case 8:
            return "E1";
        default:
            return "UNKNOWN";
    }
}

int32_t SpanSubtypeCode(int8_t spanSubtypeByte) {
    switch (spanSubtypeByte) {
        case 1:
            return 10;
        case 2:
            return 7;
        case 3:
            return 9;
        case 4:
            return 8;
        case 5:
            return 12;
        case 6:
            return 11;
        default:
            return -1;
    }
}

}  // namespace hal

using MTCore::Core_TransInfo;

// ---- Requests -----------------------------------------------------------------------------------

CProcess_req_PAL_STARTPAL::CProcess_req_PAL_STARTPAL(uint32_t talId, uint32_t palId,
                                                     const char* kindName)
    : CSimplePalEvent(talId, palId, kindName) {}

TAL_EVENT CProcess_req_PAL_STARTPAL::CreateTalEvent(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CProcess_req_PAL_STARTPAL::CreateTalEvent");
    TAL_EVENT event = CSimplePalEvent::CreateTalEvent(request);
    // Recorded whether or not the event could be created.
    if (const auto* start = dynamic_cast<const MTCore::Ev_req_PAL_STARTPAL*>(request)) {
        hal::g_startupValue.store(start->startContext, std::memory_order_relaxed);
    }
    return event;
}

CProcess_req_PAL_REQHNDLS::CProcess_req_PAL_REQHNDLS(uint32_t talId, uint32_t palId,
                                                     const char* kindName)
    : CSimplePalEvent(talId, palId, kindName) {}

TAL_EVENT CProcess_req_PAL_REQHNDLS::CreateTalEvent(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CProcess_req_PAL_REQHNDLS::CreateTalEvent");
    TAL_EVENT event = CSimplePalEvent::CreateTalEvent(request);
    if (event != 0) {
        const auto* req = dynamic_cast<const MTCore::Ev_req_PAL_REQHNDLS*>(request);
        // The byte widens without sign: logical id 200 goes out as 200.
        const int logicalId = req != nullptr ? static_cast<int>(req->boardLogicalId) : 0;
        TAL_Event_SetParameters(event, hal::kParamLogicalId, TAL_TYPE_BYTE, 0, logicalId, 0);
    }
    return event;
}

CProcess_req_PAL_RETHNDLS::CProcess_req_PAL_RETHNDLS(uint32_t talId, uint32_t palId,
                                                     const char* kindName)
    : CSimplePalEvent(talId, palId, kindName) {}

TAL_EVENT CProcess_req_PAL_RETHNDLS::CreateTalEvent(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CProcess_req_PAL_RETHNDLS::CreateTalEvent");
    TAL_EVENT event = CSimplePalEvent::CreateTalEvent(request);
    if (event != 0) {
        const auto* req = dynamic_cast<const MTCore::Ev_req_PAL_RETHNDLS*>(request);
        const uint32_t logicalId = req != nullptr ? req->boardLogicalId : 0;
        TAL_Event_SetParameters(event, hal::kParamLogicalId, TAL_TYPE_BYTE, 0,
                                static_cast<int>(logicalId), 0);
    }
    return event;
}

// ---- Completions --------------------------------------------------------------------------------

CProcess_cmp_TAL_STARTTAL::CProcess_cmp_TAL_STARTTAL(uint32_t talId, uint32_t palId,
                                                     const char* kindName)
    : CSimpleTalEvent(talId, palId, kindName) {}

Core_TransInfo* CProcess_cmp_TAL_STARTTAL::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_STARTTAL::CreatePalEvent");
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);
    const auto* start = dynamic_cast<const MTCore::Ev_req_PAL_STARTPAL*>(request);
    auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_STARTPAL*>(completion);
    if (start != nullptr && done != nullptr) done->startString = start->startString;
    factory.MToem_DeleteObj(request);
    return completion;
}

CProcess_cmp_TAL_REQHNDLS::CProcess_cmp_TAL_REQHNDLS(uint32_t talId, uint32_t palId,
                                                     const char* kindName)
    : CSimpleTalEvent(talId, palId, kindName) {}

Core_TransInfo* CProcess_cmp_TAL_REQHNDLS::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_REQHNDLS::CreatePalEvent");
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);
    auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_REQHNDLS*>(completion);

    hal::ForEachParameter(event, [&](const hal::TalParameter& p) {
        if ((p.id == hal::kParamLineHandles || p.id == hal::kParamResourceHandles) &&
            p.IsIntArray()) {
            // Every entry is appended, also one whose conversion fails (it becomes 0).
            const int32_t* handles = p.Ints();
            for (uint32_t i = 0; done != nullptr && i < p.count; ++i) {
                done->handles.push_back(ConvertToPalHandle(static_cast<TAL_HANDLE>(handles[i])));
            }
        } else if (p.id == hal::kParamSpanHandles && p.IsIntArray()) {
            ActivateSpans(p.Ints(), p.count);
        } else {
            HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
        }
    });

    factory.MToem_DeleteObj(request);
    return completion;
}

void CProcess_cmp_TAL_REQHNDLS::ActivateSpans(const int32_t* spanHandles, uint32_t count) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_REQHNDLS::ActivateSpans");
    if (spanHandles == nullptr) return;
    for (uint32_t i = 0; i < count; ++i) {
        TAL_EVENT activation = TAL_Event_Create(hal::kTalActivateSpan);
        if (activation == 0) continue;
        TAL_Event_SetHandle(activation, static_cast<TAL_HANDLE>(spanHandles[i]));
        // Nothing is awaited: the completion is discarded by the pump.
        TAL_SendEvent(activation);
    }
}

// ---- Hardware information -----------------------------------------------------------------------

CProcess_cmp_TAL_GETHWINFO::CProcess_cmp_TAL_GETHWINFO(uint32_t talId, uint32_t palId,
                                                       const char* kindName)
    : CSimpleTalEvent(talId, palId, kindName) {}

Core_TransInfo* CProcess_cmp_TAL_GETHWINFO::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETHWINFO::CreatePalEvent");
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);
    auto* info = dynamic_cast<MTCore::Ev_cmp_PAL_GETHWINFO*>(completion);
    if (info != nullptr) {
        info->noOfBoards = 0;
        info->hwInfoList.clear();
        hal::ForEachParameter(event, [&](const hal::TalParameter& p) {
            if (p.id == hal::kParamModuleCount) return;
            if (p.id == hal::kParamBoardGroups && p.IsList()) {
                processBoardGroupList(p.value, *info);
            } else {
                HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
            }
        });
    }
    factory.MToem_DeleteObj(request);
    return completion;
}

void CProcess_cmp_TAL_GETHWINFO::processBoardGroupList(const void* list,
                                                       MTCore::Ev_cmp_PAL_GETHWINFO& completion) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETHWINFO::processBoardGroupList");
    hal::ForEachListEntry(list, [&](const hal::TalParameter& p) {
        if (p.id == hal::kParamEntry && p.IsList()) {
            processBoardGroup(p.value, completion);
        } else {
            HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
        }
    });
}

void CProcess_cmp_TAL_GETHWINFO::processBoardGroup(const void* group,
                                                   MTCore::Ev_cmp_PAL_GETHWINFO& completion) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETHWINFO::processBoardGroup");
    MTCore::Pal_Ev_HwInfoElem board;
    board.logicalID = -1;
    hal::ForEachListEntry(group, [&](const hal::TalParameter& p) {
        // Text attributes: only a string value is read as one.
        std::string* text = nullptr;
        switch (p.id) {
            case hal::kParamDescription:
                text = &board.boardDescription;
                break;
            case hal::kParamSerialNo:
                text = &board.serialNo;
                break;
            case hal::kParamHostBusFormat:
                text = &board.hostBusFormat;
                break;
            case hal::kParamTechnologyName:
                text = &board.bdTechnologyName;
                break;
            case hal::kParamBoardRevision:
                text = &board.boardRevision;
                break;
            case hal::kParamTdmBusMediaType:
                text = &board.tdmBusMediaType;
                break;
            case hal::kParamTdmBusTechnologyName:
                text = &board.tdmBusTechnologyName;
                break;
            default:
                break;
        }
        if (text != nullptr && p.IsString()) {
            *text = p.String();
        } else if (p.id == hal::kParamLogicalId && p.IsByte()) {
            board.logicalID = p.SignedByte();  // 0xFF widens to -1: not reported
        } else if (p.id == hal::kParamSpanCount && p.IsByte()) {
            board.noOfSpans = p.SignedByte();
        } else if (p.id == hal::kParamVoiceResources && p.IsInt()) {
            board.noOfVoiceResources = p.Int();
        } else if (p.id == hal::kParamSpans && p.IsList()) {
            processSpanList(p.value, board);
        } else if (p.id == hal::kParamModuleNumber) {
            // Not used by the host.
        } else {
            HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
        }
    });
    if (board.logicalID != -1) {
        ++completion.noOfBoards;
        board.boardEnabled = true;
        completion.hwInfoList.push_back(board);
    }
}

void CProcess_cmp_TAL_GETHWINFO::processSpanList(const void* list,
                                                 MTCore::Pal_Ev_HwInfoElem& board) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETHWINFO::processSpanList");
    hal::ForEachListEntry(list, [&](const hal::TalParameter& p) {
        if (p.id == hal::kParamEntry && p.IsList()) {
            processSpan(p.value, board);
        } else {
            HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
        }
    });
}

void CProcess_cmp_TAL_GETHWINFO::processSpan(const void* span, MTCore::Pal_Ev_HwInfoElem& board) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETHWINFO::processSpan");
    int32_t typeCode = hal::kDefaultSpanTypeCode;
    int32_t subtypeCode = hal::kDefaultSpanSubtypeCode;
    hal::ForEachListEntry(span, [&](const hal::TalParameter& p) {
        if (p.id == hal::kParamLines && p.IsInt()) {
            board.lines.push_back(p.Int());
        } else if (p.id == hal::kParamSpanType && p.IsByte()) {
            typeCode = hal::SpanTypeCode(p.SignedByte());
            board.boardNetType = hal::NetTypeOfSpanType(typeCode);
        } else if (p.id == hal::kParamSpanSubtype && p.IsByte()) {
            subtypeCode = hal::SpanSubtypeCode(p.SignedByte());
        } else {
            HAL_TRACE(TRACE_WARNING, "Unhandled parameter %d", static_cast<int>(p.id));
        }
    });
    board.spanTypes.emplace_back(typeCode, subtypeCode);
}
