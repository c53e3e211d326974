// The administrative families end to end: the running HAL against the virtual board and the
// default hardware description. Start, hardware information, handles for every board with span
// activation, an alarm raised and cleared, a route and an unroute, stop; nothing left alive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Hal.h"
#include "TestSupport.h"
#include "TraceObject.h"
#include "hardware/Description.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/HardwareBoard.h"
#include "tarnwick_store.h"

using haltest::kHangGuard;
using MTCore::Core_TransInfo;
using H = MTCore::MT_HandleUtils;
namespace ids = MTCore::ids;

namespace {

class AdminEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("TARNWICK_HARDWARE");
        TnwkLogSetOutput("none");
        ASSERT_FALSE(m_dir.Path().empty());
        const std::string store = m_dir.Path() + "/system.db";
        ::setenv("TARNWICK_SYSTEM_DB", store.c_str(), 1);
        ASSERT_EQ(TarnwickStore_Open(store.c_str()), 0u);
        CTraceObject::SetLogDirectory(m_dir.Path().c_str());
        m_host.reset();
        m_board.reset();
        m_board.detach();  // the virtual board answers
        m_liveObjects = m_host.liveObjects();
        m_liveEvents = m_board.liveEvents();
        ASSERT_EQ(hal_Init(), 0);
    }
    void TearDown() override {
        EXPECT_EQ(hal_Exit(), 0);
        for (Core_TransInfo* posted : m_host.drainPosted()) release(posted);
        EXPECT_EQ(m_host.liveObjects(), m_liveObjects) << "host objects left alive";
        EXPECT_EQ(m_board.liveEvents(), m_liveEvents) << "TAL events left alive";
        TarnwickStore_Close();
    }

    void release(Core_TransInfo* object) { m_factory.MToem_DeleteObj(object); }

    // Submits a request and waits for the posted object of `expected` (the caller frees it).
    template <class T = Core_TransInfo>
    T* Request(Core_TransInfo* request, uint32_t expected) {
        m_host.submit(request);
        return Await<T>(expected);
    }
    template <class T = Core_TransInfo>
    T* Await(uint32_t expected) {
        Core_TransInfo* posted = m_host.waitPosted(kHangGuard);
        EXPECT_NE(posted, nullptr) << "nothing posted, expected " << std::hex << expected;
        if (posted == nullptr) return nullptr;
        EXPECT_EQ(posted->eventId, expected) << std::hex << posted->eventId;
        T* typed = dynamic_cast<T*>(posted);
        EXPECT_NE(typed, nullptr);
        if (typed == nullptr || posted->eventId != expected) {
            release(posted);
            return nullptr;
        }
        return typed;
    }

    haltest::TempDir m_dir;
    MTCore::HostSide& m_host = MTCore::HostSide::instance();
    tal::BoardSide& m_board = tal::BoardSide::instance();
    MTCore::MT_OEM m_factory;
    size_t m_liveObjects = 0;
    size_t m_liveEvents = 0;
};

