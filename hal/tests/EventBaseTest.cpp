// Translator bases: handle conversions both ways, the request translator towards the board, the
// completion's ACT round trip, notifications, wrong directions and the board's failures.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Defines.h"
#include "EventBase.h"
#include "TestSupport.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

using haltest::LogCapture;
using MTCore::Core_TransInfo;
using MTCore::MT_HandleUtils;

namespace {

constexpr std::chrono::milliseconds kWait{5000};

uint32_t MakeHandle(uint32_t type, uint32_t board, uint32_t span, uint32_t line, uint32_t media) {
    uint32_t h = 0;
    MT_HandleUtils::MThutl_SetHandleType(h, type);
    MT_HandleUtils::MThutl_SetBoardID(h, board);
    MT_HandleUtils::MThutl_SetSpanID(h, span);
    MT_HandleUtils::MThutl_SetFullId(h, line);
    MT_HandleUtils::MThutl_SetMediaResourceType(h, media);
    return h;
}

// ---- Host handle -> TAL handle
// -------------------------------------------------------------------

TEST(HandleConversion, HostToTal) {
    struct Case {
        const char* name;
        uint32_t palHandle;
        tal::HandleFields expected;
    };
    const Case cases[] = {
        {"board", MakeHandle(MTCore::eMT_HANDLE_BOARD, 2, 0, 0, 0), {0, 2, 0, 0, 0}},
        {"span", MakeHandle(MTCore::eMT_HANDLE_SPAN, 1, 3, 0, 0), {1, 1, 3, 0, 0}},
        {"line", MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 2, 23, 0), {2, 1, 2, 0, 23}},
        {"player", MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 5, 0x8800), {3, 1, 0, 0x11, 5}},
        {"recorder", MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 6, 0x4800), {3, 1, 0, 0x12, 6}},
        {"detector", MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 4, 1, 7, 0x2000), {3, 4, 1, 0x04, 7}},
        {"generator", MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 4, 1, 8, 0x1000), {3, 4, 1, 0x08, 8}},
        {"receive stream",
         MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 1, 2047, 0x801),
         {3, 1, 1, 0x10, 2047}},
        {"transmit stream",
         MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 63, 15, 0, 0x802),
         {3, 63, 15, 0x10, 0}},
        {"everything",
         MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 1, 1, 0xf800),
         {3, 1, 1, 0x1f, 1}},
        {"unknown type goes as board", MakeHandle(0x40000000u, 2, 3, 4, 0), {0, 2, 3, 0, 4}},
        {"unknown type keeps its mask",
         MakeHandle(0xf0000000u, 1, 1, 1, 0x8000),
         {0, 1, 1, 0x01, 1}},
    };
    for (const Case& c : cases) {
        const TAL_HANDLE h = CEvent::ConvertToTalHandle(c.palHandle);
        EXPECT_EQ(tal::decodeHandle(h), c.expected) << c.name;
    }
}

// ---- TAL handle -> host handle
// -------------------------------------------------------------------

TEST(HandleConversion, TalToHost) {
    struct Case {
        const char* name;
        tal::HandleFields talHandle;
        uint32_t expected;
    };
    uint32_t fullIdOnly = 0;
    MT_HandleUtils::MThutl_SetFullId(fullIdOnly, 5);
    uint32_t boardAndFullId = fullIdOnly;
    MT_HandleUtils::MThutl_SetBoardID(boardAndFullId, 2);
    const Case cases[] = {
        {"board", {0, 2, 0, 0, 0}, MakeHandle(MTCore::eMT_HANDLE_BOARD, 2, 0, 0, 0)},
        {"span", {1, 1, 3, 0, 0}, MakeHandle(MTCore::eMT_HANDLE_SPAN, 1, 3, 0, 0)},
        {"line", {2, 1, 2, 0, 23}, MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 2, 23, 0)},
        {"player", {3, 1, 0, 0x01, 5}, MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 5, 0x8800)},
        {"recorder", {3, 1, 0, 0x02, 6}, MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 6, 0x4800)},
        {"detector", {3, 1, 0, 0x04, 7}, MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 7, 0x2000)},
        {"generator", {3, 1, 0, 0x08, 8}, MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 8, 0x1000)},
        {"player and generator",
         {3, 1, 0, 0x09, 9},
         MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 9, 0x9800)},
        {"voice stream alone gives no media",
         {3, 1, 0, 0x10, 10},
         MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 10, 0)},
        {"highest resource id",
         {2, 0, 0, 0, 0x7ff},
         MakeHandle(MTCore::eMT_HANDLE_LINE, 0, 0, 0x7ff, 0)},
        {"resource id 0x800 gives 0", {2, 1, 1, 0, 0x800}, 0},
        {"board id 0x3f0001 keeps only the full id", {2, 0x3f0001, 1, 0x01, 5}, fullIdOnly},
        {"span id 0xfc00001 keeps board and full id", {2, 2, 0xfc00001, 0x01, 5}, boardAndFullId},
        {"unknown handle type gives 0", {4, 1, 1, 0x01, 5}, 0},
    };
    for (const Case& c : cases) {
        const TAL_HANDLE h = tal::encodeHandle(c.talHandle);
        EXPECT_EQ(CEvent::ConvertToPalHandle(h), c.expected) << c.name;
    }
}

