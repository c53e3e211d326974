// Start-up, handle allocation with span activation, and hardware information translators.
#include "AdminEvents.h"
#include "TranslatorFixture.h"
#include "mtcore/Events.h"
#include "mtcore/MT_HandleUtils.h"

using MTCore::Core_TransInfo;
using tal::Param;
namespace ids = MTCore::ids;

namespace {

class AdminEvents : public TranslatorTest {
  protected:
    void SetUp() override {
        TranslatorTest::SetUp();
        hal::ResetStartupValue();
    }

    CProcess_req_PAL_STARTPAL startPal{0x2003, ids::req_PAL_STARTPAL, "req_PAL_STARTPAL"};
    CProcess_req_PAL_REQHNDLS reqHandles{0x2001, ids::req_PAL_REQHNDLS, "req_PAL_REQHNDLS"};
    CProcess_req_PAL_RETHNDLS retHandles{0x2002, ids::req_PAL_RETHNDLS, "req_PAL_RETHNDLS"};
    CProcess_cmp_TAL_STARTTAL startDone{0x102003, ids::cmp_PAL_STARTPAL, "cmp_PAL_STARTPAL"};
    CProcess_cmp_TAL_REQHNDLS handlesDone{0x102001, ids::cmp_PAL_REQHNDLS, "cmp_PAL_REQHNDLS"};
    CProcess_cmp_TAL_GETHWINFO hwInfo{0x102000, ids::cmp_PAL_GETHWINFO, "cmp_PAL_GETHWINFO"};
};

// ---- Start-up value and the start completion -------------------------------------------------

TEST_F(AdminEvents, StartPalKeepsTheLastStartupValueAndSendsNoParameter) {
    EXPECT_EQ(hal::StartupValue(), 2012u) << "before any start";
    for (uint32_t context : {7u, 0xfffffffeu}) {
        auto* req = make<MTCore::Ev_req_PAL_STARTPAL>(ids::req_PAL_STARTPAL);
        req->startContext = context;
        startPal.ProcessPalEvents(req);
        const tal::SentEvent sent = taken();
        EXPECT_EQ(sent.id, 0x2003u);
        EXPECT_EQ(sent.act, req);
        EXPECT_TRUE(sent.params.empty());
        EXPECT_EQ(hal::StartupValue(), context);
        release(req);
    }

    // No TAL event: nothing is sent, the value is still recorded. The unanswerable request goes
    // back to the factory (the fixture checks that nothing is left alive).
    auto* req = make<MTCore::Ev_req_PAL_STARTPAL>(ids::req_PAL_STARTPAL);
    req->startContext = 99;
    board().failNextCreate();
    startPal.ProcessPalEvents(req);
    EXPECT_EQ(hal::StartupValue(), 99u);
    EXPECT_FALSE(board().take(std::chrono::milliseconds(0)).has_value());
}

TEST_F(AdminEvents, StartCompletionEchoesItsOwnRequestsTextAndFreesTheRequest) {
    for (const char* text : {"", "host start 1"}) {
        auto* req = make<MTCore::Ev_req_PAL_STARTPAL>(ids::req_PAL_STARTPAL);
        req->startString = text;
        req->handle = 0x1234;
        TAL_EVENT event = build({0x102003, 0, req, {Param::string(0x500007, "ignored")}});
        Core_TransInfo* completion = startDone.CreatePalEvent(event);
        TAL_Event_Destroy(event);
        auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_STARTPAL*>(completion);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->eventId, ids::cmp_PAL_STARTPAL);
        EXPECT_EQ(done->handle, 0x1234u);
        EXPECT_EQ(done->startString, text);
        release(completion);  // the request was freed by the translator: the fixture checks it
    }
}

TEST_F(AdminEvents, CompletionsWithoutActBuildNothing) {
    CSimpleTalEvent* translators[] = {&startDone, &handlesDone, &hwInfo};
    for (CSimpleTalEvent* translator : translators) {
        TAL_EVENT event = build({translator->TalEventId(), 0, nullptr, {}});
        EXPECT_EQ(translator->CreatePalEvent(event), nullptr) << translator->Name();
        TAL_Event_Destroy(event);
    }
}

// ---- Handle requests -------------------------------------------------------------------------

