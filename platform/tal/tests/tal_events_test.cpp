// Events, parameters, lists and handles through the C API, on one thread (no board running).
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "WalkParams.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

using tal::Param;
using taltest::walkEvent;
using taltest::walkList;

namespace {

class TalEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        board().reset();
        events0 = board().liveEvents();
        lists0 = board().liveLists();
    }
    void TearDown() override {
        board().reset();
        EXPECT_EQ(board().liveEvents(), events0) << "events leaked";
        EXPECT_EQ(board().liveLists(), lists0) << "lists leaked";
    }
    static tal::BoardSide& board() { return tal::BoardSide::instance(); }

    std::size_t events0 = 0;
    std::size_t lists0 = 0;
};

// ------------------------------------------------------------------------------------------------
// Value types

struct ScalarCase {
    const char* name;
    uint32_t type;
    uint32_t count;
    int value;
    int32_t expected;
};

TEST_F(TalEvents, ScalarTypesRoundTripThroughTheRunsAndTheSingleSetter) {
    const ScalarCase cases[] = {
        {"none", TAL_TYPE_NONE, 0, 5, 5},
        {"none negative", TAL_TYPE_NONE, 0, -7, -7},
        {"byte", TAL_TYPE_BYTE, 0, 0xab, 0xab},
        {"byte keeps the low 8 bits", TAL_TYPE_BYTE, 0, 0x1ff, 0xff},
        {"byte from a negative int", TAL_TYPE_BYTE, 0, -1, 0xff},
        {"int min", TAL_TYPE_INT, 0, INT_MIN, INT_MIN},
        {"int max", TAL_TYPE_INT, 0, INT_MAX, INT_MAX},
        {"int with the sender's count", TAL_TYPE_INT, 4, 1234, 1234},
    };
    for (const ScalarCase& c : cases) {
        SCOPED_TRACE(c.name);
        Param expected;
        expected.id = 0x500010;
        expected.type = c.type;
        expected.count = c.count;
        expected.intValue = c.expected;

        TAL_EVENT ev = TAL_Event_Create(0x2000);
        ASSERT_NE(ev, 0u);
        ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500010, c.type, c.count, c.value, 0), TAL_OK);
        uint32_t cursor = 0;
        ASSERT_EQ(TAL_Event_SetParameter(ev, &cursor, 0x500010, c.type, c.count, c.value), TAL_OK);
        EXPECT_EQ(cursor, 1u);
        EXPECT_EQ(walkEvent(ev), (std::vector<Param>{expected, expected}));
        EXPECT_EQ(TAL_Event_Destroy(ev), TAL_OK);
    }
}

TEST_F(TalEvents, ArraysAndStringsRoundTrip) {
    const std::vector<uint8_t> bytes = {0x00, 0x7f, 0x80, 0xff};
    const std::vector<int32_t> ints = {INT_MIN, -1, 0, 1, INT_MAX};
    const char text[] = "Board \xc3\xa9 \"A\"";

    TAL_EVENT ev = TAL_Event_Create(0x500b);
    ASSERT_EQ(TAL_Event_SetParameters(ev,                                              //
                                      0x500001, TAL_TYPE_BYTE_ARRAY, 4, bytes.data(),  //
                                      0x500002, TAL_TYPE_INT_ARRAY, 5, ints.data(),    //
                                      0x500003, TAL_TYPE_STRING, 0, text,              //
                                      0x500004, TAL_TYPE_STRING, 99, "",               //
                                      0x500005, TAL_TYPE_BYTE_ARRAY, 0, nullptr,       //
                                      0x500006, TAL_TYPE_INT_ARRAY, 0, nullptr, 0),
              TAL_OK);
    EXPECT_EQ(walkEvent(ev), (std::vector<Param>{
                                 Param::byteArray(0x500001, bytes),
                                 Param::intArray(0x500002, ints),
                                 Param::string(0x500003, text),
                                 Param::string(0x500004, ""),
                                 Param::byteArray(0x500005, {}),
                                 Param::intArray(0x500006, {}),
                             }));
    TAL_Event_Destroy(ev);
}