TEST(HandleConversion, RoundTripKeepsLineAndSpanHandles) {
    for (const uint32_t h : {MakeHandle(MTCore::eMT_HANDLE_LINE, 3, 2, 100, 0),
                             MakeHandle(MTCore::eMT_HANDLE_SPAN, 1, 4, 0, 0),
                             MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 1, 3, 0x8800)}) {
        EXPECT_EQ(CEvent::ConvertToPalHandle(CEvent::ConvertToTalHandle(h)), h);
    }
}

// ---- Translators against the board -------------------------------------------------------------

class TranslatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogSetOutput("none");
        m_board.reset();
        m_board.attach();
        ASSERT_EQ(TAL_Init(), 0);
        m_host.reset();
        m_liveObjects = m_host.liveObjects();
        m_liveEvents = m_board.liveEvents();
        CTraceObject::SetLogDirectory(m_logDir.Path().c_str());
    }
    void TearDown() override {
        TAL_Fini();
        m_board.reset();
        m_board.detach();
        // Nothing a translator made or was given may be left alive.
        EXPECT_EQ(m_host.liveObjects(), m_liveObjects);
        EXPECT_EQ(m_board.liveEvents(), m_liveEvents);
    }

    Core_TransInfo* NewObject(uint32_t id, uint32_t handle = 0) {
        Core_TransInfo* e = m_factory.MToem_CreateObj(id);
        e->handle = handle;
        return e;
    }
    // A received TAL event as the pump would hand it over (the caller destroys it).
    static TAL_EVENT Received(uint32_t id, void* act, TAL_HANDLE handle = 0) {
        const TAL_EVENT ev = TAL_Event_Create(id);
        TAL_Event_SetACT(ev, act);
        TAL_Event_SetHandle(ev, handle);
        return ev;
    }

    tal::BoardSide& m_board = tal::BoardSide::instance();
    MTCore::HostSide& m_host = MTCore::HostSide::instance();
    MTCore::MT_OEM m_factory;
    haltest::TempDir m_logDir;
    size_t m_liveObjects = 0;
    size_t m_liveEvents = 0;
};

TEST_F(TranslatorTest, RequestGoesToTheBoardWithItselfAsActAndItsHandleConverted) {
    CSimplePalEvent translator(0x6001, MTCore::ids::req_PAL_PPAUSE, "req_PAL_PPAUSE");
    const uint32_t handle = MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 4, 0x8800);
    Core_TransInfo* request = NewObject(MTCore::ids::req_PAL_PPAUSE, handle);
    translator.ProcessPalEvents(request);

    const auto sent = m_board.take(kWait);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->id, 0x6001u);
    EXPECT_EQ(sent->act, request);
    EXPECT_EQ(sent->handleFields, (tal::HandleFields{3, 1, 0, 0x11, 4}));
    EXPECT_TRUE(sent->params.empty());
    // The request rides as the ACT until its completion is built; here nobody answers it.
    m_factory.MToem_DeleteObj(request);
}