TEST_F(AdminEvents, HandleRequestsCarryTheLogicalIdWithoutSign) {
    auto* req = make<MTCore::Ev_req_PAL_REQHNDLS>(ids::req_PAL_REQHNDLS);
    req->boardLogicalId = 200;
    reqHandles.ProcessPalEvents(req);
    tal::SentEvent sent = taken();
    EXPECT_EQ(sent.id, 0x2001u);
    ASSERT_EQ(sent.params.size(), 1u);
    EXPECT_EQ(sent.params[0].id, 0x500000u);
    EXPECT_EQ(sent.params[0].type, uint32_t{TAL_TYPE_BYTE});
    EXPECT_EQ(sent.params[0].intValue, 200);
    release(req);

    auto* ret = make<MTCore::Ev_req_PAL_RETHNDLS>(ids::req_PAL_RETHNDLS);
    ret->boardLogicalId = 2;
    retHandles.ProcessPalEvents(ret);
    sent = taken();
    EXPECT_EQ(sent.id, 0x2002u);
    ASSERT_NE(sent.find(0x500000), nullptr);
    EXPECT_EQ(sent.find(0x500000)->intValue, 2);
    release(ret);

    // No TAL event: no parameter, nothing sent.
    auto* failing = make<MTCore::Ev_req_PAL_REQHNDLS>(ids::req_PAL_REQHNDLS);
    board().failNextCreate();
    reqHandles.ProcessPalEvents(failing);  // frees the request it cannot send
    EXPECT_FALSE(board().take(std::chrono::milliseconds(0)).has_value());
}

TEST_F(AdminEvents, HandleCompletionAppendsBothArraysInOrderAndActivatesSpans) {
    auto line = [](uint32_t board, uint32_t span, uint32_t ch) {
        return static_cast<int32_t>(TAL_Handle_Create(TAL_HT_LINE, board, span, 0, ch));
    };
    const int32_t resource =
        static_cast<int32_t>(TAL_Handle_Create(TAL_HT_RESOURCE, 1, 0, TAL_RES_PLAYER, 4));
    const int32_t tooLarge = static_cast<int32_t>(TAL_Handle_Create(TAL_HT_LINE, 1, 1, 0, 0x800));
    std::vector<int32_t> spans;
    for (uint32_t s = 1; s <= 4; ++s) {
        spans.push_back(static_cast<int32_t>(TAL_Handle_Create(TAL_HT_SPAN, 1, s, 0, 0)));
    }

    auto* req = make<Core_TransInfo>(ids::req_PAL_REQHNDLS);
    TAL_EVENT event = build({0x102001,
                             0,
                             req,
                             {Param::intArray(0x50000d, {line(1, 1, 1), line(1, 1, 2), tooLarge}),
                              Param::intArray(0x50000f, spans), Param::integer(5242960, 1),
                              Param::intArray(0x50000e, {resource, line(1, 2, 3)})}});
    Core_TransInfo* completion = handlesDone.CreatePalEvent(event);
    TAL_Event_Destroy(event);

    auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_REQHNDLS*>(completion);
    ASSERT_NE(done, nullptr);
    ASSERT_EQ(done->handles.size(), 5u);
    using H = MTCore::MT_HandleUtils;
    EXPECT_EQ(H::MThutl_GetHandleType(done->handles[0]), MTCore::eMT_HANDLE_LINE);
    EXPECT_EQ(H::MThutl_GetSpanLineID(done->handles[1]), 2u);
    EXPECT_EQ(done->handles[2], 0u) << "a failed conversion is still appended";
    EXPECT_EQ(H::MThutl_GetHandleType(done->handles[3]), MTCore::eMT_HANDLE_RESOURCE);
    EXPECT_TRUE(H::MThutl_IsPlayerResource(done->handles[3]));
    EXPECT_EQ(H::MThutl_GetSpanID(done->handles[4]), 2u);
    EXPECT_EQ(countLines(TRACE_WARNING, "Unhandled parameter 5242960"), 1u);
    release(completion);

    // One activation per span handle, in array order, the handle unchanged, no ACT.
    for (int32_t span : spans) {
        const tal::SentEvent activation = taken();
        EXPECT_EQ(activation.id, 0x3000u);
        EXPECT_EQ(activation.handle, static_cast<TAL_HANDLE>(span));
        EXPECT_EQ(activation.act, nullptr);
        EXPECT_TRUE(activation.params.empty());
    }
    EXPECT_FALSE(board().take(std::chrono::milliseconds(0)).has_value());
}

TEST_F(AdminEvents, HandleCompletionWithoutArraysPostsAnEmptyList) {
    auto* req = make<Core_TransInfo>(ids::req_PAL_REQHNDLS);
    TAL_EVENT event = build({0x102001, 0, req, {Param::integer(0x50000d, 3)}});  // not an array
    Core_TransInfo* completion = handlesDone.CreatePalEvent(event);
    TAL_Event_Destroy(event);
    auto* done = dynamic_cast<MTCore::Ev_cmp_PAL_REQHNDLS*>(completion);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(done->handles.empty());
    EXPECT_EQ(countLinesContaining(TRACE_WARNING, "Unhandled parameter"), 1u);
    release(completion);
}

