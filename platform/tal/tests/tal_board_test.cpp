// The board boundary: the board face, delivery and its stop, TAL_Init/TAL_Fini, the virtual board.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "WalkParams.h"
#include "tal/BoardSide.h"
#include "tal/VirtualBoard.h"
#include "tal/tal.h"

using namespace std::chrono_literals;
using tal::BoardSide;
using tal::EventSpec;
using tal::Param;
using tal::SentEvent;
using tal::VirtualBoard;
using taltest::walkEvent;

namespace {

// Hang guard only: every wait below ends long before it when the code works.
constexpr uint32_t kGuardMs = 20000;

class TalBoard : public ::testing::Test {
  protected:
    void SetUp() override {
        board().reset();
        events0 = board().liveEvents();
        lists0 = board().liveLists();
    }
    void TearDown() override {
        TAL_Fini();
        board().setMonitor(nullptr);
        board().detach();
        board().reset();
        VirtualBoard::instance().clearHandlers();
        EXPECT_FALSE(VirtualBoard::instance().running());
        EXPECT_EQ(board().liveEvents(), events0) << "events leaked";
        EXPECT_EQ(board().liveLists(), lists0) << "lists leaked";
    }
    static BoardSide& board() { return BoardSide::instance(); }

    // Waits for the next delivered event, reads it back and destroys it.
    static SentEvent receive() {
        SentEvent got;
        TAL_EVENT ev = 0;
        const int result = TAL_WaitEvent(kGuardMs, &ev);
        EXPECT_EQ(result, TAL_OK);
        if (result != TAL_OK) return got;
        got.id = TAL_Event_GetID(ev);
        got.handle = TAL_Event_GetHandle(ev);
        got.handleFields = tal::decodeHandle(got.handle);
        got.act = TAL_Event_GetACT(ev);
        got.params = walkEvent(ev);
        EXPECT_EQ(TAL_Event_Destroy(ev), TAL_OK);
        return got;
    }

    static TAL_EVENT makeRequest(uint32_t id, void* act, TAL_HANDLE handle) {
        TAL_EVENT ev = TAL_Event_Create(id);
        EXPECT_NE(ev, 0u);
        TAL_Event_SetACT(ev, act);
        TAL_Event_SetHandle(ev, handle);
        return ev;
    }

    std::size_t events0 = 0;
    std::size_t lists0 = 0;
};

// A parameter set with every value type, a list inside a list included.
std::vector<Param> everyType() {
    return {
        Param::none(0x500030, -3),
        Param::byte(0x500000, 0x80),
        Param::integer(0x500006, 120),
        Param::string(0x500003, "Tarnwick Q4"),
        Param::byteArray(0x500040, {0, 1, 0xfe}),
        Param::intArray(0x500041, {-5, 0, 70000}),
        Param::listOf(0x500002, {Param::listOf(0x50004e, {Param::byte(0x500000, 1),
                                                          Param::listOf(0x500005, {}),
                                                          Param::string(0x500007, "")})}),
    };
}

// ------------------------------------------------------------------------------------------------
// Taking what the host sent

TEST_F(TalBoard, TakeGivesBackEverythingTheHostSent) {
    board().attach();
    int request = 0;
    const TAL_HANDLE handle = TAL_Handle_Create(TAL_HT_LINE, 1, 3, 0, 7);
    TAL_EVENT ev = makeRequest(0x500b, &request, handle);
    TAL_LIST group = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(group, 0x500000, TAL_TYPE_BYTE, 0, 1, 0), TAL_OK);
    const uint8_t bytes[] = {9, 8};
    ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500010, TAL_TYPE_STRING, 0, "5551234",  //
                                      0x500011, TAL_TYPE_INT, 0, -1,                //
                                      0x500012, TAL_TYPE_BYTE_ARRAY, 2, bytes,      //
                                      0x500013, TAL_TYPE_LIST, 0, group, 0),
              TAL_OK);
    TAL_List_Destroy(group);
    ASSERT_EQ(TAL_SendEvent(ev), TAL_OK);
    EXPECT_EQ(board().pendingSent(), 1u);

    const auto sent = board().take(std::chrono::milliseconds(kGuardMs));
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->id, 0x500bu);
    EXPECT_EQ(sent->act, &request);
    EXPECT_EQ(sent->handle, handle);
    EXPECT_EQ(sent->handleFields, (tal::HandleFields{TAL_HT_LINE, 1, 3, 0, 7}));
    EXPECT_EQ(sent->params,
              (std::vector<Param>{Param::string(0x500010, "5551234"), Param::integer(0x500011, -1),
                                  Param::byteArray(0x500012, {9, 8}),
                                  Param::listOf(0x500013, {Param::byte(0x500000, 1)})}));
    ASSERT_NE(sent->find(0x500013), nullptr);
    ASSERT_NE(sent->find(0x500013)->find(0x500000), nullptr);
    EXPECT_EQ(sent->find(0x500013)->find(0x500000)->intValue, 1);
    EXPECT_EQ(sent->find(0x123), nullptr);
    EXPECT_EQ(board().pendingSent(), 0u);
    EXPECT_EQ(board().liveEvents(), events0) << "a taken event is freed";
}

