// The virtual board's answers from the hardware description: hardware information, handles, span
// activation, alarms, span parameters and TDM routing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>

#include "WalkParams.h"
#include "hardware/Description.h"
#include "tal/BoardSide.h"
#include "tal/HardwareBoard.h"
#include "tal/VirtualBoard.h"
#include "tal/tal.h"

using tal::BoardSide;
using tal::HardwareBoard;
using tal::Param;
using tal::SentEvent;
using taltest::walkEvent;

namespace {

constexpr uint32_t kGuardMs = 20000;

class TalHardware : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("TARNWICK_HARDWARE");
        BoardSide::instance().reset();
        events0 = BoardSide::instance().liveEvents();
        ASSERT_EQ(TAL_Init(), TAL_OK);
    }
    void TearDown() override {
        TAL_Fini();
        BoardSide::instance().reset();
        tal::VirtualBoard::instance().clearHandlers();
        EXPECT_EQ(BoardSide::instance().liveEvents(), events0) << "events leaked";
    }

    // Sends a request and returns the board's answer, read back and destroyed.
    static SentEvent ask(uint32_t id, TAL_HANDLE handle, const std::vector<Param>& params = {}) {
        static int act;
        TAL_EVENT ev = TAL_Event_Create(id);
        TAL_Event_SetACT(ev, &act);
        TAL_Event_SetHandle(ev, handle);
        uint32_t cursor = 0;
        for (const Param& p : params) {
            intptr_t value = p.intValue;
            if (p.type == TAL_TYPE_INT_ARRAY) value = reinterpret_cast<intptr_t>(p.ints.data());
            if (p.type == TAL_TYPE_BYTE_ARRAY) value = reinterpret_cast<intptr_t>(p.bytes.data());
            const uint32_t count = p.type == TAL_TYPE_INT_ARRAY    ? uint32_t(p.ints.size())
                                   : p.type == TAL_TYPE_BYTE_ARRAY ? uint32_t(p.bytes.size())
                                                                   : 0;
            EXPECT_EQ(TAL_Event_SetParameter(ev, &cursor, p.id, p.type, count, value), TAL_OK);
        }
        EXPECT_EQ(TAL_SendEvent(ev), TAL_OK);
        return receive();
    }

    static SentEvent receive() {
        SentEvent got;
        TAL_EVENT ev = 0;
        EXPECT_EQ(TAL_WaitEvent(kGuardMs, &ev), TAL_OK);
        if (ev == 0) return got;
        got.id = TAL_Event_GetID(ev);
        got.handle = TAL_Event_GetHandle(ev);
        got.handleFields = tal::decodeHandle(got.handle);
        got.act = TAL_Event_GetACT(ev);
        got.params = walkEvent(ev);
        TAL_Event_Destroy(ev);
        return got;
    }

    static TAL_HANDLE span(uint32_t board, uint32_t number) {
        return TAL_Handle_Create(TAL_HT_SPAN, board, number, 0, 0);
    }

    std::size_t events0 = 0;
};

TEST_F(TalHardware, HardwareInformationDescribesEveryModuleInAscendingNumber) {
    const SentEvent answer = ask(0x2000, 0);
    EXPECT_EQ(answer.id, 0x102000u);
    const Param* groups = answer.find(0x500002);
    ASSERT_NE(groups, nullptr);
    ASSERT_EQ(groups->type, uint32_t{TAL_TYPE_LIST});
    const auto boards = groups->findAll(0x50004e);
    ASSERT_EQ(boards.size(), 2u);

    const struct {
        int32_t logicalId;
        std::size_t spans;
        int32_t channels;
        int32_t spanType;
    } expected[] = {{1, 2, 30, 5}, {2, 4, 24, 3}};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const Param& group = *boards[i];
        ASSERT_NE(group.find(0x500000), nullptr);
        EXPECT_EQ(group.find(0x500000)->type, uint32_t{TAL_TYPE_BYTE});
        EXPECT_EQ(group.find(0x500000)->intValue, expected[i].logicalId);
        EXPECT_EQ(group.find(0x500004)->intValue, static_cast<int32_t>(expected[i].spans));
        const Param* spans = group.find(0x500005);
        ASSERT_NE(spans, nullptr);
        const auto entries = spans->findAll(0x50004e);
        ASSERT_EQ(entries.size(), expected[i].spans);
        for (const Param* s : entries) {
            EXPECT_EQ(s->find(0x50000a)->intValue, expected[i].channels);
            EXPECT_EQ(s->find(0x50000b)->intValue, expected[i].spanType);
        }
        for (uint32_t text : {0x500003u, 0x500007u, 0x500050u, 0x500052u}) {
            ASSERT_NE(group.find(text), nullptr) << std::hex << text;
            EXPECT_EQ(group.find(text)->type, uint32_t{TAL_TYPE_STRING});
        }
    }
}