TEST_F(AdminEndToEnd, AHostLearnsTheDefaultHardwareAndDrivesItsSpans) {
    auto* start = m_factory.MToem_CreateObjAs<MTCore::Ev_req_PAL_STARTPAL>(ids::req_PAL_STARTPAL);
    start->startString = "end to end";
    auto* started = Request<MTCore::Ev_cmp_PAL_STARTPAL>(start, ids::cmp_PAL_STARTPAL);
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(started->startString, "end to end");
    release(started);

    // Hardware information: two boards with their spans and line counts.
    auto* hw = Request<MTCore::Ev_cmp_PAL_GETHWINFO>(
        m_factory.MToem_CreateObj(ids::req_PAL_GETHWINFO), ids::cmp_PAL_GETHWINFO);
    ASSERT_NE(hw, nullptr);
    ASSERT_EQ(hw->noOfBoards, 2);
    ASSERT_EQ(hw->hwInfoList.size(), 2u);
    const struct {
        int32_t logicalId;
        std::vector<int32_t> lines;
        const char* netType;
    } boards[] = {{1, {30, 30}, "E1"}, {2, {24, 24, 24, 24}, "T1"}};
    const hw::Description description = hw::builtinDefault();
    for (size_t i = 0; i < 2; ++i) {
        const MTCore::Pal_Ev_HwInfoElem& board = hw->hwInfoList[i];
        EXPECT_EQ(board.logicalID, boards[i].logicalId);
        EXPECT_EQ(board.lines, boards[i].lines);
        EXPECT_EQ(board.boardNetType, boards[i].netType);
        EXPECT_EQ(board.noOfSpans, static_cast<int32_t>(boards[i].lines.size()));
        EXPECT_EQ(board.spanTypes.size(), boards[i].lines.size());
        EXPECT_TRUE(board.boardEnabled);
        EXPECT_EQ(board.serialNo, description.modules[i].serialNumber);
        EXPECT_EQ(board.noOfVoiceResources,
                  static_cast<int32_t>(description.modules[i].voiceResources));
    }
    release(hw);

    // Handles for each board: one per line and voice resource; every span gets activated.
    uint32_t line = 0;
    uint32_t resource = 0;
    for (const auto& board : boards) {
        auto* req = m_factory.MToem_CreateObjAs<MTCore::Ev_req_PAL_REQHNDLS>(ids::req_PAL_REQHNDLS);
        req->boardLogicalId = static_cast<uint8_t>(board.logicalId);
        auto* handles = Request<MTCore::Ev_cmp_PAL_REQHNDLS>(req, ids::cmp_PAL_REQHNDLS);
        ASSERT_NE(handles, nullptr);
        const hw::Module* module = description.findByLogicalId(uint32_t(board.logicalId));
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(handles->handles.size(), module->lines() + module->voiceResources);
        for (uint32_t h : handles->handles) {
            EXPECT_EQ(H::MThutl_GetBoardID(h), uint32_t(board.logicalId));
            if (line == 0 && H::MThutl_GetHandleType(h) == MTCore::eMT_HANDLE_LINE) line = h;
            if (resource == 0 && H::MThutl_GetHandleType(h) == MTCore::eMT_HANDLE_RESOURCE) {
                resource = h;
            }
        }
        release(handles);
        for (uint32_t span = 1; span <= board.lines.size(); ++span) {
            EXPECT_TRUE(haltest::WaitUntil([&] {
                return tal::HardwareBoard::instance().spanActive(uint32_t(board.logicalId), span);
            })) << "board "
                << board.logicalId << " span " << span;
        }
    }
    ASSERT_NE(line, 0u);
    ASSERT_NE(resource, 0u);
    EXPECT_TRUE(H::MThutl_IsPlayerResource(resource));

    // An alarm raised and cleared on span 2 of board 1; the alarm information reports it.
    auto& model = tal::HardwareBoard::instance();
    ASSERT_TRUE(model.setAlarm(1, 2, 100, true));
    auto* raised = Await<MTCore::Ev_ntf_PAL_ALARM>(ids::ntf_PAL_ALARM);
    ASSERT_NE(raised, nullptr);
    EXPECT_EQ(raised->alarmCode, 1000);
    EXPECT_TRUE(raised->alarmState);
    EXPECT_EQ(H::MThutl_GetHandleType(raised->handle), MTCore::eMT_HANDLE_SPAN);
    EXPECT_EQ(H::MThutl_GetSpanID(raised->handle), 2u);
    const uint32_t spanHandle = raised->handle;
    release(raised);

    Core_TransInfo* infoReq = m_factory.MToem_CreateObj(ids::req_PAL_ALARMINFO);
    infoReq->handle = spanHandle;
    auto* info = Request<MTCore::Ev_cmp_PAL_ALARMINFO>(infoReq, ids::cmp_PAL_ALARMINFO);
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->alarmList.size(), 1u);
    EXPECT_EQ(info->alarmList[0].code, 1000);
    EXPECT_EQ(info->alarmList[0].flag, 1);
    release(info);

    ASSERT_TRUE(model.setAlarm(1, 2, 100, false));
    auto* cleared = Await<MTCore::Ev_ntf_PAL_ALARM>(ids::ntf_PAL_ALARM);
    ASSERT_NE(cleared, nullptr);
    EXPECT_FALSE(cleared->alarmState);
    release(cleared);

    // A route and an unroute between a line and a voice resource.
    for (uint32_t id : {ids::req_PAL_ROUTE, ids::req_PAL_UNROUTE}) {
        auto* req = m_factory.MToem_CreateObjAs<MTCore::Ev_req_PAL_ROUTE>(id);
        req->handle = line;
        req->peerHandle = resource;
        Core_TransInfo* done = Request(req, MTCore::MToem_CompletionId(id));
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->handle, line);
        release(done);
        if (id == ids::req_PAL_ROUTE) {
            const auto connections = model.connections();
            ASSERT_EQ(connections.size(), 1u);
            EXPECT_EQ(tal::decodeHandle(connections[0].first),
                      (tal::HandleFields{TAL_HT_LINE, 1, 1, 0, 1}));
            EXPECT_EQ(tal::decodeHandle(connections[0].second).type, uint32_t{TAL_HT_RESOURCE});
        }
    }
    EXPECT_TRUE(model.connections().empty());

    release(Request(m_factory.MToem_CreateObj(ids::req_PAL_STOPPAL), ids::cmp_PAL_STOPPAL));
}

}  // namespace