TEST_F(TranslatorTest, RequestWithUnknownHandleTypeGoesAsBoardHandle) {
    CSimplePalEvent translator(0x2000, MTCore::ids::req_PAL_GETHWINFO, "req_PAL_GETHWINFO");
    Core_TransInfo* request =
        NewObject(MTCore::ids::req_PAL_GETHWINFO, MakeHandle(0x50000000u, 2, 1, 9, 0));
    translator.ProcessPalEvents(request);
    const auto sent = m_board.take(kWait);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->handleFields.type, 0u);
    EXPECT_EQ(sent->handleFields.board, 2u);
    m_factory.MToem_DeleteObj(request);
}

TEST_F(TranslatorTest, EventCreationFailureSendsNothingAndReleasesTheRequest) {
    LogCapture capture;
    CSimplePalEvent translator(0x6001, MTCore::ids::req_PAL_PPAUSE, "req_PAL_PPAUSE");
    m_board.failNextCreate();
    translator.ProcessPalEvents(NewObject(MTCore::ids::req_PAL_PPAUSE));
    EXPECT_FALSE(m_board.take(std::chrono::milliseconds(0)));
    EXPECT_EQ(m_host.liveObjects(), m_liveObjects);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(TranslatorTest, SendFailureIsAPanicLineAndReleasesTheRequest) {
    LogCapture capture;
    CSimplePalEvent translator(0x6001, MTCore::ids::req_PAL_PPAUSE, "req_PAL_PPAUSE");
    m_board.failNextSend();
    translator.ProcessPalEvents(NewObject(MTCore::ids::req_PAL_PPAUSE));
    EXPECT_FALSE(m_board.take(std::chrono::milliseconds(0)));
    EXPECT_EQ(m_host.liveObjects(), m_liveObjects);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TRACE_PANIC);
    EXPECT_EQ(lines[0].text, "CSimplePalEvent::ProcessPalEvents fail to send event to TAL");
    // Each translator logs under its own kind's name.
    EXPECT_EQ(lines[0].filter, "req_PAL_PPAUSE");
    EXPECT_EQ(lines[0].group, "TIM Events");
}

TEST_F(TranslatorTest, GenericCompletionAnswersTheRequestInTheActAndReleasesIt) {
    CSimpleTalEvent translator(0x106001, MTCore::ids::cmp_PAL_PPAUSE, "cmp_PAL_PPAUSE");
    const uint32_t handle = MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 0, 4, 0x8800);
    Core_TransInfo* request = NewObject(MTCore::ids::req_PAL_PPAUSE, handle);
    request->resultCode = 5;  // a request's codes are not the completion's
    const TAL_EVENT ev = Received(0x106001, request, TAL_Handle_Create(2, 9, 9, 0, 9));
    Core_TransInfo* completion = translator.CreatePalEvent(ev);
    TAL_Event_Destroy(ev);
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, MTCore::ids::cmp_PAL_PPAUSE);
    EXPECT_EQ(completion->handle, handle) << "the request's handle, not the TAL event's";
    EXPECT_EQ(completion->resultCode, 0);
    EXPECT_EQ(completion->detailCode, 0);
    m_factory.MToem_DeleteObj(completion);
}

TEST_F(TranslatorTest, GenericCompletionKeepsTheTransmitStreamStartRequest) {
    CSimpleTalEvent translator(0x107006, MTCore::ids::cmp_PAL_VSSTARTTX, "cmp_PAL_VSSTARTTX");
    Core_TransInfo* request = NewObject(MTCore::ids::req_PAL_VSSTARTTX);
    const TAL_EVENT ev = Received(0x107006, request);
    Core_TransInfo* completion = translator.CreatePalEvent(ev);
    TAL_Event_Destroy(ev);
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, MTCore::ids::cmp_PAL_VSSTARTTX);
    // The stream's notifications still carry the request: it must still be alive.
    EXPECT_EQ(m_host.liveObjects(), m_liveObjects + 2);
    EXPECT_EQ(request->eventId, MTCore::ids::req_PAL_VSSTARTTX);
    m_factory.MToem_DeleteObj(completion);
    m_factory.MToem_DeleteObj(request);
}

TEST_F(TranslatorTest, GenericCompletionWithoutActYieldsNothingAndFreesNothing) {
    CSimpleTalEvent translator(0x106001, MTCore::ids::cmp_PAL_PPAUSE, "cmp_PAL_PPAUSE");
    Core_TransInfo* bystander = NewObject(MTCore::ids::req_PAL_PPAUSE);
    const TAL_EVENT ev = Received(0x106001, nullptr);
    EXPECT_EQ(translator.CreatePalEvent(ev), nullptr);
    TAL_Event_Destroy(ev);
    EXPECT_EQ(m_host.liveObjects(), m_liveObjects + 1);
    m_factory.MToem_DeleteObj(bystander);
}