TEST_F(TalEvents, EmptyValuesStillGiveAValuePointerSoTheWalkDoesNotEndEarly) {
    TAL_EVENT ev = TAL_Event_Create(1);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500001, TAL_TYPE_BYTE_ARRAY, 0, nullptr,  //
                                      0x500002, TAL_TYPE_INT, 0, 9, 0),
              TAL_OK);
    uint32_t cursor = 0, id = 0, type = 0, count = 99;
    EXPECT_NE(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr);
    EXPECT_EQ(id, 0x500002u);
    TAL_Event_Destroy(ev);
}

TEST_F(TalEvents, ValuesAreCopiedSoTheSenderKeepsNoReference) {
    std::array<uint8_t, 3> bytes = {1, 2, 3};
    std::array<int32_t, 2> ints = {10, 20};
    char text[] = "abc";
    TAL_LIST list = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(list, 0x50000a, TAL_TYPE_INT, 0, 24, 0), TAL_OK);

    TAL_EVENT ev = TAL_Event_Create(1);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_BYTE_ARRAY, 3, bytes.data(),  //
                                      2, TAL_TYPE_INT_ARRAY, 2, ints.data(),        //
                                      3, TAL_TYPE_STRING, 0, text,                  //
                                      4, TAL_TYPE_LIST, 0, list, 0),
              TAL_OK);
    bytes.fill(0);
    ints.fill(0);
    std::strcpy(text, "xyz");
    ASSERT_EQ(TAL_List_SetParameters(list, 0x50000b, TAL_TYPE_BYTE, 0, 3, 0), TAL_OK);
    ASSERT_EQ(TAL_List_Destroy(list), TAL_OK);

    EXPECT_EQ(walkEvent(ev), (std::vector<Param>{
                                 Param::byteArray(1, {1, 2, 3}),
                                 Param::intArray(2, {10, 20}),
                                 Param::string(3, "abc"),
                                 Param::listOf(4, {Param::integer(0x50000a, 24)}),
                             }));
    TAL_Event_Destroy(ev);
}

TEST_F(TalEvents, ValuePointersSurviveLaterAppends) {
    TAL_EVENT ev = TAL_Event_Create(1);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_STRING, 0, "first", 0), TAL_OK);
    uint32_t cursor = 0, id, type, count;
    const void* first = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count);
    ASSERT_NE(first, nullptr);
    const std::string big(2000, 'x');
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(TAL_Event_SetParameters(ev, 2, TAL_TYPE_STRING, 0, big.c_str(), 0), TAL_OK);
    }
    EXPECT_STREQ(TAL_Value_PVOID_To_STRING(first), "first");
    TAL_Event_Destroy(ev);
}

// ------------------------------------------------------------------------------------------------
// Lists

