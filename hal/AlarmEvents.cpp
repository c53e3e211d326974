#include "AlarmEvents.h"

#include <array>
#include <vector>

#include "TalParameters.h"
#include "mtcore/ParameterSets.h"

namespace hal {

namespace {

constexpr uint32_t kParamAlarmCode = 0x500010;
constexpr uint32_t kParamAlarmRaised = 0x500011;
constexpr uint32_t kParamAlarmCodes = 0x500012;
constexpr uint32_t kParamAlarmRaisedFlags = 0x500013;
constexpr uint32_t kParamSpanParameter = 0x500014;
constexpr uint32_t kParamAlarmConfigured = 0x500056;

constexpr int32_t kUnknownTalAlarmAsPal = 2002;
constexpr int32_t kUnknownPalAlarmAsTal = 403;

struct AlarmRow {
    int32_t tal;
    int32_t pal;
};

// The 66 rows, in the order that decides both lookups.
constexpr std::array<AlarmRow, 66> kAlarmTable = [] {
    std::array<AlarmRow, 66> rows{};
    std::size_t n = 0;
    for (int32_t c = 0; c <= 20; ++c) rows[n++] = {c, c + 100};
    for (int32_t c = 100; c <= 127; ++c) rows[n++] = {c, c + 900};
    for (int32_t c = 200; c <= 202; ++c) rows[n++] = {c, c + 1300};
    for (int32_t c = 300; c <= 307; ++c) rows[n++] = {c, 2003};
    rows[n++] = {400, 2000};
    rows[n++] = {401, 2001};
    rows[n++] = {402, 2002};
    rows[n++] = {403, 2003};
    rows[n++] = {404, 2003};
    rows[n++] = {405, 2004};
    return rows;
}();

}  // namespace

int32_t TalToPalAlarm(int32_t talCode) {
    for (const AlarmRow& row : kAlarmTable) {
        if (row.tal == talCode) return row.pal;
    }
    return kUnknownTalAlarmAsPal;
}

int32_t PalToTalAlarm(int32_t palCode) {
    for (const AlarmRow& row : kAlarmTable) {
        if (row.pal == palCode) return row.tal;
    }
    return kUnknownPalAlarmAsTal;
}

}  // namespace hal

using MTCore::Core_TransInfo;

// ---- Alarm configuration request ----------------------------------------------------------------

CProcess_req_PAL_SETALRMCONF::CProcess_req_PAL_SETALRMCONF(uint32_t talId, uint32_t palId,
                                                           const char* kindName)
    : CSimplePalEvent(talId, palId, kindName) {}

TAL_EVENT CProcess_req_PAL_SETALRMCONF::CreateTalEvent(Core_TransInfo* request) {
    HAL_FUNCTION_TRACE("CProcess_req_PAL_SETALRMCONF::CreateTalEvent");
    // Sized by the request: every entry goes out, however many there are.
    std::vector<int32_t> codes;
    std::vector<uint8_t> flags;
    if (const auto* req = dynamic_cast<const MTCore::Ev_req_PAL_SETALRMCONF*>(request)) {
        codes.reserve(req->alarmList.size());
        flags.reserve(req->alarmList.size());
        for (const MTCore::AlarmEntry& entry : req->alarmList) {
            codes.push_back(hal::PalToTalAlarm(entry.code));
            flags.push_back(entry.flag);
        }
    }
    TAL_EVENT event = CSimplePalEvent::CreateTalEvent(request);
    if (event != 0) {
        const auto n = static_cast<uint32_t>(codes.size());
        TAL_Event_SetParameters(event, hal::kParamAlarmCodes, TAL_TYPE_INT_ARRAY, n, codes.data(),
                                hal::kParamAlarmConfigured, TAL_TYPE_BYTE_ARRAY, n, flags.data(),
                                0);
    }
    return event;
}

// ---- Alarm list completions ---------------------------------------------------------------------

CAlarmListCompletion::CAlarmListCompletion(uint32_t talId, uint32_t palId, const char* kindName,
                                           uint32_t flagParameterId, const char* traceName)
    : CSimpleTalEvent(talId, palId, kindName),
      m_flagParameterId(flagParameterId),
      m_traceName(traceName) {}