TEST_F(TalHardware, HandlesCoverEveryLineResourceAndSpanOfTheBoard) {
    const hw::Description description = hw::builtinDefault();
    for (uint32_t board : {1u, 2u}) {
        SCOPED_TRACE(board);
        const hw::Module* module = description.findByLogicalId(board);
        ASSERT_NE(module, nullptr);
        const SentEvent answer = ask(0x2001, 0, {Param::byte(0x500000, uint8_t(board))});
        EXPECT_EQ(answer.id, 0x102001u);
        const Param* lines = answer.find(0x50000d);
        const Param* resources = answer.find(0x50000e);
        const Param* spans = answer.find(0x50000f);
        ASSERT_TRUE(lines && resources && spans);
        EXPECT_EQ(lines->ints.size(), module->lines());
        EXPECT_EQ(resources->ints.size(), module->voiceResources);
        EXPECT_EQ(spans->ints.size(), module->trunks.size());

        std::set<int32_t> distinct(lines->ints.begin(), lines->ints.end());
        EXPECT_EQ(distinct.size(), lines->ints.size()) << "every line has its own handle";
        const auto first = tal::decodeHandle(static_cast<TAL_HANDLE>(lines->ints.front()));
        EXPECT_EQ(first, (tal::HandleFields{TAL_HT_LINE, board, 1, 0, 1}));
        const auto resource = tal::decodeHandle(static_cast<TAL_HANDLE>(resources->ints.back()));
        EXPECT_EQ(resource.type, uint32_t{TAL_HT_RESOURCE});
        EXPECT_EQ(resource.resourceId, module->voiceResources);
        EXPECT_EQ(tal::decodeHandle(static_cast<TAL_HANDLE>(spans->ints.back())),
                  (tal::HandleFields{TAL_HT_SPAN, board, module->trunks.back().number, 0, 0}));
    }

    // A board that is not fitted, or a request without a board, gets no handles.
    EXPECT_TRUE(ask(0x2001, 0, {Param::byte(0x500000, 9)}).params.empty());
    EXPECT_TRUE(ask(0x2001, 0).params.empty());
}

TEST_F(TalHardware, SpanActivationIsAnsweredAndRemembered) {
    auto& model = HardwareBoard::instance();
    EXPECT_FALSE(model.spanActive(2, 3));
    const SentEvent answer = ask(0x3000, span(2, 3));
    EXPECT_EQ(answer.id, 0x103000u);
    EXPECT_EQ(answer.handle, span(2, 3));
    EXPECT_TRUE(model.spanActive(2, 3));
    EXPECT_FALSE(model.spanActive(2, 4));
}

TEST_F(TalHardware, AlarmsAreNotifiedAndReportedPerSpan) {
    auto& model = HardwareBoard::instance();
    ASSERT_TRUE(model.setAlarm(1, 2, 101, true));
    const SentEvent raised = receive();
    EXPECT_EQ(raised.id, 0x203000u);
    EXPECT_EQ(raised.handle, span(1, 2));
    ASSERT_NE(raised.find(0x500010), nullptr);
    EXPECT_EQ(raised.find(0x500010)->intValue, 101);
    EXPECT_EQ(raised.find(0x500011)->intValue, 1);

    ASSERT_TRUE(model.setAlarm(1, 2, 5, true));
    ASSERT_TRUE(model.setAlarm(1, 2, 5, false));
    EXPECT_EQ(receive().find(0x500011)->intValue, 1);
    EXPECT_EQ(receive().find(0x500011)->intValue, 0);
    EXPECT_EQ(model.raisedAlarms(1, 2), std::vector<int32_t>{101});

    const SentEvent info = ask(0x3001, span(1, 2));
    EXPECT_EQ(info.id, 0x103001u);
    ASSERT_NE(info.find(0x500012), nullptr);
    EXPECT_EQ(info.find(0x500012)->ints, (std::vector<int32_t>{5, 101}));
    EXPECT_EQ(info.find(0x500013)->bytes, (std::vector<uint8_t>{0, 1}));

    // Another span knows nothing of them; an unknown span cannot raise.
    EXPECT_TRUE(ask(0x3001, span(1, 1)).find(0x500012)->ints.empty());
    EXPECT_FALSE(model.setAlarm(1, 7, 1, true));
    EXPECT_FALSE(model.setAlarm(3, 1, 1, true));
}