TEST_F(TalEvents, NestedListsRoundTripLikeAHardwareTree) {
    // event: 0x500001, 0x500002 = list of groups; group = attributes + list of spans.
    TAL_LIST span1 = TAL_List_Create();
    TAL_LIST span2 = TAL_List_Create();
    TAL_LIST spans = TAL_List_Create();
    TAL_LIST group = TAL_List_Create();
    TAL_LIST groups = TAL_List_Create();
    ASSERT_NE(span1, 0u);
    ASSERT_EQ(TAL_List_SetParameters(span1, 0x50000a, TAL_TYPE_INT, 0, 24,  //
                                     0x50000b, TAL_TYPE_BYTE, 0, 3, 0),
              TAL_OK);
    ASSERT_EQ(TAL_List_SetParameters(span2, 0x50000a, TAL_TYPE_INT, 0, 30,  //
                                     0x50000c, TAL_TYPE_BYTE, 0, 5, 0),
              TAL_OK);
    ASSERT_EQ(TAL_List_SetParameters(spans, 0x50004e, TAL_TYPE_LIST, 0, span1,  //
                                     0x50004e, TAL_TYPE_LIST, 0, span2, 0),
              TAL_OK);
    ASSERT_EQ(TAL_List_SetParameters(group, 0x500000, TAL_TYPE_BYTE, 0, 0x80,      //
                                     0x500003, TAL_TYPE_STRING, 0, "Tarnwick Q4",  //
                                     0x500005, TAL_TYPE_LIST, 0, spans,            //
                                     0x500006, TAL_TYPE_INT, 0, 120, 0),
              TAL_OK);
    ASSERT_EQ(TAL_List_SetParameters(groups, 0x50004e, TAL_TYPE_LIST, 0, group,  //
                                     0x50004e, TAL_TYPE_LIST, 0, group, 0),
              TAL_OK);

    TAL_EVENT ev = TAL_Event_Create(0x102000);
    uint32_t cursor = 0;
    ASSERT_EQ(TAL_Event_SetParameter(ev, &cursor, 0x500001, TAL_TYPE_INT, 0, 0), TAL_OK);
    ASSERT_EQ(TAL_Event_SetParameter(ev, &cursor, 0x500002, TAL_TYPE_LIST, 0, groups), TAL_OK);
    for (TAL_LIST l : {span1, span2, spans, group, groups}) ASSERT_EQ(TAL_List_Destroy(l), TAL_OK);

    const Param expectedGroup = Param::listOf(
        0x50004e,
        {Param::byte(0x500000, 0x80), Param::string(0x500003, "Tarnwick Q4"),
         Param::listOf(
             0x500005,
             {Param::listOf(0x50004e, {Param::integer(0x50000a, 24), Param::byte(0x50000b, 3)}),
              Param::listOf(0x50004e, {Param::integer(0x50000a, 30), Param::byte(0x50000c, 5)})}),
         Param::integer(0x500006, 120)});
    EXPECT_EQ(walkEvent(ev), (std::vector<Param>{
                                 Param::integer(0x500001, 0),
                                 Param::listOf(0x500002, {expectedGroup, expectedGroup}),
                             }));
    EXPECT_EQ(TAL_Event_Destroy(ev), TAL_OK);
}

TEST_F(TalEvents, ListsInsideAnEventAreReadOnlyAndGoWithTheEvent) {
    TAL_LIST list = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(list, 1, TAL_TYPE_INT, 0, 1, 0), TAL_OK);
    TAL_EVENT ev = TAL_Event_Create(1);
    ASSERT_EQ(TAL_Event_SetParameters(ev, 9, TAL_TYPE_LIST, 0, list, 0), TAL_OK);
    ASSERT_EQ(TAL_List_Destroy(list), TAL_OK);

    uint32_t cursor = 0, id, type, count;
    const void* value = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count);
    ASSERT_NE(value, nullptr);
    TAL_LIST inner;
    std::memcpy(&inner, value, sizeof inner);
    EXPECT_EQ(TAL_List_Destroy(inner), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_List_SetParameters(inner, 2, TAL_TYPE_INT, 0, 2, 0), TAL_ERR_INVALID);
    EXPECT_EQ(walkList(value), (std::vector<Param>{Param::integer(1, 1)}));

    EXPECT_EQ(TAL_Event_Destroy(ev), TAL_OK);
    // The copy went with its event: the old value pointer's list is unknown now.
    cursor = 0;
    EXPECT_EQ(TAL_List_GetNextParameter(&inner, &cursor, &id, &type, &count), nullptr);
}

TEST_F(TalEvents, AListAddedToItselfGetsItsFormerContentAndTheNestingIsBounded) {
    TAL_LIST list = TAL_List_Create();
    ASSERT_EQ(TAL_List_SetParameters(list, 1, TAL_TYPE_INT, 0, 7, 0), TAL_OK);
    ASSERT_EQ(TAL_List_SetParameters(list, 2, TAL_TYPE_LIST, 0, list, 0), TAL_OK);
    EXPECT_EQ(walkList(&list), (std::vector<Param>{
                                   Param::integer(1, 7),
                                   Param::listOf(2, {Param::integer(1, 7)}),
                               }));

    // Each self-add doubles the tree and nests it one level deeper: it must stop with an error,
    // not exhaust the machine.
    int result = TAL_OK;
    for (int i = 0; i < 200 && result == TAL_OK; ++i) {
        result = TAL_List_SetParameters(list, 2, TAL_TYPE_LIST, 0, list, 0);
    }
    EXPECT_EQ(result, TAL_ERR_NO_MEMORY);
    EXPECT_EQ(TAL_List_Destroy(list), TAL_OK);
}