// ---- Hardware information --------------------------------------------------------------------

TEST(SpanTypeTables, ByteToCodeAndNetworkType) {
    const struct {
        int8_t byte;
        int32_t code;
        const char* net;
    } types[] = {{0, -1, "UNKNOWN"}, {1, 3, "ANALOG"},   {2, -1, "UNKNOWN"}, {3, 1, "T1"},
                 {4, 2, "T1"},       {5, 4, "E1"},       {6, 5, "E1"},       {7, 7, "T1"},
                 {8, -1, "UNKNOWN"}, {-1, -1, "UNKNOWN"}};
    for (const auto& t : types) {
        EXPECT_EQ(hal::SpanTypeCode(t.byte), t.code) << int{t.byte};
        EXPECT_STREQ(hal::NetTypeOfSpanType(t.code), t.net) << int{t.byte};
    }
    EXPECT_STREQ(hal::NetTypeOfSpanType(8), "E1");
    EXPECT_STREQ(hal::NetTypeOfSpanType(6), "E1");

    const std::pair<int8_t, int32_t> subtypes[] = {{0, -1}, {1, 10}, {2, 7},  {3, 9},
                                                   {4, 8},  {5, 12}, {6, 11}, {7, -1}};
    for (const auto& [byte, code] : subtypes) EXPECT_EQ(hal::SpanSubtypeCode(byte), code);
}

Param span(std::vector<Param> entries) {
    return Param::listOf(0x50004e, std::move(entries));
}
Param group(std::vector<Param> entries) {
    return Param::listOf(0x50004e, std::move(entries));
}
Param groups(std::vector<Param> entries) {
    return Param::listOf(0x500002, std::move(entries));
}

class HardwareInfo : public AdminEvents {
  protected:
    // Translates a completion with these parameters; the caller releases the result.
    MTCore::Ev_cmp_PAL_GETHWINFO* translate(std::vector<Param> params) {
        auto* req = make<Core_TransInfo>(ids::req_PAL_GETHWINFO);
        TAL_EVENT event = build({0x102000, 0, req, std::move(params)});
        Core_TransInfo* completion = hwInfo.CreatePalEvent(event);
        TAL_Event_Destroy(event);
        auto* info = dynamic_cast<MTCore::Ev_cmp_PAL_GETHWINFO*>(completion);
        EXPECT_NE(info, nullptr);
        if (info == nullptr) release(completion);
        return info;
    }
};

TEST_F(HardwareInfo, EveryBoardAttributeFillsItsField) {
    auto* info = translate(
        {Param::integer(0x500001, 2),
         groups({group(
             {Param::byte(0x500000, 1), Param::string(0x500003, "Quad T1"),
              Param::byte(0x500004, 2), Param::integer(0x500006, 96),
              Param::string(0x500007, "31337"), Param::string(0x500050, "PCI"),
              Param::string(0x500051, "DSP"), Param::string(0x500052, "C"),
              Param::string(0x500053, "H.100"), Param::string(0x500054, "CT bus"),
              Param::integer(0x500009, 5),
              Param::listOf(0x500005, {span({Param::integer(0x50000a, 24), Param::byte(0x50000b, 3),
                                             Param::byte(0x50000c, 4)}),
                                       span({Param::integer(0x50000a, 23)})})})})});
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->noOfBoards, 1);
    ASSERT_EQ(info->hwInfoList.size(), 1u);
    const MTCore::Pal_Ev_HwInfoElem& board = info->hwInfoList[0];
    EXPECT_EQ(board.logicalID, 1);
    EXPECT_EQ(board.boardDescription, "Quad T1");
    EXPECT_EQ(board.noOfSpans, 2);
    EXPECT_EQ(board.noOfVoiceResources, 96);
    EXPECT_EQ(board.serialNo, "31337");
    EXPECT_TRUE(board.boardEnabled);
    EXPECT_EQ(board.hostBusFormat, "PCI");
    EXPECT_EQ(board.bdTechnologyName, "DSP");
    EXPECT_EQ(board.boardRevision, "C");
    EXPECT_EQ(board.tdmBusMediaType, "H.100");
    EXPECT_EQ(board.tdmBusTechnologyName, "CT bus");
    EXPECT_EQ(board.pcdFileName, MTCore::Pal_Ev_HwInfoElem().pcdFileName) << "never filled";
    EXPECT_EQ(board.lines, (std::vector<int32_t>{24, 23}));
    // The second span has neither type nor subtype: the defaults (1, 5), net type unchanged.
    EXPECT_EQ(board.spanTypes, (std::vector<std::pair<int32_t, int32_t>>{{1, 8}, {1, 5}}));
    EXPECT_EQ(board.boardNetType, "T1");
    EXPECT_EQ(countLinesContaining(TRACE_WARNING, "Unhandled parameter"), 0u)
        << "0x500001 and 0x500009 are skipped silently";
    release(info);
}