TEST_F(TalHardware, AlarmConfigurationIsKeptAndReadBack) {
    const SentEvent set = ask(0x3005, span(2, 1),
                              {Param::intArray(0x500012, {300, 1, 403}),
                               Param::byteArray(0x500056, {1, 0})});  // one flag short
    EXPECT_EQ(set.id, 0x103005u);
    const SentEvent got = ask(0x3003, span(2, 1));
    EXPECT_EQ(got.id, 0x103003u);
    EXPECT_EQ(got.find(0x500012)->ints, (std::vector<int32_t>{1, 300, 403}));
    EXPECT_EQ(got.find(0x500056)->bytes, (std::vector<uint8_t>{0, 1, 0}))
        << "a missing flag counts as not configured";
}

TEST_F(TalHardware, SpanParametersComeAsKeyValuePairs) {
    ask(0x3000, span(1, 1));
    const SentEvent answer = ask(0x3004, span(1, 1));
    EXPECT_EQ(answer.id, 0x103004u);
    const auto params = answer.findAll(0x500014);
    ASSERT_EQ(params.size(), 4u);
    for (const Param* p : params) {
        EXPECT_EQ(p->type, uint32_t{TAL_TYPE_INT_ARRAY});
        ASSERT_EQ(p->ints.size(), 2u);
    }
    EXPECT_EQ(params[0]->ints, (std::vector<int32_t>{tal::kSpanParamChannels, 30}));
    EXPECT_EQ(params[3]->ints, (std::vector<int32_t>{tal::kSpanParamActive, 1}));
    EXPECT_TRUE(ask(0x3004, span(1, 9)).params.empty());
}

TEST_F(TalHardware, TdmRequestsKeepTheRoutingTable) {
    auto& model = HardwareBoard::instance();
    const TAL_HANDLE a = TAL_Handle_Create(TAL_HT_LINE, 1, 1, 0, 1);
    const TAL_HANDLE b = TAL_Handle_Create(TAL_HT_RESOURCE, 1, 0, tal::kVoiceResourceMask, 1);
    const TAL_HANDLE c = TAL_Handle_Create(TAL_HT_LINE, 2, 1, 0, 4);
    auto peer = [](TAL_HANDLE h) { return Param::integer(0x500015, static_cast<int32_t>(h)); };

    const struct {
        uint32_t request;
        TAL_HANDLE first;
        std::optional<TAL_HANDLE> second;
        uint32_t completion;
        std::size_t connections;
    } steps[] = {
        {0x4004, a, b, 0x104003, 1},  // route, answered under the id its catalogue expects
        {0x4000, c, b, 0x104000, 2},  // attach
        {0x4002, b, a, 0x104002, 3},  // listen
        {0x4003, b, std::nullopt, 0x104004, 2},  // unlisten: handle only
        {0x4005, a, c, 0x104005, 2},             // unroute of a route that does not exist
        {0x4005, a, b, 0x104005, 1},             // unroute
        {0x4001, c, b, 0x104001, 0},             // detach
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::to_string(step.request));
        std::vector<Param> params;
        if (step.second) params.push_back(peer(*step.second));
        const SentEvent answer = ask(step.request, step.first, params);
        EXPECT_EQ(answer.id, step.completion);
        EXPECT_EQ(answer.handle, step.first);
        EXPECT_EQ(model.connections().size(), step.connections);
    }
}

TEST(TalHardwareDescription, ABrokenDescriptionFileStopsTheLibraryFromStarting) {
    // loadCurrent() reads the environment once per process: run in a freshly started child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("TARNWICK_HARDWARE", "/nonexistent/tarnwick-hardware.json", 1);
            std::_Exit(TAL_Init() == TAL_OK ? 0 : 3);
        },
        ::testing::ExitedWithCode(3), "tarnwick-hardware.json");
}

}  // namespace