// ------------------------------------------------------------------------------------------------
// The walk

TEST_F(TalEvents, AWalkEndsCleanlyAndKeepsReturningNullPastTheEnd) {
    TAL_EVENT ev = TAL_Event_Create(1);
    uint32_t cursor = 0, id = 1, type = 1, count = 1;
    EXPECT_EQ(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr)
        << "an event without parameters";
    EXPECT_EQ(cursor, 0u);

    ASSERT_EQ(TAL_Event_SetParameters(ev, 0x500001, TAL_TYPE_INT, 0, 1, 0), TAL_OK);
    ASSERT_NE(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr);
    for (int i = 0; i < 3; ++i) {
        id = type = count = 77;
        EXPECT_EQ(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr);
        EXPECT_EQ(cursor, 1u);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(type, 0u);
        EXPECT_EQ(count, 0u);
    }
    uint32_t farCursor = 0xffffffffu;
    EXPECT_EQ(TAL_Event_GetNextParameter(ev, &farCursor, &id, &type, &count), nullptr);

    // The same for a list.
    TAL_LIST list = TAL_List_Create();
    cursor = 0;
    EXPECT_EQ(TAL_List_GetNextParameter(&list, &cursor, &id, &type, &count), nullptr);
    ASSERT_EQ(TAL_List_SetParameters(list, 5, TAL_TYPE_BYTE, 0, 1, 0), TAL_OK);
    ASSERT_NE(TAL_List_GetNextParameter(&list, &cursor, &id, &type, &count), nullptr);
    EXPECT_EQ(TAL_List_GetNextParameter(&list, &cursor, &id, &type, &count), nullptr);
    EXPECT_EQ(TAL_List_GetNextParameter(&list, &cursor, &id, &type, &count), nullptr);
    TAL_List_Destroy(list);
    TAL_Event_Destroy(ev);
}

// ------------------------------------------------------------------------------------------------
// Bad input

TEST_F(TalEvents, UnknownEventValuesAreRefused) {
    TAL_EVENT destroyed = TAL_Event_Create(1);
    TAL_Event_Destroy(destroyed);
    TAL_LIST list = TAL_List_Create();

    const TAL_EVENT unknown[] = {0, 12345, 0xffffffffu, destroyed, list};
    for (const TAL_EVENT ev : unknown) {
        SCOPED_TRACE(ev);
        uint32_t cursor = 0, id, type, count;
        EXPECT_EQ(TAL_Event_Destroy(ev), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_SendEvent(ev), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_Event_GetID(ev), 0u);
        EXPECT_EQ(TAL_Event_SetACT(ev, &cursor), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_Event_GetACT(ev), nullptr);
        EXPECT_EQ(TAL_Event_SetHandle(ev, 5), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_Event_GetHandle(ev), 0u);
        EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT, 0, 1, 0), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_Event_SetParameter(ev, &cursor, 1, TAL_TYPE_INT, 0, 1), TAL_ERR_INVALID);
        EXPECT_EQ(cursor, 0u);
        EXPECT_EQ(TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count), nullptr);
        EXPECT_FALSE(board().deliverRaw(ev));
    }
    // And list values that are not lists.
    TAL_EVENT ev = TAL_Event_Create(1);
    for (const TAL_LIST bad : {TAL_LIST{0}, TAL_LIST{ev}, TAL_LIST{0x80000000u}}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(TAL_List_Destroy(bad), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_List_SetParameters(bad, 1, TAL_TYPE_INT, 0, 1, 0), TAL_ERR_INVALID);
        EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_LIST, 0, bad, 0), TAL_ERR_INVALID);
        uint32_t cursor = 0, id, type, count;
        EXPECT_EQ(TAL_List_GetNextParameter(&bad, &cursor, &id, &type, &count), nullptr);
    }
    EXPECT_EQ(TAL_List_Destroy(list), TAL_OK);
    EXPECT_EQ(TAL_List_Destroy(list), TAL_ERR_INVALID) << "destroyed twice";
    EXPECT_TRUE(walkEvent(ev).empty());
    TAL_Event_Destroy(ev);
}

