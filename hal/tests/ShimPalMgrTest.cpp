// The event pump with its two threads, driven through the host and board test faces: unsupported
// requests, the delivery state at each step, held objects, discarded TAL events, exceptions from
// the host, the stop paths. Every test ends with no host object and no TAL event left alive.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "Defines.h"
#include "ShimPalMgr.h"
#include "TestSupport.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

using haltest::kHangGuard;
using haltest::LogCapture;
using haltest::WaitUntil;
using MTCore::Core_TransInfo;
namespace ids = MTCore::ids;

namespace {

// ---- The delivery table as pure functions ------------------------------------------------------

TEST(DeliveryState, Table) {
    const uint32_t play = ids::cmp_PAL_PPLAY;
    struct Case {
        int state;
        uint32_t id;
        bool delivered;
    } const cases[] = {
        {0, ids::cmp_PAL_STOPPAL, true},
        {0, ids::cmp_PAL_STARTPAL, false},
        {0, ids::cmp_PAL_REQHNDLS, false},
        {0, play, false},
        {1, ids::cmp_PAL_STARTPAL, true},
        {1, ids::cmp_PAL_STOPPAL, false},
        {1, ids::cmp_PAL_GETHWINFO, false},
        {1, ids::cmp_PAL_REQHNDLS, false},
        {1, play, false},
        {2, ids::cmp_PAL_REQHNDLS, true},
        {2, ids::cmp_PAL_RETHNDLS, true},
        {2, ids::cmp_PAL_STOPPAL, true},
        {2, ids::cmp_PAL_GETHWINFO, true},
        {2, ids::cmp_PAL_STARTPAL, false},
        {2, play, false},
        {2, ids::ntf_PAL_ALERTING, false},
        {3, play, true},
        {3, ids::ntf_PAL_ALERTING, true},
        {3, ids::cmp_PAL_STARTPAL, true},
        {3, ids::cmp_PAL_STOPPAL, true},
        {4, ids::cmp_PAL_STOPPAL, false},
        {-1, ids::cmp_PAL_STARTPAL, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CShimPalMgr::IsDeliverable(c.state, c.id), c.delivered)
            << "state " << c.state << " id " << std::hex << c.id;
    }
}

TEST(DeliveryState, Transitions) {
    for (const int state : {0, 1, 2, 3}) {
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_REQHNDLS), 3);
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_RETHNDLS), 2);
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_STARTPAL), 2);
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_STOPPAL), 1);
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_GETHWINFO), state);
        EXPECT_EQ(CShimPalMgr::NextState(state, ids::cmp_PAL_PPLAY), state);
    }
}

// ---- The running pump
// ------------------------------------------------------------------------------

class PumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogSetOutput("none");
        CTraceObject::SetLogDirectory(m_logDir.Path().c_str());
        // The thread bodies' exit lines tell the tests when a loop has ended.
        TnwkLogSetSetting("ShimPALMgr", TRACE_FUNCTION_EXIT, 1);
        m_host.reset();
        m_board.reset();
        m_board.attach();
        ASSERT_EQ(TAL_Init(), 0);
        m_liveObjects = m_host.liveObjects();
        m_liveEvents = m_board.liveEvents();
        m_pump = std::make_unique<CShimPalMgr>();
        ASSERT_TRUE(m_pump->Create());
        ASSERT_TRUE(WaitUntil([&] { return m_pump->State() == hal::kStatePalNotStarted; }));
    }

    void TearDown() override {
        Stop();
        m_pump.reset();
        for (Core_TransInfo* posted : m_host.drainPosted()) m_factory.MToem_DeleteObj(posted);
        EXPECT_EQ(m_host.liveObjects(), m_liveObjects) << "host objects left alive";
        EXPECT_EQ(m_board.liveEvents(), m_liveEvents) << "TAL events left alive";
        EXPECT_EQ(m_host.liveEndpoints(), 0u);
        m_board.reset();
        m_board.detach();
        TnwkLogClearRules();
    }

    // Ends the PAL thread the host's way (req_PAL_STOPPAL, whose TAL event nobody answers here),
    // then the TAL thread through the library's stop code, and destroys the pump.
    void Stop() {
        if (!m_pump) return;
        if (!m_palThreadEnded) {
            Core_TransInfo* stop = Request(ids::req_PAL_STOPPAL);
            m_host.submit(stop);
            const auto sent = m_board.take(kHangGuard);
            ASSERT_TRUE(sent);
            ASSERT_EQ(sent->id, 0x2004u);
            ASSERT_EQ(sent->act, stop);
            m_factory.MToem_DeleteObj(stop);
            m_palThreadEnded = true;
        }
        TAL_Fini();
        m_pump->Destroy();
    }

    Core_TransInfo* Request(uint32_t id, uint32_t handle = 0) {
        Core_TransInfo* e = m_factory.MToem_CreateObj(id);
        e->handle = handle;
        return e;
    }

    void Deliver(uint32_t talId, void* act, TAL_HANDLE handle = 0) {
        ASSERT_TRUE(m_board.deliver({.id = talId, .handle = handle, .act = act, .params = {}}));
    }

    // Delivers the board's completion of a request of that id and returns what the host got.
    Core_TransInfo* Complete(uint32_t talId, uint32_t requestId) {
        Deliver(talId, Request(requestId));
        return m_host.waitPosted(kHangGuard);
    }

    void Release(Core_TransInfo* e) { m_factory.MToem_DeleteObj(e); }

    // Brings the pump to "handles held".
    void StartAndTakeHandles() {
        Release(Complete(0x102003, ids::req_PAL_STARTPAL));
        ASSERT_TRUE(WaitUntil([&] { return m_pump->State() == hal::kStateNoHandles; }));
        Release(Complete(0x102001, ids::req_PAL_REQHNDLS));
        ASSERT_TRUE(WaitUntil([&] { return m_pump->State() == hal::kStateHandlesHeld; }));
    }

    static uint32_t LineHandle(uint32_t board, uint32_t span, uint32_t line) {
        uint32_t h = 0;
        MTCore::MT_HandleUtils::MThutl_SetHandleType(h, MTCore::eMT_HANDLE_LINE);
        MTCore::MT_HandleUtils::MThutl_SetBoardID(h, board);
        MTCore::MT_HandleUtils::MThutl_SetSpanID(h, span);
        MTCore::MT_HandleUtils::MThutl_SetFullId(h, line);
        return h;
    }

    haltest::TempDir m_logDir;
    LogCapture m_log;
    MTCore::HostSide& m_host = MTCore::HostSide::instance();
    tal::BoardSide& m_board = tal::BoardSide::instance();
    MTCore::MT_OEM m_factory;
    std::unique_ptr<CShimPalMgr> m_pump;
    bool m_palThreadEnded = false;
    size_t m_liveObjects = 0;
    size_t m_liveEvents = 0;
};

