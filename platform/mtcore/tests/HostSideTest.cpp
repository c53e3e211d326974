// The host side used from one thread: order, injected failure, ownership. The threaded cases are
// in threads/.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/MT_PalApi.h"

namespace MTCore {
namespace {

using std::chrono::milliseconds;

class HostSideTest : public testing::Test {
  protected:
    void SetUp() override {
        host.reset();
        baseline = host.liveObjects();
    }
    void TearDown() override {
        host.reset();
        EXPECT_EQ(host.liveObjects(), baseline) << "host objects leaked";
    }

    Core_TransInfo* make(uint32_t id, uint32_t handle = 0) {
        Core_TransInfo* object = oem.MToem_CreateObj(id);
        object->handle = handle;
        return object;
    }

    HostSide& host = HostSide::instance();
    MT_OEM oem;
    std::size_t baseline = 0;
};

TEST_F(HostSideTest, GetsHandOutRequestsInSubmissionOrder) {
    MT_PAL pal;
    host.submit(make(ids::req_PAL_STARTPAL, 1));
    host.submit(nullptr);  // ignored
    host.submit(make(ids::req_PAL_GETHWINFO, 2));
    host.submit(make(ids::req_PAL_STOPPAL, 3));
    EXPECT_EQ(host.pendingRequests(), 3u);
    for (uint32_t id : {ids::req_PAL_STARTPAL, ids::req_PAL_GETHWINFO, ids::req_PAL_STOPPAL}) {
        Core_TransInfo* request = pal.MTpal_GetNextEvent();
        ASSERT_NE(request, nullptr);
        EXPECT_EQ(request->eventId, id);
        oem.MToem_DeleteObj(request);
    }
    EXPECT_EQ(host.pendingRequests(), 0u);
}

TEST_F(HostSideTest, ThrowOnNextGetThrowsOnceAndKeepsTheQueue) {
    MT_PAL pal;
    host.submit(make(ids::req_PAL_STARTPAL));
    host.throwOnNextGet();
    EXPECT_THROW(pal.MTpal_GetNextEvent(), std::runtime_error);
    EXPECT_EQ(host.pendingRequests(), 1u);
    Core_TransInfo* request = pal.MTpal_GetNextEvent();
    EXPECT_EQ(request->eventId, ids::req_PAL_STARTPAL);
    oem.MToem_DeleteObj(request);
}

TEST_F(HostSideTest, PostedObjectsComeOutInOrderAndWaitTimesOut) {
    EXPECT_EQ(host.waitPosted(milliseconds(1)), nullptr);
    MT_PAL pal;
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_STARTPAL, 1));
    pal.MTpal_PostEventToServer(nullptr);  // ignored
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_REQHNDLS, 2));
    EXPECT_EQ(host.postedCount(), 2u);
    MToem_Ptr<> first(host.waitPosted(milliseconds(0)));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->eventId, ids::cmp_PAL_STARTPAL);
    MToem_Ptr<> second(host.waitPosted(milliseconds(0)));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->handle, 2u);
    EXPECT_EQ(host.waitPosted(milliseconds(1)), nullptr);
}

TEST_F(HostSideTest, ExtremeTimeoutsAreAccepted) {
    MT_PAL pal;
    pal.MTpal_PostEventToServer(make(ids::ntf_PAL_DIALING));
    MToem_Ptr<> posted(host.waitPosted(milliseconds::max()));
    ASSERT_NE(posted, nullptr);
    EXPECT_EQ(posted->eventId, ids::ntf_PAL_DIALING);
    EXPECT_EQ(host.waitPosted(milliseconds::min()), nullptr);
}

TEST_F(HostSideTest, WaitPostedAsKeepsAnObjectOfAnotherType) {
    MT_PAL pal;
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_STOPPAL));
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_MAKECALL));
    EXPECT_EQ(host.waitPostedAs<Ev_cmp_PAL_MAKECALL>(milliseconds(0)), nullptr);
    EXPECT_EQ(host.postedCount(), 2u);
    MToem_Ptr<> stop(host.waitPosted(milliseconds(0)));
    EXPECT_EQ(stop->eventId, ids::cmp_PAL_STOPPAL);
    MToem_Ptr<Ev_cmp_PAL_MAKECALL> call(host.waitPostedAs<Ev_cmp_PAL_MAKECALL>(milliseconds(0)));
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->eventId, ids::cmp_PAL_MAKECALL);
}