TEST_F(TranslatorTest, GenericNotificationCarriesItsKindAndTheConvertedHandle) {
    CSimpleNotifyTalEvent translator(0x205000, MTCore::ids::ntf_PAL_ALERTING, "ntf_PAL_ALERTING");
    const TAL_EVENT ev = Received(0x205000, nullptr, TAL_Handle_Create(2, 1, 3, 0, 17));
    Core_TransInfo* notification = translator.CreatePalEvent(ev);
    TAL_Event_Destroy(ev);
    ASSERT_NE(notification, nullptr);
    EXPECT_EQ(notification->eventId, MTCore::ids::ntf_PAL_ALERTING);
    EXPECT_EQ(notification->handle, MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 3, 17, 0));
    EXPECT_EQ(notification->resultCode, 0);
    EXPECT_EQ(notification->detailCode, 0);
    m_factory.MToem_DeleteObj(notification);
}

TEST_F(TranslatorTest, WrongDirectionsProduceNothingAndSayWhy) {
    LogCapture capture;
    CSimplePalEvent request(0x2004, MTCore::ids::req_PAL_STOPPAL, "req_PAL_STOPPAL");
    const TAL_EVENT ev = Received(0x102004, nullptr);
    EXPECT_EQ(request.CreatePalEvent(ev), nullptr);
    TAL_Event_Destroy(ev);

    CSimpleTalEvent completion(0x102004, MTCore::ids::cmp_PAL_STOPPAL, "cmp_PAL_STOPPAL");
    Core_TransInfo* stop = NewObject(MTCore::ids::req_PAL_STOPPAL);
    completion.ProcessPalEvents(stop);
    EXPECT_FALSE(m_board.take(std::chrono::milliseconds(0)));
    m_factory.MToem_DeleteObj(stop);

    EXPECT_EQ(capture.Count(TRACE_PANIC,
                            "The class only process PAL ==> TAL events process, "
                            "wrong direction ID 102004"),
              1u);
    EXPECT_EQ(capture.Count(TRACE_PANIC,
                            "The class only process TAL ==> PAL events process, wrong direction"),
              1u);
}

TEST_F(TranslatorTest, BaseEventDoesNothing) {
    CEvent base(1, 2, "base");
    EXPECT_EQ(base.TalEventId(), 1u);
    EXPECT_EQ(base.PalEventId(), 2u);
    EXPECT_STREQ(base.Name(), "base");
    Core_TransInfo* request = NewObject(MTCore::ids::req_PAL_STOPPAL);
    base.ProcessPalEvents(request);
    EXPECT_EQ(base.CreateTalEvent(request), 0u);
    EXPECT_FALSE(m_board.take(std::chrono::milliseconds(0)));
    const TAL_EVENT ev = Received(0x102004, request);
    EXPECT_EQ(base.CreatePalEvent(ev), nullptr);
    TAL_Event_Destroy(ev);
    m_factory.MToem_DeleteObj(request);
}

TEST_F(TranslatorTest, EntryAndExitAreTracedWhenWanted) {
    LogCapture capture;
    CSimpleNotifyTalEvent translator(0x205001, MTCore::ids::ntf_PAL_BLOCKED, "ntf_PAL_BLOCKED");
    TnwkLogSetSetting("ntf_PAL_BLOCKED", TRACE_FUNCTION_ENTER, 1);
    TnwkLogSetSetting("ntf_PAL_BLOCKED", TRACE_FUNCTION_EXIT, 1);
    const TAL_EVENT ev = Received(0x205001, nullptr);
    m_factory.MToem_DeleteObj(translator.CreatePalEvent(ev));
    TAL_Event_Destroy(ev);
    TnwkLogClearRules();
    EXPECT_EQ(capture.Count(TRACE_FUNCTION_ENTER, "CSimpleNotifyTalEvent::CreatePalEvent"), 1u);
    EXPECT_EQ(capture.Count(TRACE_FUNCTION_EXIT, "CSimpleNotifyTalEvent::CreatePalEvent"), 1u);
}

}  // namespace