TEST_F(PumpTest, UnsupportedRequestIsAnsweredAtOnceWhateverTheState) {
    const uint32_t unknownId = 0x3a000042;
    const uint32_t handle = LineHandle(1, 2, 3);
    m_host.submit(Request(unknownId, handle));
    Core_TransInfo* answer = m_host.waitPosted(kHangGuard);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->eventId, MTCore::MToem_CompletionId(unknownId));
    EXPECT_EQ(answer->resultCode, -102021);
    EXPECT_EQ(answer->detailCode, -102102);
    EXPECT_EQ(answer->handle, handle);
    Release(answer);
    EXPECT_EQ(m_log.Count(TRACE_ERROR, std::string("Unsupported event ") +
                                           MTCore::oem_ReturnEvtIdString(unknownId)),
              1u);
    // Received and sent events are dumped at levels 6 and 5.
    EXPECT_GE(m_log.Count(TRACE_EVENT_RECEIVED, MTCore::oem_ReturnEvtIdString(unknownId)), 1u);
    EXPECT_GE(m_log.Count(TRACE_EVENT_SENT, "MT_ERR_UNSUPPORTED_EVENT"), 1u);
    EXPECT_FALSE(m_board.take(std::chrono::milliseconds(0))) << "nothing goes to the board";
}

TEST_F(PumpTest, TheTwoSilentAdministrativeRequestsAreAnsweredWithoutALine) {
    for (const uint32_t id : {0x3acf0012u, 0x3acf0014u}) {
        m_host.submit(Request(id));
        Core_TransInfo* answer = m_host.waitPosted(kHangGuard);
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->eventId, MTCore::MToem_CompletionId(id));
        EXPECT_EQ(answer->resultCode, -102021);
        EXPECT_EQ(answer->detailCode, -102102);
        Release(answer);
    }
    EXPECT_EQ(m_log.Count(TRACE_ERROR, "Unsupported event"), 0u);
}

