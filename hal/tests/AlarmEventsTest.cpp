// Span alarms, alarm configuration and span parameters; the TDM request translators.
#include "AlarmEvents.h"
#include "TdmEvents.h"
#include "TranslatorFixture.h"
#include "mtcore/Events.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/ParameterSets.h"

using MTCore::AlarmEntry;
using MTCore::Core_TransInfo;
using tal::Param;
namespace ids = MTCore::ids;

namespace {

TEST(AlarmTable, TranslatesBothWaysByTheFirstMatchingRow) {
    const std::pair<int32_t, int32_t> talToPal[] = {
        {0, 100},    {20, 120},   {21, 2002},  {100, 1000}, {127, 1027}, {128, 2002}, {200, 1500},
        {202, 1502}, {203, 2002}, {300, 2003}, {307, 2003}, {308, 2002}, {400, 2000}, {401, 2001},
        {402, 2002}, {403, 2003}, {404, 2003}, {405, 2004}, {406, 2002}, {-1, 2002},  {999, 2002}};
    for (const auto& [tal, pal] : talToPal) EXPECT_EQ(hal::TalToPalAlarm(tal), pal) << tal;

    const std::pair<int32_t, int32_t> palToTal[] = {
        {100, 0},    {120, 20},   {1000, 100}, {1027, 127}, {1500, 200}, {1502, 202}, {2003, 300},
        {2000, 400}, {2001, 401}, {2002, 402}, {2004, 405}, {7, 403},    {121, 403},  {99, 403}};
    for (const auto& [pal, tal] : palToTal) EXPECT_EQ(hal::PalToTalAlarm(pal), tal) << pal;
}

class SpanEvents : public TranslatorTest {
  protected:
    CProcess_req_PAL_SETALRMCONF setConfig{0x3005, ids::req_PAL_SETALRMCONF, "req_PAL_SETALRMCONF"};
    CProcess_cmp_TAL_ALARMINFO alarmInfo{0x103001, ids::cmp_PAL_ALARMINFO, "cmp_PAL_ALARMINFO"};
    CProcess_cmp_TAL_GETALRMCONF getConfig{0x103003, ids::cmp_PAL_GETALRMCONF,
                                           "cmp_PAL_GETALRMCONF"};
    CProcess_cmp_TAL_GETSPANPARAMS spanParams{0x103004, ids::cmp_PAL_GETSPANPARAMS,
                                              "cmp_PAL_GETSPANPARAMS"};
    CProcess_ntf_TAL_ALARM alarm{0x203000, ids::ntf_PAL_ALARM, "ntf_PAL_ALARM"};

    // Sends a configuration request with these entries and returns what reached the board.
    tal::SentEvent sendConfig(std::vector<AlarmEntry> entries) {
        auto* req = make<MTCore::Ev_req_PAL_SETALRMCONF>(ids::req_PAL_SETALRMCONF);
        req->alarmList = std::move(entries);
        setConfig.ProcessPalEvents(req);
        tal::SentEvent sent = taken();
        EXPECT_EQ(sent.act, req);
        release(req);
        return sent;
    }