TEST_F(TalBoard, TakeIsEmptyWhenNothingWasSent) {
    board().attach();
    EXPECT_FALSE(board().take(10ms));
}

// ------------------------------------------------------------------------------------------------
// Delivering

TEST_F(TalBoard, DeliveredEventsReachWaitEventInOrderWithEveryPart) {
    int a = 0, b = 0;
    const TAL_HANDLE handle = TAL_Handle_Create(TAL_HT_RESOURCE, 0x3f0001, 2, TAL_RES_PLAYER, 5);
    ASSERT_TRUE(board().deliver({0x106002, handle, &a, everyType()}));
    ASSERT_TRUE(board().deliver({0x203001, 0, nullptr, {}}));
    ASSERT_TRUE(board().deliver({0x106005, 0, &b, {Param::integer(1, 2)}}));
    EXPECT_EQ(board().pendingDelivered(), 3u);

    const SentEvent first = receive();
    EXPECT_EQ(first.id, 0x106002u);
    EXPECT_EQ(first.act, &a);
    EXPECT_EQ(first.handle, handle);
    EXPECT_EQ(first.params, everyType());
    EXPECT_EQ(receive().id, 0x203001u);
    const SentEvent third = receive();
    EXPECT_EQ(third.act, &b);
    EXPECT_EQ(third.params, (std::vector<Param>{Param::integer(1, 2)}));

    TAL_EVENT ev = 0;
    EXPECT_EQ(TAL_WaitEvent(0, &ev), TAL_ERR_TIMEOUT);
    EXPECT_EQ(ev, 0u);
}

TEST_F(TalBoard, DeliverRefusesSpecsItCannotRepresentAndQueuesNothing) {
    Param badType;
    badType.id = 1;
    badType.type = 2;
    const struct {
        const char* name;
        std::vector<Param> params;
    } cases[] = {
        {"unknown type", {Param::integer(1, 1), badType}},
        {"unknown type inside a nested list",
         {Param::listOf(2, {Param::listOf(3, {Param::byte(4, 1), badType})})}},
        {"string with a NUL inside", {Param::string(5, std::string("a\0b", 3))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(board().deliver({0x102000, 0, nullptr, c.params}));
        EXPECT_EQ(board().pendingDelivered(), 0u);
        EXPECT_EQ(board().liveEvents(), events0);
        EXPECT_EQ(board().liveLists(), lists0);
    }
}

TEST_F(TalBoard, DeliverRawQueuesAnEventBuiltWithTheCApi) {
    int act = 0;
    TAL_EVENT ev = makeRequest(0x208001, &act, 0);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500020, TAL_TYPE_STRING, 0, "1234#", 0), TAL_OK);
    ASSERT_TRUE(board().deliverRaw(ev));
    EXPECT_FALSE(board().deliverRaw(ev)) << "it belongs to the library now";

    TAL_EVENT got = 0;
    ASSERT_EQ(TAL_WaitEvent(kGuardMs, &got), TAL_OK);
    EXPECT_EQ(got, ev);
    EXPECT_EQ(TAL_Event_GetACT(got), &act);
    EXPECT_EQ(walkEvent(got), (std::vector<Param>{Param::string(0x500020, "1234#")}));
    EXPECT_EQ(TAL_Event_Destroy(got), TAL_OK);

    board().stopDelivery();
    EXPECT_FALSE(board().deliverRaw(TAL_Event_Create(1)));
    EXPECT_EQ(board().liveEvents(), events0) << "an event refused after the stop is freed";
}

