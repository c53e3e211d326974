// One thread creates and sends while another waits and destroys, as the HAL's two threads do.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "tal/BoardSide.h"
#include "tal/VirtualBoard.h"
#include "tal/tal.h"

namespace {

constexpr uint32_t kEvents = 100000;
constexpr uint32_t kGuardMs = 60000;  // hang guard only

class TalThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        board().reset();
        events0 = board().liveEvents();
        lists0 = board().liveLists();
    }
    void TearDown() override {
        TAL_Fini();
        board().detach();
        board().reset();
        EXPECT_EQ(board().liveEvents(), events0) << "events leaked";
        EXPECT_EQ(board().liveLists(), lists0) << "lists leaked";
    }
    static tal::BoardSide& board() { return tal::BoardSide::instance(); }

    // Builds event n: its ACT and handle carry n, and three parameters (one a list) derived from n.
    static TAL_EVENT build(uint32_t id, uint32_t n, TAL_LIST list) {
        TAL_EVENT ev = TAL_Event_Create(id);
        if (ev == 0) return 0;
        TAL_Event_SetACT(ev, reinterpret_cast<void*>(uintptr_t{n} + 1));
        TAL_Event_SetHandle(ev, TAL_Handle_Create(TAL_HT_LINE, n % 100, 0, 0, n % 4000));
        const int32_t ints[2] = {static_cast<int32_t>(n), -static_cast<int32_t>(n)};
        TAL_Event_SetParameters(ev, 0x500001, TAL_TYPE_INT, 0, static_cast<int>(n),  //
                                0x500002, TAL_TYPE_INT_ARRAY, 2, ints,               //
                                0x500003, TAL_TYPE_LIST, 0, list, 0);
        return ev;
    }

    // Checks the parameters of event n as build() made them.
    static bool paramsMatch(TAL_EVENT ev, uint32_t n) {
        uint32_t cursor = 0, id, type, count;
        const void* v = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count);
        if (v == nullptr || id != 0x500001 || TAL_Value_PVOID_To_INT(v) != static_cast<int32_t>(n))
            return false;
        v = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count);
        if (v == nullptr || count != 2 || TAL_Value_PVOID_To_PINT(v)[1] != -static_cast<int32_t>(n))
            return false;
        v = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count);
        if (v == nullptr || type != TAL_TYPE_LIST || count != 1) return false;
        uint32_t inner = 0;
        const void* e = TAL_List_GetNextParameter(v, &inner, &id, &type, &count);
        if (e == nullptr || TAL_Value_PVOID_To_INT(e) != 42) return false;
        return TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count) == nullptr;
    }

    std::size_t events0 = 0;
    std::size_t lists0 = 0;
};

// The board face delivers what one thread builds; the other receives every event once, in order.
TEST_F(TalThreads, DirectDeliveryLosesNothingBetweenTwoThreads) {
    TAL_LIST list = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(list, 0x50004e, TAL_TYPE_INT, 0, 42, 0), TAL_OK);
    std::atomic<uint32_t> refused{0};
    std::thread producer([&] {
        for (uint32_t n = 0; n < kEvents; ++n) {
            const TAL_EVENT ev = build(0x203001, n, list);
            if (ev == 0 || !board().deliverRaw(ev)) refused.fetch_add(1);
        }
    });

    uint32_t received = 0, wrong = 0;
    while (received < kEvents) {
        TAL_EVENT ev = 0;
        const int result = TAL_WaitEvent(kGuardMs, &ev);
        ASSERT_EQ(result, TAL_OK) << "after " << received << " events";
        if (TAL_Event_GetACT(ev) != reinterpret_cast<void*>(uintptr_t{received} + 1) ||
            TAL_Handle_GetResourceID(TAL_Event_GetHandle(ev)) != received % 4000 ||
            !paramsMatch(ev, received)) {
            ++wrong;
        }
        ASSERT_EQ(TAL_Event_Destroy(ev), TAL_OK);
        ++received;
    }
    producer.join();
    TAL_List_Destroy(list);
    EXPECT_EQ(refused.load(), 0u);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(board().pendingDelivered(), 0u);
}

// The whole way: requests sent on one thread, answered by the virtual board on its own, received
// and destroyed on a third.
TEST_F(TalThreads, RequestsThroughTheVirtualBoardAllComeBackInOrder) {
    ASSERT_EQ(TAL_Init(), TAL_OK);
    TAL_LIST list = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(list, 0x50004e, TAL_TYPE_INT, 0, 42, 0), TAL_OK);
    std::atomic<uint32_t> failedSends{0};
    std::thread sender([&] {
        for (uint32_t n = 0; n < kEvents; ++n) {
            const TAL_EVENT ev = build(0x6002, n, list);
            if (ev == 0 || TAL_SendEvent(ev) != TAL_OK) failedSends.fetch_add(1);
        }
    });

    uint32_t received = 0, wrong = 0;
    while (received < kEvents) {
        TAL_EVENT ev = 0;
        ASSERT_EQ(TAL_WaitEvent(kGuardMs, &ev), TAL_OK) << "after " << received << " events";
        if (TAL_Event_GetID(ev) != 0x106002u ||
            TAL_Event_GetACT(ev) != reinterpret_cast<void*>(uintptr_t{received} + 1) ||
            TAL_Handle_GetResourceID(TAL_Event_GetHandle(ev)) != received % 4000) {
            ++wrong;
        }
        ASSERT_EQ(TAL_Event_Destroy(ev), TAL_OK);
        ++received;
    }
    sender.join();
    TAL_List_Destroy(list);
    EXPECT_EQ(failedSends.load(), 0u);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(board().pendingSent(), 0u);
}

}  // namespace