Core_TransInfo* CAlarmListCompletion::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE(m_traceName);
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);

    const int32_t* codes = nullptr;
    uint32_t codeCount = 0;
    const uint8_t* flags = nullptr;
    uint32_t flagCount = 0;
    hal::ForEachParameter(event, [&](const hal::TalParameter& p) {
        if (p.id == hal::kParamAlarmCodes && p.IsIntArray()) {
            codes = p.Ints();
            codeCount = p.count;
        } else if (p.id == m_flagParameterId && p.IsByteArray()) {
            flags = p.Bytes();
            flagCount = p.count;
        }
    });
    if (auto* list = dynamic_cast<MTCore::Ev_cmp_PAL_ALARMINFO*>(completion)) {
        for (uint32_t i = 0; codes != nullptr && i < codeCount; ++i) {
            // The flag array is read only as far as it goes; a missing flag counts as 0.
            const uint8_t flag = (flags != nullptr && i < flagCount) ? flags[i] : 0;
            list->alarmList.push_back({hal::TalToPalAlarm(codes[i]), uint8_t{flag != 0}});
        }
    }
    factory.MToem_DeleteObj(request);
    return completion;
}

CProcess_cmp_TAL_ALARMINFO::CProcess_cmp_TAL_ALARMINFO(uint32_t talId, uint32_t palId,
                                                       const char* kindName)
    : CAlarmListCompletion(talId, palId, kindName, hal::kParamAlarmRaisedFlags,
                           "CProcess_cmp_TAL_ALARMINFO::CreatePalEvent") {}

CProcess_cmp_TAL_GETALRMCONF::CProcess_cmp_TAL_GETALRMCONF(uint32_t talId, uint32_t palId,
                                                           const char* kindName)
    : CAlarmListCompletion(talId, palId, kindName, hal::kParamAlarmConfigured,
                           "CProcess_cmp_TAL_GETALRMCONF::CreatePalEvent") {}

// ---- Span parameters ----------------------------------------------------------------------------

CProcess_cmp_TAL_GETSPANPARAMS::CProcess_cmp_TAL_GETSPANPARAMS(uint32_t talId, uint32_t palId,
                                                               const char* kindName)
    : CSimpleTalEvent(talId, palId, kindName) {}

Core_TransInfo* CProcess_cmp_TAL_GETSPANPARAMS::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CProcess_cmp_TAL_GETSPANPARAMS::CreatePalEvent");
    auto* request = static_cast<Core_TransInfo*>(TAL_Event_GetACT(event));
    if (request == nullptr) return nullptr;
    Core_TransInfo* completion = factory.MToem_CreateCompletionObj(request);

    const auto* req = dynamic_cast<const MTCore::Ev_req_PAL_GETSPANPARAMS*>(request);
    auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_GETSPANPARAMS*>(completion);
    MTCore::SpanParameterSet* set = req != nullptr ? req->spanParams : nullptr;
    // The completion hands the host's own set back.
    if (done != nullptr) done->spanParams = set;

    hal::ForEachParameter(event, [&](const hal::TalParameter& p) {
        if (p.id != hal::kParamSpanParameter) return;
        if (!p.IsIntArray() || p.count != 2) {
            HAL_TRACE(TRACE_WARNING, "Malformed span parameter %d (type %d, count %d) skipped",
                      static_cast<int>(p.id), static_cast<int>(p.type), static_cast<int>(p.count));
            return;
        }
        // A failure of the set operation (a full set) is not reported to the host.
        if (set != nullptr) set->set(p.Ints()[0], p.Ints()[1]);
    });

    factory.MToem_DeleteObj(request);
    return completion;
}

// ---- Alarm notification -------------------------------------------------------------------------

CProcess_ntf_TAL_ALARM::CProcess_ntf_TAL_ALARM(uint32_t talId, uint32_t palId, const char* kindName)
    : CSimpleNotifyTalEvent(talId, palId, kindName) {}

Core_TransInfo* CProcess_ntf_TAL_ALARM::CreatePalEvent(TAL_EVENT event) {
    HAL_FUNCTION_TRACE("CProcess_ntf_TAL_ALARM::CreatePalEvent");
    Core_TransInfo* notification = CSimpleNotifyTalEvent::CreatePalEvent(event);
    auto* alarm = dynamic_cast<MTCore::Ev_ntf_PAL_ALARM*>(notification);
    if (alarm == nullptr) return notification;
    hal::ForEachParameter(event, [&](const hal::TalParameter& p) {
        if (p.id == hal::kParamAlarmCode && p.IsInt()) {
            alarm->alarmCode = hal::TalToPalAlarm(p.Int());
        } else if (p.id == hal::kParamAlarmRaised && p.IsByte()) {
            alarm->alarmState = p.Byte() != 0;
        }
    });
    return notification;
}