TEST_F(PumpTest, DeliveryStateAtEachStep) {
    struct Step {
        uint32_t talId;
        uint32_t requestId;  // 0: a notification, no ACT
        uint32_t palId;
        bool delivered;
        int stateAfter;
    };
    const Step steps[] = {
        // State 1: only the start completion goes out.
        {0x106001, ids::req_PAL_PPAUSE, ids::cmp_PAL_PPAUSE, false, 1},
        {0x102000, ids::req_PAL_GETHWINFO, ids::cmp_PAL_GETHWINFO, false, 1},
        {0x102004, ids::req_PAL_STOPPAL, ids::cmp_PAL_STOPPAL, false, 1},
        {0x102003, ids::req_PAL_STARTPAL, ids::cmp_PAL_STARTPAL, true, 2},
        // State 2: start-up and handle traffic.
        {0x106001, ids::req_PAL_PPAUSE, ids::cmp_PAL_PPAUSE, false, 2},
        {0x205000, 0, ids::ntf_PAL_ALERTING, false, 2},
        {0x102000, ids::req_PAL_GETHWINFO, ids::cmp_PAL_GETHWINFO, true, 2},
        {0x102004, ids::req_PAL_STOPPAL, ids::cmp_PAL_STOPPAL, true, 1},
        {0x102003, ids::req_PAL_STARTPAL, ids::cmp_PAL_STARTPAL, true, 2},
        {0x102001, ids::req_PAL_REQHNDLS, ids::cmp_PAL_REQHNDLS, true, 3},
        // State 3: everything.
        {0x106001, ids::req_PAL_PPAUSE, ids::cmp_PAL_PPAUSE, true, 3},
        {0x205000, 0, ids::ntf_PAL_ALERTING, true, 3},
        {0x102000, ids::req_PAL_GETHWINFO, ids::cmp_PAL_GETHWINFO, true, 3},
        {0x102002, ids::req_PAL_RETHNDLS, ids::cmp_PAL_RETHNDLS, true, 2},
        {0x106001, ids::req_PAL_PPAUSE, ids::cmp_PAL_PPAUSE, false, 2},
        {0x102001, ids::req_PAL_REQHNDLS, ids::cmp_PAL_REQHNDLS, true, 3},
    };
    int step = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("step " + std::to_string(step++));
        const int stateBefore = m_pump->State();
        const std::string held = std::string("Unable to send ") +
                                 MTCore::oem_ReturnEvtIdString(s.palId) + " to PAL in state " +
                                 std::to_string(stateBefore);
        const size_t heldBefore = m_log.Count(TRACE_ERROR, held);
        Deliver(s.talId, s.requestId != 0 ? Request(s.requestId) : nullptr,
                TAL_Handle_Create(TAL_HT_LINE, 1, 1, 0, 2));
        if (s.delivered) {
            Core_TransInfo* posted = m_host.waitPosted(kHangGuard);
            ASSERT_NE(posted, nullptr);
            EXPECT_EQ(posted->eventId, s.palId);
            Release(posted);
        } else {
            ASSERT_TRUE(m_log.WaitFor(TRACE_ERROR, held, heldBefore + 1)) << held;
        }
        ASSERT_TRUE(WaitUntil([&] { return m_pump->State() == s.stateAfter; }))
            << "state " << m_pump->State();
    }
    EXPECT_EQ(m_host.postedCount(), 0u);
}

TEST_F(PumpTest, RequestsGoToTheBoardAndTheirCompletionsReturn) {
    StartAndTakeHandles();
    const uint32_t handle = LineHandle(1, 1, 7);
    Core_TransInfo* request = Request(ids::req_PAL_PPAUSE, handle);
    m_host.submit(request);
    auto sent = m_board.take(kHangGuard);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->id, 0x6001u);
    EXPECT_EQ(sent->act, request);
    EXPECT_EQ(sent->handleFields, (tal::HandleFields{TAL_HT_LINE, 1, 1, 0, 7}));
    Deliver(0x106001, sent->act, sent->handle);
    Core_TransInfo* completion = m_host.waitPosted(kHangGuard);
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, ids::cmp_PAL_PPAUSE);
    EXPECT_EQ(completion->handle, handle);
    EXPECT_EQ(completion->resultCode, 0);
    Release(completion);

    // A shared translator class sends each kind under its own TAL id.
    Core_TransInfo* speed = Request(ids::req_PAL_VSSPEEDRX);
    m_host.submit(speed);
    sent = m_board.take(kHangGuard);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->id, 0x600au);
    Deliver(0x10600a, sent->act);
    completion = m_host.waitPosted(kHangGuard);
    ASSERT_NE(completion, nullptr);
    EXPECT_EQ(completion->eventId, ids::cmp_PAL_VSSPEEDRX);
    Release(completion);
}

TEST_F(PumpTest, ExceptionFromTheHostIsLoggedAndTheLoopGoesOn) {
    m_host.throwOnNextGet();
    ASSERT_TRUE(m_log.WaitFor(TRACE_PANIC, "MTpal_GetNextEvent: Exception!!!!!"));
    // After the pause the PAL thread takes requests again.
    m_host.submit(Request(0x3a000043));
    Core_TransInfo* answer = m_host.waitPosted(kHangGuard);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->resultCode, -102021);
    Release(answer);
    EXPECT_NE(haltest::ReadFile(m_logDir.Path() + "/" + hal::kPanicFileName)
                  .find("MTpal_GetNextEvent: Exception!!!!!"),
              std::string::npos);
}