// ------------------------------------------------------------------------------------------------
// Stopping

TEST_F(TalBoard, AfterStopDeliveryQueuedEventsStillComeThenWaitAnswersStopped) {
    ASSERT_TRUE(board().deliver({0x102004, 0, nullptr, {}}));
    board().stopDelivery();
    EXPECT_TRUE(board().deliveryStopped());
    EXPECT_FALSE(board().deliver({0x102005, 0, nullptr, {}}));

    EXPECT_EQ(receive().id, 0x102004u);
    TAL_EVENT ev = 7;
    EXPECT_EQ(TAL_WaitEvent(kGuardMs, &ev), TAL_ERR_STOPPED);
    EXPECT_EQ(ev, 0u);
    EXPECT_EQ(TAL_WaitEvent(0, &ev), TAL_ERR_STOPPED);

    board().resumeDelivery();
    ASSERT_TRUE(board().deliver({0x102006, 0, nullptr, {}}));
    EXPECT_EQ(receive().id, 0x102006u);
}

TEST_F(TalBoard, StopDeliveryWakesABlockedWaiter) {
    int result = -1;
    std::thread waiter([&] {
        TAL_EVENT ev = 0;
        result = TAL_WaitEvent(0xffffffffu, &ev);  // no limit: only the stop can end it
    });
    std::this_thread::sleep_for(20ms);  // most likely blocked by now; the result holds either way
    board().stopDelivery();
    waiter.join();
    EXPECT_EQ(result, TAL_ERR_STOPPED);
}

TEST_F(TalBoard, FiniWakesABlockedWaitWithStoppedAndFreesWhatTheLibraryHolds) {
    ASSERT_EQ(TAL_Init(), TAL_OK);
    board().attach();  // so that the sent request stays with the library
    ASSERT_EQ(TAL_SendEvent(TAL_Event_Create(0x2004)), TAL_OK);

    int result = -1;
    std::thread waiter([&] {
        TAL_EVENT ev = 0;
        result = TAL_WaitEvent(kGuardMs, &ev);
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(TAL_Fini(), TAL_OK);
    waiter.join();
    EXPECT_EQ(result, TAL_ERR_STOPPED);
    EXPECT_FALSE(VirtualBoard::instance().running());
    EXPECT_EQ(board().pendingSent(), 0u);
    EXPECT_EQ(board().liveEvents(), events0);

    // Stopped until the next TAL_Init.
    TAL_EVENT ev = 0;
    EXPECT_EQ(TAL_WaitEvent(0, &ev), TAL_ERR_STOPPED);
    const std::size_t live = board().liveEvents();
    EXPECT_EQ(TAL_SendEvent(TAL_Event_Create(0x2003)), TAL_ERR_STOPPED);
    EXPECT_EQ(board().liveEvents(), live) << "the refused event is freed";
    EXPECT_FALSE(board().deliver({0x102003, 0, nullptr, {}}));

    ASSERT_EQ(TAL_Init(), TAL_OK);
    EXPECT_EQ(TAL_WaitEvent(0, &ev), TAL_ERR_TIMEOUT);
    EXPECT_TRUE(board().deliver({0x102003, 0, nullptr, {}}));
    EXPECT_EQ(receive().id, 0x102003u);
}

TEST_F(TalBoard, ResetDropsQueuedEventsBothWaysAndReopensDelivery) {
    board().attach();
    ASSERT_EQ(TAL_SendEvent(TAL_Event_Create(1)), TAL_OK);
    ASSERT_EQ(TAL_SendEvent(TAL_Event_Create(2)), TAL_OK);
    ASSERT_TRUE(board().deliver({3, 0, nullptr, everyType()}));
    board().stopDelivery();
    board().reset();
    EXPECT_EQ(board().pendingSent(), 0u);
    EXPECT_EQ(board().pendingDelivered(), 0u);
    EXPECT_EQ(board().liveEvents(), events0);
    EXPECT_EQ(board().liveLists(), lists0);
    EXPECT_FALSE(board().deliveryStopped());
    EXPECT_TRUE(board().attached()) << "reset leaves the attachment";
}

// ------------------------------------------------------------------------------------------------
// The virtual board

TEST_F(TalBoard, TheVirtualBoardAnswersEveryRequestWithItsCompletion) {
    ASSERT_EQ(TAL_Init(), TAL_OK);
    EXPECT_TRUE(VirtualBoard::instance().running());
    const struct {
        uint32_t request;
        uint32_t completion;
    } cases[] = {{0x2003, 0x102003}, {0x2004, 0x102004}, {0x500b, 0x10500b},
                 {0x5011, 0x105010}, {0x6002, 0x106002}, {0x9001, 0x109001}};
    int acts[std::size(cases)] = {};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TAL_HANDLE h = TAL_Handle_Create(TAL_HT_LINE, 1, 1, 0, static_cast<uint32_t>(i));
        TAL_EVENT ev = makeRequest(cases[i].request, &acts[i], h);
        ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500010, TAL_TYPE_INT, 0, 1, 0), TAL_OK);
        ASSERT_EQ(TAL_SendEvent(ev), TAL_OK);
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].request);
        EXPECT_EQ(VirtualBoard::completionId(cases[i].request), cases[i].completion);
        const SentEvent got = receive();
        EXPECT_EQ(got.id, cases[i].completion);
        EXPECT_EQ(got.act, &acts[i]);
        EXPECT_EQ(got.handleFields.resourceId, i);
        EXPECT_TRUE(got.params.empty());
    }
}