TEST_F(TalEvents, AStaleEventValueStaysUnknownAcrossManyCreateDestroyCycles) {
    TAL_EVENT stale = TAL_Event_Create(0xabc);
    ASSERT_EQ(TAL_Event_Destroy(stale), TAL_OK);
    std::set<TAL_EVENT> seen;
    for (int i = 0; i < 20000; ++i) {
        TAL_EVENT ev = TAL_Event_Create(static_cast<uint32_t>(i));
        ASSERT_NE(ev, 0u);
        ASSERT_NE(ev, stale) << "a freed value came back after " << i << " cycles";
        seen.insert(ev);
        // Checked while the new event lives, in case it took the stale value's slot.
        ASSERT_EQ(TAL_Event_GetID(stale), 0u) << "the stale value names event " << i;
        ASSERT_EQ(TAL_Event_Destroy(stale), TAL_ERR_INVALID);
        ASSERT_EQ(TAL_Event_Destroy(ev), TAL_OK);
    }
    EXPECT_GT(seen.size(), 1000u) << "values are recycled too quickly";
}

TEST_F(TalEvents, WrongValueTypesStopTheRunAndKeepWhatCameBefore) {
    for (const uint32_t badType : {2u, 4u, 5u, 10u, 0xffffffffu}) {
        SCOPED_TRACE(badType);
        TAL_EVENT ev = TAL_Event_Create(1);
        // After the bad type the run cannot be read further: the later parameter is not added.
        EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT, 0, 11,  //
                                          2, badType, 0, 22,           //
                                          3, TAL_TYPE_INT, 0, 33, 0),
                  TAL_ERR_INVALID);
        uint32_t cursor = 0;
        EXPECT_EQ(TAL_Event_SetParameter(ev, &cursor, 4, badType, 0, 44), TAL_ERR_INVALID);
        EXPECT_EQ(cursor, 0u);
        EXPECT_EQ(walkEvent(ev), (std::vector<Param>{Param::integer(1, 11)}));
        TAL_Event_Destroy(ev);
    }
}

TEST_F(TalEvents, NullPointersAndOversizedValuesAreRefused) {
    TAL_EVENT ev = TAL_Event_Create(1);
    uint32_t cursor = 0, id, type, count;
    const uint8_t few[2] = {1, 2};
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_STRING, 0, nullptr, 0), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_BYTE_ARRAY, 3, nullptr, 0), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT_ARRAY, 1, nullptr, 0), TAL_ERR_INVALID);
    // A count that cannot be meant is refused before anything is read from the pointer.
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_BYTE_ARRAY, 0xffffffffu, few, 0),
              TAL_ERR_NO_MEMORY);
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT_ARRAY, 0x40000000u, few, 0),
              TAL_ERR_NO_MEMORY);
    EXPECT_EQ(TAL_Event_SetParameter(ev, nullptr, 1, TAL_TYPE_INT, 0, 1), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_Event_SetParameter(ev, &cursor, 1, TAL_TYPE_STRING, 0, 0), TAL_ERR_INVALID);
    EXPECT_TRUE(walkEvent(ev).empty());

    ASSERT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT, 0, 1, 0), TAL_OK);
    EXPECT_EQ(TAL_Event_GetNextParameter(ev, nullptr, &id, &type, &count), nullptr);
    EXPECT_EQ(TAL_List_GetNextParameter(nullptr, &cursor, &id, &type, &count), nullptr);
    TAL_LIST list = TAL_List_Create();
    EXPECT_EQ(TAL_List_GetNextParameter(&list, nullptr, &id, &type, &count), nullptr);
    TAL_List_Destroy(list);
    // The outputs are optional.
    EXPECT_NE(TAL_Event_GetNextParameter(ev, &cursor, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TAL_WaitEvent(0, nullptr), TAL_ERR_INVALID);

    EXPECT_EQ(TAL_Value_PVOID_To_BYTE(nullptr), 0);
    EXPECT_EQ(TAL_Value_PVOID_To_INT(nullptr), 0);
    EXPECT_EQ(TAL_Value_PVOID_To_PBYTE(nullptr), nullptr);
    EXPECT_EQ(TAL_Value_PVOID_To_PINT(nullptr), nullptr);
    EXPECT_EQ(TAL_Value_PVOID_To_STRING(nullptr), nullptr);
    TAL_Event_Destroy(ev);
}