TEST_F(HostSideTest, DrainTakesEverythingPosted) {
    MT_PAL pal;
    pal.MTpal_PostEventToServer(make(ids::ntf_PAL_ALARM));
    pal.MTpal_PostEventToServer(make(ids::ntf_PAL_ALERTING));
    std::vector<Core_TransInfo*> all = host.drainPosted();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->eventId, ids::ntf_PAL_ALARM);
    EXPECT_EQ(all[1]->eventId, ids::ntf_PAL_ALERTING);
    for (Core_TransInfo* object : all) HostSide::release(object);
    EXPECT_TRUE(host.drainPosted().empty());
    HostSide::release(nullptr);
}

TEST_F(HostSideTest, PostHandlerTakesObjectsInsteadOfTheQueue) {
    std::vector<uint32_t> seen;
    host.setPostHandler([&](Core_TransInfo* posted) {
        seen.push_back(posted->eventId);
        HostSide::release(posted);
    });
    MT_PAL pal;
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_GSEND));
    EXPECT_EQ(seen, std::vector<uint32_t>{ids::cmp_PAL_GSEND});
    EXPECT_EQ(host.postedCount(), 0u);
    host.setPostHandler(nullptr);
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_GSTOP));
    EXPECT_EQ(host.postedCount(), 1u);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(HostSideTest, PostToHalBecomesARequest) {
    MT_PAL pal;
    pal.MTpal_PostEventToHAL(make(ids::req_PAL_DFLUSH));
    pal.MTpal_PostEventToHAL(nullptr);
    EXPECT_EQ(host.pendingRequests(), 1u);
    MToem_Ptr<> request(pal.MTpal_GetNextEvent());
    EXPECT_EQ(request->eventId, ids::req_PAL_DFLUSH);
}

TEST_F(HostSideTest, ResetFreesQueuedRequestsPostedObjectsAndFaults) {
    MT_PAL pal;
    host.submit(make(ids::req_PAL_PPLAY));
    host.submit(make(ids::req_PAL_MAKECALL));
    pal.MTpal_PostEventToServer(make(ids::cmp_PAL_GETHWINFO));
    host.throwOnNextGet();
    host.failNextVsDataBuffer();
    EXPECT_EQ(host.liveObjects(), baseline + 3);
    host.reset();
    EXPECT_EQ(host.liveObjects(), baseline);
    EXPECT_EQ(host.pendingRequests(), 0u);
    EXPECT_EQ(host.postedCount(), 0u);

    host.submit(make(ids::req_PAL_STOPPAL));
    MToem_Ptr<> request(pal.MTpal_GetNextEvent());  // no throw left
    EXPECT_EQ(request->eventId, ids::req_PAL_STOPPAL);
    MToem_Ptr<Ev_ntf_PAL_VSDATA> data(
        oem.MToem_CreateObjAs<Ev_ntf_PAL_VSDATA>(ids::ntf_PAL_VSDATA));
    EXPECT_NE(data->dataBuffer, nullptr);  // no fault left
}

TEST_F(HostSideTest, FailedDataBufferHitsOnlyTheNextDataObject) {
    host.failNextVsDataBuffer();
    MToem_Ptr<> other(oem.MToem_CreateObj(ids::ntf_PAL_VSDTMF));  // not a data object
    MToem_Ptr<Ev_ntf_PAL_VSDATA> failed(
        oem.MToem_CreateObjAs<Ev_ntf_PAL_VSDATA>(ids::ntf_PAL_VSDATA));
    EXPECT_EQ(failed->dataBuffer, nullptr);
    EXPECT_EQ(failed->dataBufferSize, 0u);
    MToem_Ptr<Ev_ntf_PAL_VSDATA> next(
        oem.MToem_CreateObjAs<Ev_ntf_PAL_VSDATA>(ids::ntf_PAL_VSDATA));
    EXPECT_NE(next->dataBuffer, nullptr);
}

TEST_F(HostSideTest, EndpointsAreCounted) {
    const std::size_t before = host.liveEndpoints();
    {
        MT_PAL a;
        MT_PAL b;
        EXPECT_EQ(host.liveEndpoints(), before + 2);
    }
    EXPECT_EQ(host.liveEndpoints(), before);
}

}  // namespace
}  // namespace MTCore
