#include <gtest/gtest.h>

#include <chrono>

#include "mtcore/Events.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/StreamQueue.h"

namespace MTCore {
namespace {

using std::chrono::milliseconds;

TEST(StreamQueue, PopTakesTheOldestAndTimesOutWhenEmpty) {
    MT_OEM oem;
    StreamQueue queue;
    EXPECT_EQ(queue.pop(milliseconds(0)), nullptr);
    EXPECT_EQ(queue.pop(milliseconds(5)), nullptr);
    queue.append(oem.MToem_CreateObj(ids::ntf_PAL_VSDATA));
    queue.append(nullptr);  // ignored
    queue.append(oem.MToem_CreateObj(ids::ntf_PAL_VSDTMF));
    EXPECT_EQ(queue.size(), 2u);
    MToem_Ptr<> first(queue.pop(milliseconds(0)));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->eventId, ids::ntf_PAL_VSDATA);
    MToem_Ptr<> second(queue.pop(milliseconds(0)));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->eventId, ids::ntf_PAL_VSDTMF);
    EXPECT_EQ(queue.size(), 0u);
}

TEST(StreamQueue, LongestTimeoutIsAccepted) {
    MT_OEM oem;
    StreamQueue queue;
    queue.append(oem.MToem_CreateObj(ids::ntf_PAL_VSTRIGGERED));
    MToem_Ptr<> event(queue.pop(milliseconds::max()));
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->eventId, ids::ntf_PAL_VSTRIGGERED);
    EXPECT_EQ(queue.pop(milliseconds::min()), nullptr);
}

TEST(StreamQueue, FreesWhatNobodyTookOut) {
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    {
        StreamQueue queue;
        // The producer's protocol, as the HAL does it.
        CompThread::Guard guard(queue.cond);
        queue.events.push_back(oem.MToem_CreateObj(ids::ntf_PAL_VSDATA));
        queue.events.push_back(oem.MToem_CreateObj(ids::ntf_PAL_VSDTMF));
        queue.cond.broadcast();
    }
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

}  // namespace
}  // namespace MTCore