TEST_F(TalBoard, AHandlerReplacesTheDefaultAnswerForItsRequestId) {
    auto& virtualBoard = VirtualBoard::instance();
    // TAL_Init installs the hardware model's handlers; the test's own replace them afterwards.
    ASSERT_EQ(TAL_Init(), TAL_OK);
    virtualBoard.setHandler(0x2000, [](const SentEvent& request, BoardSide& side) {
        side.deliver({0x102000, request.handle, request.act, everyType()});
        side.deliver({0x203001, request.handle, nullptr, {}});
    });
    virtualBoard.setHandler(
        0x3001, [](const SentEvent&, BoardSide&) { throw std::runtime_error("a broken handler"); });

    int act = 0;
    ASSERT_EQ(TAL_SendEvent(makeRequest(0x3001, &act, 0)), TAL_OK);
    ASSERT_EQ(TAL_SendEvent(makeRequest(0x2000, &act, 0)), TAL_OK);
    const SentEvent completion = receive();
    EXPECT_EQ(completion.id, 0x102000u) << "the board goes on after a throwing handler";
    EXPECT_EQ(completion.act, &act);
    EXPECT_EQ(completion.params, everyType());
    EXPECT_EQ(receive().id, 0x203001u);

    virtualBoard.setHandler(0x2000, nullptr);
    ASSERT_EQ(TAL_SendEvent(makeRequest(0x2000, &act, 0)), TAL_OK);
    const SentEvent plain = receive();
    EXPECT_EQ(plain.id, 0x102000u);
    EXPECT_TRUE(plain.params.empty());
}

TEST_F(TalBoard, AHandlerMayStopTheBoardItRunsOnAndTheBoardStartsAgainAlone) {
    auto& virtualBoard = VirtualBoard::instance();
    virtualBoard.setHandler(0x2004, [](const SentEvent&, BoardSide&) { TAL_Fini(); });
    ASSERT_EQ(TAL_Init(), TAL_OK);
    ASSERT_EQ(TAL_SendEvent(TAL_Event_Create(0x2004)), TAL_OK);
    TAL_EVENT ev = 0;
    EXPECT_EQ(TAL_WaitEvent(kGuardMs, &ev), TAL_ERR_STOPPED);
    EXPECT_FALSE(virtualBoard.running());

    virtualBoard.setHandler(0x2004, nullptr);
    ASSERT_EQ(TAL_Init(), TAL_OK);
    for (uint32_t i = 0; i < 20; ++i) {
        ASSERT_EQ(TAL_SendEvent(TAL_Event_Create(0x2003)), TAL_OK);
        EXPECT_EQ(receive().id, 0x102003u);
    }
    // One board answers: nothing beyond one completion per request.
    EXPECT_EQ(TAL_WaitEvent(50, &ev), TAL_ERR_TIMEOUT);
}