TEST_F(PumpTest, TalEventsWithoutTranslatorAreDiscarded) {
    Deliver(0x103000, nullptr);
    Deliver(0x103002, nullptr);
    Deliver(0x999999, nullptr);
    // Events are handled in order: once this one is posted, the ones before are gone.
    Core_TransInfo* started = Complete(0x102003, ids::req_PAL_STARTPAL);
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(started->eventId, ids::cmp_PAL_STARTPAL);
    Release(started);
    EXPECT_EQ(m_board.liveEvents(), m_liveEvents);
    EXPECT_EQ(m_host.postedCount(), 0u);
}

TEST_F(PumpTest, TranslatorsThatProduceNothingAreLogged) {
    Deliver(0x106001, nullptr);  // a completion without its request
    Deliver(0x106007, nullptr);  // the board's data request: never a host event
    ASSERT_TRUE(m_log.WaitFor(TRACE_EVENT_SENT, "createPalEvent fail on Tal event ID 1073153"));
    ASSERT_TRUE(m_log.WaitFor(TRACE_EVENT_SENT,
                              "createPalEvent return NULL on Tal event ID 1073159, No Event need "
                              "to be sent to PAL"));
    EXPECT_EQ(m_host.postedCount(), 0u);
}

TEST_F(PumpTest, SendFailureLeavesNothingBehind) {
    m_board.failNextSend();
    m_host.submit(Request(ids::req_PAL_PPAUSE));
    ASSERT_TRUE(m_log.WaitFor(TRACE_PANIC, "fail to send event to TAL"));
    ASSERT_TRUE(WaitUntil([&] { return m_host.liveObjects() == m_liveObjects; }));
}

TEST_F(PumpTest, StopRequestEndsThePalThreadAndItsCompletionEndsTheTalThread) {
    StartAndTakeHandles();
    Core_TransInfo* stop = Request(ids::req_PAL_STOPPAL);
    m_host.submit(stop);
    const auto sent = m_board.take(kHangGuard);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->id, 0x2004u);
    // The PAL thread ends without waiting for the completion.
    ASSERT_TRUE(m_log.WaitFor(TRACE_FUNCTION_EXIT, "CShimPalMgr::ProcessEvents"));
    m_palThreadEnded = true;
    ASSERT_TRUE(WaitUntil([&] { return m_pump->State() == hal::kStatePalThreadStopped; }));

    // In state 0 the stop completion goes out and ends the TAL loop.
    Deliver(0x102004, sent->act);
    Core_TransInfo* stopped = m_host.waitPosted(kHangGuard);
    ASSERT_NE(stopped, nullptr);
    EXPECT_EQ(stopped->eventId, ids::cmp_PAL_STOPPAL);
    Release(stopped);
    ASSERT_TRUE(m_log.WaitFor(TRACE_FUNCTION_EXIT, "CShimPalMgr::processTalEvents(0)"));

    // Both loops have ended: Destroy only joins and releases.
    m_pump->Destroy();
    EXPECT_TRUE(m_pump->PalEventMap().empty());
    EXPECT_TRUE(m_pump->TalEventMap().empty());
}

TEST_F(PumpTest, LibraryStopEndsTheTalThread) {
    Stop();
    EXPECT_EQ(m_log.Count(TRACE_FUNCTION_EXIT, "CShimPalMgr::processTalEvents(4)"), 1u);
    EXPECT_EQ(m_log.Count(TRACE_FUNCTION_EXIT, "CShimPalMgr::ProcessEvents"), 1u);
    EXPECT_EQ(m_pump->State(), hal::kStatePalThreadStopped);
    EXPECT_TRUE(m_pump->PalEventMap().empty());
    EXPECT_TRUE(m_pump->TalEventMap().empty());
    EXPECT_EQ(m_host.liveEndpoints(), 0u);
}

TEST_F(PumpTest, CreateWhileRunningFailsAndKeepsTheTranslators) {
    const CEvent* before = m_pump->PalEventMap().at(ids::req_PAL_STOPPAL);
    const size_t palCount = m_pump->PalEventMap().size();
    EXPECT_FALSE(m_pump->Create());
    EXPECT_EQ(m_pump->PalEventMap().at(ids::req_PAL_STOPPAL), before);
    EXPECT_EQ(m_pump->PalEventMap().size(), palCount);
    EXPECT_EQ(m_host.liveEndpoints(), 1u);
}

TEST_F(PumpTest, CreateRegistersTheWholeCatalogue) {
    EXPECT_EQ(m_pump->TalEventMap().size(), TalCatalogue().size());
    EXPECT_EQ(m_pump->PalEventMap().size(), PalCatalogue().size() - 1);  // DETACH twice
    EXPECT_EQ(m_pump->PalEventMap().at(ids::req_PAL_DETACH)->TalEventId(), 0x4001u);
}

}  // namespace