TEST_F(HardwareInfo, BoardsAreReportedInGroupOrderAndOnlyWithALogicalId) {
    auto* info = translate({groups({
        group({Param::byte(0x500000, 0)}), group({Param::byte(0x500000, 1)}),
        group({Param::string(0x500003, "no id")}),
        group({Param::byte(0x500000, 0xff)}),  // widens to -1: not reported
        group({Param::byte(0x500000, 0x80)}),  // widens to -128
    })});
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->noOfBoards, 3);
    ASSERT_EQ(info->hwInfoList.size(), 3u);
    EXPECT_EQ(info->hwInfoList[0].logicalID, 0);
    EXPECT_EQ(info->hwInfoList[1].logicalID, 1);
    EXPECT_EQ(info->hwInfoList[2].logicalID, -128);
    for (const auto& board : info->hwInfoList) EXPECT_TRUE(board.boardEnabled);
    release(info);

    info = translate({Param::integer(0x500001, 0)});
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->noOfBoards, 0);
    EXPECT_TRUE(info->hwInfoList.empty());
    release(info);
}

TEST_F(HardwareInfo, SpanEntriesGiveOnePairEachAndTheLastTypeSetsTheNetType) {
    auto* info = translate({groups({group(
        {Param::byte(0x500000, 3),
         Param::listOf(0x500005,
                       {span({Param::byte(0x50000b, 3)}), span({Param::byte(0x50000b, 5)}),
                        span({Param::byte(0x50000b, 1), Param::byte(0x50000c, 3)}),
                        span({Param::byte(0x50000b, 2)}),
                        span({Param::integer(0x50000a, 30), Param::integer(0x50000a, 31)})})})})});
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->hwInfoList.size(), 1u);
    const auto& board = info->hwInfoList[0];
    EXPECT_EQ(board.spanTypes,
              (std::vector<std::pair<int32_t, int32_t>>{{1, 5}, {4, 5}, {3, 9}, {-1, 5}, {1, 5}}));
    EXPECT_EQ(board.lines, (std::vector<int32_t>{30, 31}));
    EXPECT_EQ(board.boardNetType, "UNKNOWN") << "set by the last span that carried 0x50000b";
    release(info);
}

TEST_F(HardwareInfo, BadShapesAreTracedAndSkippedAndTheRestIsRead) {
    auto* info = translate({
        Param::integer(0x500002, 7),  // a scalar where the list belongs
        Param::integer(0x512345, 1),  // unexpected at the top
        groups({
            Param::integer(0x500000, 1),  // unexpected in the group list
            group({}),                    // an empty group: no logical id, not reported
            group({Param::listOf(0x500000, {Param::byte(0x500000, 1)}),  // list for a scalar
                   Param::integer(0x500003, 5),                          // number for a text
                   Param::byte(0x500000, 4), Param::listOf(0x500005, {}),
                   Param::byte(0x500005, 1),  // scalar for the spans
                   Param::integer(0x512346, 0)}),
            group({Param::byte(0x500000, 5),
                   Param::listOf(0x500005,
                                 {Param::integer(0x50000a, 3),  // unexpected in the span list
                                  span({Param::string(0x50000a, "30"), Param::byte(0x512347, 1),
                                        Param::listOf(0x50000b, {}), Param::byte(0x50000c, 2)}),
                                  span({})})}),
        }),
    });
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->hwInfoList.size(), 2u);
    EXPECT_EQ(info->hwInfoList[0].logicalID, 4);
    EXPECT_TRUE(info->hwInfoList[0].spanTypes.empty());
    EXPECT_EQ(info->hwInfoList[0].boardDescription, "");
    EXPECT_EQ(info->hwInfoList[1].logicalID, 5);
    EXPECT_TRUE(info->hwInfoList[1].lines.empty());
    EXPECT_EQ(info->hwInfoList[1].spanTypes,
              (std::vector<std::pair<int32_t, int32_t>>{{1, 7}, {1, 5}}));
    for (int id : {0x500002, 0x512345, 0x500000, 0x500003, 0x500005, 0x512346, 0x50000a, 0x512347,
                   0x50000b}) {
        EXPECT_GE(countLines(TRACE_WARNING, "Unhandled parameter " + std::to_string(id)), 1u)
            << std::hex << id;
    }
    release(info);
}

}  // namespace