// ------------------------------------------------------------------------------------------------
// Event fields and ownership

TEST_F(TalEvents, IdActAndHandleAreKept) {
    int request = 0;
    TAL_EVENT ev = TAL_Event_Create(0x3acf0008);
    EXPECT_EQ(TAL_Event_GetID(ev), 0x3acf0008u);
    EXPECT_EQ(TAL_Event_GetACT(ev), nullptr);
    EXPECT_EQ(TAL_Event_SetACT(ev, &request), TAL_OK);
    EXPECT_EQ(TAL_Event_SetHandle(ev, 0x80000001u), TAL_OK);
    EXPECT_EQ(TAL_Event_GetACT(ev), &request);
    EXPECT_EQ(TAL_Event_GetHandle(ev), 0x80000001u);
    TAL_Event_Destroy(ev);
}

TEST_F(TalEvents, ASentEventBelongsToTheLibrary) {
    TAL_EVENT ev = TAL_Event_Create(0x2000);
    ASSERT_EQ(TAL_SendEvent(ev), TAL_OK);
    EXPECT_EQ(TAL_SendEvent(ev), TAL_ERR_INVALID) << "sent twice";
    EXPECT_EQ(TAL_Event_Destroy(ev), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_Event_SetParameters(ev, 1, TAL_TYPE_INT, 0, 1, 0), TAL_ERR_INVALID);
    EXPECT_EQ(TAL_Event_GetID(ev), 0u);
    EXPECT_FALSE(board().deliverRaw(ev));
    EXPECT_EQ(board().pendingSent(), 1u);
    // TearDown's reset frees it; the leak check there proves it.
}

TEST_F(TalEvents, InjectedFaultsHitOnceEach) {
    board().failNextCreate();
    EXPECT_EQ(TAL_Event_Create(1), 0u);
    TAL_EVENT ev = TAL_Event_Create(1);
    EXPECT_NE(ev, 0u);

    board().failNextSend();
    const std::size_t live = board().liveEvents();
    EXPECT_EQ(TAL_SendEvent(ev), TAL_ERR_FAILED);
    EXPECT_EQ(board().liveEvents(), live - 1) << "a failed send frees the event";
    EXPECT_EQ(board().pendingSent(), 0u);

    ev = TAL_Event_Create(2);
    EXPECT_EQ(TAL_SendEvent(ev), TAL_OK);
    EXPECT_EQ(board().pendingSent(), 1u);

    board().failNextCreate();
    board().failNextSend();
    board().reset();
    ev = TAL_Event_Create(3);
    EXPECT_NE(ev, 0u) << "reset clears the injections";
    EXPECT_EQ(TAL_SendEvent(ev), TAL_OK);
}

// ------------------------------------------------------------------------------------------------
// Handles

struct HandleCase {
    const char* name;
    tal::HandleFields fields;
};