TEST_F(TalBoard, AnAttachedTestIsTheBoardUntilItDetaches) {
    ASSERT_EQ(TAL_Init(), TAL_OK);
    board().attach();
    int first = 0, second = 0;
    ASSERT_EQ(TAL_SendEvent(makeRequest(0x5002, &first, 0)), TAL_OK);
    const auto taken = board().take(std::chrono::milliseconds(kGuardMs));
    ASSERT_TRUE(taken) << "the virtual board must leave requests alone while a test is attached";
    EXPECT_EQ(taken->act, &first);

    ASSERT_EQ(TAL_SendEvent(makeRequest(0x5003, &second, 0)), TAL_OK);
    EXPECT_EQ(board().pendingDelivered(), 0u);
    board().detach();  // the virtual board answers what is still waiting
    const SentEvent got = receive();
    EXPECT_EQ(got.id, 0x105003u);
    EXPECT_EQ(got.act, &second);
}

// ------------------------------------------------------------------------------------------------
// Monitor and describe

TEST_F(TalBoard, TheMonitorSeesEveryEventCrossingBothWays) {
    std::mutex mu;
    std::vector<std::pair<tal::Direction, SentEvent>> seen;
    board().setMonitor([&](tal::Direction direction, const SentEvent& event) {
        std::lock_guard lock(mu);
        seen.emplace_back(direction, event);
    });
    ASSERT_EQ(TAL_Init(), TAL_OK);
    int act = 0;
    TAL_EVENT ev = makeRequest(0x2001, &act, 0);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500000, TAL_TYPE_BYTE, 0, 2, 0), TAL_OK);
    ASSERT_EQ(TAL_SendEvent(ev), TAL_OK);
    EXPECT_EQ(receive().id, 0x102001u);
    {
        std::lock_guard lock(mu);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].first, tal::Direction::ToBoard);
        EXPECT_EQ(seen[0].second.id, 0x2001u);
        EXPECT_EQ(seen[0].second.params, (std::vector<Param>{Param::byte(0x500000, 2)}));
        EXPECT_EQ(seen[1].first, tal::Direction::ToHost);
        EXPECT_EQ(seen[1].second.id, 0x102001u);
        EXPECT_EQ(seen[1].second.act, &act);
    }

    board().setMonitor(nullptr);
    ASSERT_EQ(TAL_SendEvent(makeRequest(0x2001, &act, 0)), TAL_OK);
    EXPECT_EQ(receive().id, 0x102001u);
    std::lock_guard lock(mu);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(TalDescribe, OneLineWithEveryPartAndNestedListsInBraces) {
    SentEvent event;
    event.id = 0x102000;
    event.handleFields = {TAL_HT_RESOURCE, 1, 2, 0x11, 3};
    event.act = reinterpret_cast<void*>(uintptr_t{0x1234});
    event.params = {
        Param::none(1, -3),
        Param::byte(2, 255),
        Param::integer(3, 70000),
        Param::string(4, "a \"q\"\n"),
        Param::byteArray(5, {0, 0xab}),
        Param::intArray(6, {-1, 2}),
        Param::listOf(0x500002, {Param::listOf(0x50004e, {Param::byte(0x500000, 1)}),
                                 Param::listOf(0x50004e, {})}),
    };
    EXPECT_EQ(tal::describe(event),
              "0x00102000 handle{type=3 board=1 span=2 mask=0x11 res=3} act=0x1234 params: "
              "0x1=none -3, 0x2=byte 255, 0x3=int 70000, 0x4=\"a \\\"q\\\"\\x0a\", "
              "0x5=bytes[2] 00 ab, 0x6=ints[2] -1 2, "
              "0x500002=list{0x50004e=list{0x500000=byte 1}, 0x50004e=list{}}");

    SentEvent empty;
    EXPECT_EQ(tal::describe(empty),
              "0x00000000 handle{type=0 board=0 span=0 mask=0x00 res=0} act=0x0 params: none");

    const std::string longArray = tal::describe(Param::intArray(7, std::vector<int32_t>(100, 1)));
    EXPECT_NE(longArray.find("ints[100]"), std::string::npos);
    EXPECT_EQ(longArray.substr(longArray.size() - 4), " ...");
}

}  // namespace