    // Translates an alarm-list completion; returns (PAL code, flag) pairs.
    std::vector<std::pair<int32_t, int>> alarmList(CSimpleTalEvent& translator,
                                                   std::vector<Param> params) {
        auto* req = make<Core_TransInfo>(ids::req_PAL_ALARMINFO);
        TAL_EVENT event = build({translator.TalEventId(), 0, req, std::move(params)});
        Core_TransInfo* completion = translator.CreatePalEvent(event);
        TAL_Event_Destroy(event);
        std::vector<std::pair<int32_t, int>> out;
        if (auto* list = dynamic_cast<MTCore::Ev_cmp_PAL_ALARMINFO*>(completion)) {
            for (const AlarmEntry& e : list->alarmList) out.emplace_back(e.code, int{e.flag});
        } else {
            ADD_FAILURE() << "no alarm list completion";
        }
        release(completion);
        return out;
    }
};

TEST_F(SpanEvents, ConfigurationRequestSendsTheCodesAndFlagsOfEveryEntry) {
    tal::SentEvent sent = sendConfig({{101, 1}, {2003, 0}, {7, 1}});
    EXPECT_EQ(sent.id, 0x3005u);
    ASSERT_EQ(sent.params.size(), 2u);
    EXPECT_EQ(sent.params[0].id, 0x500012u);
    EXPECT_EQ(sent.params[0].ints, (std::vector<int32_t>{1, 300, 403}));
    EXPECT_EQ(sent.params[1].id, 0x500056u);
    EXPECT_EQ(sent.params[1].bytes, (std::vector<uint8_t>{1, 0, 1}));

    sent = sendConfig({});
    ASSERT_EQ(sent.params.size(), 2u);
    EXPECT_EQ(sent.params[0].count, 0u);
    EXPECT_EQ(sent.params[1].count, 0u);

    // More entries than a fixed buffer of 100 would hold: every one goes out.
    std::vector<AlarmEntry> many;
    for (int32_t i = 0; i < 150; ++i) many.push_back({100 + (i % 21), uint8_t(i % 2)});
    sent = sendConfig(many);
    ASSERT_EQ(sent.params.size(), 2u);
    ASSERT_EQ(sent.params[0].ints.size(), 150u);
    ASSERT_EQ(sent.params[1].bytes.size(), 150u);
    EXPECT_EQ(sent.params[0].ints[149], 149 % 21);
    EXPECT_EQ(sent.params[1].bytes[149], 1);
}

TEST_F(SpanEvents, AlarmListsTranslateCodesAndTakeFlagsFromTheirOwnParameter) {
    EXPECT_EQ(alarmList(alarmInfo, {Param::intArray(0x500012, {5, 120, 999}),
                                    Param::byteArray(0x500013, {0, 2, 1})}),
              (std::vector<std::pair<int32_t, int>>{{105, 0}, {1020, 1}, {2002, 1}}));
    // The configuration reads 0x500056 and ignores 0x500013.
    EXPECT_EQ(alarmList(getConfig,
                        {Param::intArray(0x500012, {400, 404}), Param::byteArray(0x500013, {1, 1}),
                         Param::byteArray(0x500056, {0, 1})}),
              (std::vector<std::pair<int32_t, int>>{{2000, 0}, {2003, 1}}));
}

TEST_F(SpanEvents, MissingOrShortFlagArraysCountAsNotSet) {
    EXPECT_EQ(alarmList(alarmInfo, {Param::intArray(0x500012, {1, 2})}),
              (std::vector<std::pair<int32_t, int>>{{101, 0}, {102, 0}}));
    EXPECT_EQ(alarmList(getConfig,
                        {Param::intArray(0x500012, {1, 2, 3}), Param::byteArray(0x500056, {1})}),
              (std::vector<std::pair<int32_t, int>>{{101, 1}, {102, 0}, {103, 0}}));
    EXPECT_TRUE(alarmList(alarmInfo, {Param::byteArray(0x500013, {1, 1})}).empty());
}

TEST_F(SpanEvents, SpanParametersAreStoredInTheRequestsOwnSet) {
    MTCore::SpanParameterSet set;
    set.set(9, 9);
    auto translate = [&](MTCore::SpanParameterSet* target, std::vector<Param> params) {
        auto* req = make<MTCore::Ev_req_PAL_GETSPANPARAMS>(ids::req_PAL_GETSPANPARAMS);
        req->spanParams = target;
        TAL_EVENT event = build({0x103004, 0, req, std::move(params)});
        Core_TransInfo* completion = spanParams.CreatePalEvent(event);
        TAL_Event_Destroy(event);
        auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_GETSPANPARAMS*>(completion);
        EXPECT_NE(done, nullptr);
        if (done != nullptr) {
            EXPECT_EQ(done->spanParams, target) << "the completion hands the host's set back";
        }
        release(completion);
    };

    translate(&set, {});
    EXPECT_EQ(set.entries(), (MTCore::SpanParameterSet::Entries{{9, 9}}));

    translate(&set, {Param::intArray(0x500014, {1, 30}), Param::intArray(0x500014, {2, 5}),
                     Param::intArray(0x500014, {1, 31}), Param::integer(0x500010, 4)});
    EXPECT_EQ(set.entries(), (MTCore::SpanParameterSet::Entries{{1, 31}, {2, 5}, {9, 9}}));

    // Malformed span parameters are skipped with a warning; the rest are kept.
    translate(&set, {Param::integer(0x500014, 7), Param::intArray(0x500014, {3}),
                     Param::intArray(0x500014, {4, 1, 2}), Param::intArray(0x500014, {5, 50})});
    EXPECT_EQ(set.entries(), (MTCore::SpanParameterSet::Entries{{1, 31}, {2, 5}, {5, 50}, {9, 9}}));
    EXPECT_EQ(countLinesContaining(TRACE_WARNING, "Malformed span parameter"), 3u);

    // A request without a set: nothing to store into, no crash.
    translate(nullptr, {Param::intArray(0x500014, {1, 1})});
}

TEST_F(SpanEvents, AlarmNotificationCarriesTheTranslatedCodeStateAndHandle) {
    const TAL_HANDLE span = TAL_Handle_Create(TAL_HT_SPAN, 2, 3, 0, 0);
    const struct {
        std::vector<Param> params;
        int32_t code;
        bool state;
    } cases[] = {
        {{Param::integer(0x500010, 404), Param::byte(0x500011, 1)}, 2003, true},
        {{Param::integer(0x500010, 5), Param::byte(0x500011, 0)}, 105, false},
        {{Param::byte(0x500011, 7), Param::integer(0x500010, 1), Param::integer(0x500010, 999)},
         2002,
         true},          // a later occurrence wins
        {{}, 0, false},  // defaults kept
    };
    for (const auto& c : cases) {
        TAL_EVENT event = build({0x203000, span, nullptr, c.params});
        Core_TransInfo* notification = alarm.CreatePalEvent(event);
        TAL_Event_Destroy(event);
        auto* ntf = dynamic_cast<MTCore::Ev_ntf_PAL_ALARM*>(notification);
        ASSERT_NE(ntf, nullptr);
        EXPECT_EQ(ntf->eventId, ids::ntf_PAL_ALARM);
        EXPECT_EQ(ntf->alarmCode, c.code);
        EXPECT_EQ(ntf->alarmState, c.state);
        using H = MTCore::MT_HandleUtils;
        EXPECT_EQ(H::MThutl_GetHandleType(ntf->handle), MTCore::eMT_HANDLE_SPAN);
        EXPECT_EQ(H::MThutl_GetBoardID(ntf->handle), 2u);
        EXPECT_EQ(H::MThutl_GetSpanID(ntf->handle), 3u);
        release(notification);
    }
}

// ---- TDM bus requests ------------------------------------------------------------------------

TEST_F(TranslatorTest, TdmRequestsSendTheSecondResourceAsAParameter) {
    CProcess_req_PAL_ATTACH attach{0x4000, ids::req_PAL_ATTACH, "req_PAL_ATTACH"};
    CProcess_req_PAL_DETACH detach{0x4001, ids::req_PAL_DETACH, "req_PAL_DETACH"};
    CProcess_req_PAL_LISTEN listen{0x4002, ids::req_PAL_LISTEN, "req_PAL_LISTEN"};
    CProcess_req_PAL_ROUTE route{0x4004, ids::req_PAL_ROUTE, "req_PAL_ROUTE"};
    CProcess_req_PAL_UNROUTE unroute{0x4005, ids::req_PAL_UNROUTE, "req_PAL_UNROUTE"};
    CSimplePalEvent unlisten{0x4003, ids::req_PAL_UNLISTEN, "req_PAL_UNLISTEN"};

    using H = MTCore::MT_HandleUtils;
    uint32_t a = 0, b = 0;
    H::MThutl_SetHandleType(a, MTCore::eMT_HANDLE_LINE);
    H::MThutl_SetBoardID(a, 1);
    H::MThutl_SetSpanID(a, 2);
    H::MThutl_SetFullId(a, 17);
    H::MThutl_SetHandleType(b, MTCore::eMT_HANDLE_RESOURCE);
    H::MThutl_SetBoardID(b, 1);
    H::MThutl_SetFullId(b, 3);
    H::MThutl_SetMediaResourceType(b, MTCore::eMT_MEDIA_PLAYER);

    const struct {
        CSimplePalEvent* translator;
        uint32_t palId;
        uint32_t talId;
        bool hasPeer;
    } cases[] = {{&attach, ids::req_PAL_ATTACH, 0x4000, true},
                 {&detach, ids::req_PAL_DETACH, 0x4001, true},
                 {&listen, ids::req_PAL_LISTEN, 0x4002, true},
                 {&unlisten, ids::req_PAL_UNLISTEN, 0x4003, false},
                 {&route, ids::req_PAL_ROUTE, 0x4004, true},
                 {&unroute, ids::req_PAL_UNROUTE, 0x4005, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.talId);
        Core_TransInfo* req = MTCore::MT_OEM().MToem_CreateObj(c.palId);
        req->handle = a;
        if (auto* tdm = dynamic_cast<MTCore::Ev_req_PAL_ROUTE*>(req)) tdm->peerHandle = b;
        c.translator->ProcessPalEvents(req);
        const tal::SentEvent sent = taken();
        EXPECT_EQ(sent.id, c.talId);
        EXPECT_EQ(sent.act, req);
        EXPECT_EQ(sent.handle, CEvent::ConvertToTalHandle(a));
        if (c.hasPeer) {
            ASSERT_EQ(sent.params.size(), 1u);
            EXPECT_EQ(sent.params[0].id, 0x500015u);
            EXPECT_EQ(sent.params[0].type, uint32_t{TAL_TYPE_INT});
            EXPECT_EQ(static_cast<TAL_HANDLE>(sent.params[0].intValue),
                      CEvent::ConvertToTalHandle(b));
            EXPECT_EQ(tal::decodeHandle(static_cast<TAL_HANDLE>(sent.params[0].intValue)),
                      (tal::HandleFields{TAL_HT_RESOURCE, 1, 0, TAL_RES_PLAYER, 3}));
        } else {
            EXPECT_TRUE(sent.params.empty());
        }
        release(req);
    }

    // No TAL event: nothing is sent.
    auto* req = make<MTCore::Ev_req_PAL_ROUTE>(ids::req_PAL_ROUTE);
    board().failNextCreate();
    route.ProcessPalEvents(req);  // frees the request it cannot send
    EXPECT_FALSE(board().take(std::chrono::milliseconds(0)).has_value());
}

}  // namespace