TEST_F(TalEvents, EveryHandleFieldCombinationComesBack) {
    const HandleCase cases[] = {
        {"all zero", {0, 0, 0, 0, 0}},
        {"line", {TAL_HT_LINE, 1, 2, 0, 17}},
        {"compact limits", {TAL_HT_RESOURCE, 127, 31, 0x1f, 4095}},
        {"resource id 0x800", {TAL_HT_RESOURCE, 0, 0, TAL_RES_PLAYER, 0x800}},
        {"resource id above 12 bits", {TAL_HT_LINE, 0, 0, 0, 0x1000}},
        {"board 0x3f0001", {TAL_HT_BOARD, 0x3f0001, 0, 0, 3}},
        {"board 128", {TAL_HT_SPAN, 128, 0, 0, 0}},
        {"span 32", {TAL_HT_SPAN, 1, 32, 0, 0}},
        {"span 0xfc00001", {TAL_HT_SPAN, 1, 0xfc00001, 0, 0}},
        {"unknown type", {7, 1, 1, 0, 1}},
        {"wide mask", {TAL_HT_RESOURCE, 1, 1, 0x3f, 1}},
        {"all ones", {0xffffffffu, 0xffffffffu, 0xffffffffu, 0xffffffffu, 0xffffffffu}},
    };
    std::set<TAL_HANDLE> values;
    for (const HandleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const tal::HandleFields& f = c.fields;
        const TAL_HANDLE h = TAL_Handle_Create(f.type, f.board, f.span, f.mask, f.resourceId);
        EXPECT_TRUE(values.insert(h).second) << "two field sets share a value";
        EXPECT_EQ(TAL_Handle_Create(f.type, f.board, f.span, f.mask, f.resourceId), h)
            << "the same fields give the same value";
        EXPECT_EQ(TAL_Handle_GetHandleType(h), f.type);
        EXPECT_EQ(TAL_Handle_GetBoardID(h), f.board);
        EXPECT_EQ(TAL_Handle_GetSpanID(h), f.span);
        EXPECT_EQ(TAL_Handle_GetResourceMask(h), f.mask);
        EXPECT_EQ(TAL_Handle_GetResourceID(h), f.resourceId);
        EXPECT_EQ(tal::decodeHandle(h), f);
    }
}

TEST_F(TalEvents, ResourcePredicatesFollowTheMaskBits) {
    const struct {
        uint32_t mask;
        int player, recorder, detector, generator, stream;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},
        {TAL_RES_PLAYER, 1, 0, 0, 0, 0},
        {TAL_RES_RECORDER, 0, 1, 0, 0, 0},
        {TAL_RES_SIGNAL_DETECTOR, 0, 0, 1, 0, 0},
        {TAL_RES_SIGNAL_GENERATOR, 0, 0, 0, 1, 0},
        {TAL_RES_VOICE_STREAM | TAL_RES_PLAYER, 1, 0, 0, 0, 1},
        {0x1f, 1, 1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        for (const uint32_t board : {1u, 0x3f0001u}) {  // compact and interned values
            const TAL_HANDLE h = TAL_Handle_Create(TAL_HT_RESOURCE, board, 0, c.mask, 1);
            EXPECT_EQ(TAL_Handle_HasPlayer(h) != 0, c.player != 0);
            EXPECT_EQ(TAL_Handle_HasRecorder(h) != 0, c.recorder != 0);
            EXPECT_EQ(TAL_Handle_HasSignalDetector(h) != 0, c.detector != 0);
            EXPECT_EQ(TAL_Handle_HasSignalGenerator(h) != 0, c.generator != 0);
            EXPECT_EQ(TAL_Handle_HasVoiceStream(h) != 0, c.stream != 0);
        }
    }
}

TEST_F(TalEvents, AnUnknownInternedHandleReadsAsZero) {
    const TAL_HANDLE unknown = 0xfffffff0u;
    EXPECT_EQ(TAL_Handle_GetHandleType(unknown), 0u);
    EXPECT_EQ(TAL_Handle_GetBoardID(unknown), 0u);
    EXPECT_EQ(TAL_Handle_GetSpanID(unknown), 0u);
    EXPECT_EQ(TAL_Handle_GetResourceID(unknown), 0u);
    EXPECT_EQ(TAL_Handle_GetResourceMask(unknown), 0u);
    EXPECT_EQ(TAL_Handle_HasPlayer(unknown), 0);
}

}  // namespace
