// Cases where two or more threads use the host stand-in at once (run under ThreadSanitizer too).
// Timeouts here only guard against a hang; no case depends on how threads are scheduled.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/MT_PalApi.h"
#include "mtcore/StreamQueue.h"
#include "mtcore/VoiceData.h"

namespace MTCore {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kHangGuard(20000);

class HostSideThreads : public testing::Test {
  protected:
    void SetUp() override {
        host.reset();
        baseline = host.liveObjects();
    }
    void TearDown() override {
        host.reset();
        EXPECT_EQ(host.liveObjects(), baseline) << "host objects leaked";
    }

    HostSide& host = HostSide::instance();
    MT_OEM oem;
    std::size_t baseline = 0;
};

TEST_F(HostSideThreads, BlockedGetIsWokenBySubmit) {
    MT_PAL pal;
    uint32_t got = 0;
    std::thread getter([&] {
        Core_TransInfo* request = pal.MTpal_GetNextEvent();
        got = request->eventId;
        oem.MToem_DeleteObj(request);
    });
    host.submit(oem.MToem_CreateObj(ids::req_PAL_STARTPAL));
    getter.join();
    EXPECT_EQ(got, ids::req_PAL_STARTPAL);
}

TEST_F(HostSideThreads, BlockedGetIsWokenByThrowOnNextGet) {
    MT_PAL pal;
    std::atomic<bool> threw{false};
    std::thread getter([&] {
        try {
            Core_TransInfo* request = pal.MTpal_GetNextEvent();
            oem.MToem_DeleteObj(request);
        } catch (const std::runtime_error&) {
            threw = true;
        }
    });
    host.throwOnNextGet();
    getter.join();
    EXPECT_TRUE(threw);
}

// A pump in miniature: one thread gets requests and hands completions to a second thread, which
// posts them, while the test submits and collects. Every completion arrives once, in order.
TEST_F(HostSideThreads, GetAndPostRunConcurrently) {
    constexpr uint32_t kRequests = 500;
    MT_PAL pal;

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Core_TransInfo*> toPost;
    bool palDone = false;

    std::thread palThread([&] {
        for (;;) {
            Core_TransInfo* request = pal.MTpal_GetNextEvent();
            const bool stop = request->eventId == ids::req_PAL_STOPPAL;
            Core_TransInfo* completion = oem.MToem_CreateCompletionObj(request);
            oem.MToem_DeleteObj(request);
            {
                std::lock_guard<std::mutex> lock(mutex);
                toPost.push_back(completion);
                palDone = stop;
            }
            ready.notify_one();
            if (stop) return;
        }
    });
    std::thread talThread([&] {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return !toPost.empty() || palDone; });
            if (toPost.empty()) return;
            Core_TransInfo* completion = toPost.front();
            toPost.pop_front();
            lock.unlock();
            pal.MTpal_PostEventToServer(completion);
        }
    });

    for (uint32_t i = 1; i <= kRequests; ++i) {
        Core_TransInfo* request = oem.MToem_CreateObj(ids::req_PAL_PPLAY);
        request->handle = i;
        host.submit(request);
    }
    host.submit(oem.MToem_CreateObj(ids::req_PAL_STOPPAL));

    for (uint32_t i = 1; i <= kRequests; ++i) {
        MToem_Ptr<Ev_cmp_PAL_PPLAY> completion(host.waitPostedAs<Ev_cmp_PAL_PPLAY>(kHangGuard));
        ASSERT_NE(completion, nullptr) << "completion " << i;
        EXPECT_EQ(completion->handle, i);
    }
    MToem_Ptr<> stop(host.waitPosted(kHangGuard));
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->eventId, ids::cmp_PAL_STOPPAL);
    palThread.join();
    talThread.join();
    EXPECT_EQ(host.pendingRequests(), 0u);
    EXPECT_EQ(host.postedCount(), 0u);
}

TEST(NamesThreads, UnknownIdTextsAreKeptPerThread) {
    std::atomic<int> mismatches{0};
    auto worker = [&](uint32_t id) {
        char want[40];
        std::snprintf(want, sizeof want, "Unknown event 0x%08x", id);
        for (int i = 0; i < 2000; ++i) {
            const char* text = oem_ReturnEvtIdString(id);
            const char* error = oem_ReturnErrorString(static_cast<int32_t>(id & 0xffff));
            if (std::strcmp(text, want) != 0 || error == nullptr) ++mismatches;
        }
    };
    std::thread a(worker, 0x11111111u);
    std::thread b(worker, 0x22222222u);
    a.join();
    b.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// The host fills the buffer on its thread while the HAL pulls on another: every block arrives
// once, in order, and the end is seen only after the last block.
TEST(VoiceDataThreads, FilledOnOneThreadPulledOnAnother) {
    constexpr uint32_t kBlocks = 300;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    MThvdr_VoiceDataBuffer buffer;
    std::thread host([&] {
        for (uint32_t i = 0; i < kBlocks; ++i) {
            EXPECT_TRUE(buffer.MThvdr_AppendVoiceData(&i, sizeof i, i + 1 == kBlocks));
        }
    });
    MT_OEM oem;
    uint32_t expected = 0;
    bool sawLast = false;
    while (!buffer.MThvdr_isEOD()) {
        MThvdr_VoiceData* block = nullptr;
        if (!buffer.MThvdr_RetrieveVoiceData(block)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(block->dataLength, sizeof(uint32_t));
        uint32_t value = 0;
        std::memcpy(&value, block->dataBytes, sizeof value);
        EXPECT_EQ(value, expected);
        EXPECT_FALSE(sawLast);
        sawLast = block->streamState == eHVDR_EndOfStream;
        ++expected;
        oem.MToem_DeleteObj(block);
    }
    host.join();
    EXPECT_EQ(expected, kBlocks);
    EXPECT_TRUE(sawLast);
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

// One producer appends with the HAL's protocol; two consumers pop. Each event is taken exactly
// once, and each consumer sees its events in the order they were appended.
TEST(StreamQueueThreads, AppendAndPopAcrossThreads) {
    constexpr uint32_t kEvents = 400;
    MT_OEM oem;
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    {
        StreamQueue queue;
        std::atomic<uint32_t> taken{0};
        std::vector<int> seen(kEvents + 1, 0);
        std::mutex seenMutex;
        std::atomic<int> outOfOrder{0};

        auto consumer = [&] {
            uint32_t last = 0;
            while (taken.load() < kEvents) {
                Core_TransInfo* event = queue.pop(milliseconds(50));
                if (event == nullptr) continue;  // re-check whether everything was taken
                if (event->headerTag <= last) ++outOfOrder;
                last = event->headerTag;
                {
                    std::lock_guard<std::mutex> lock(seenMutex);
                    ++seen.at(event->headerTag);
                }
                oem.MToem_DeleteObj(event);
                ++taken;
            }
        };
        std::thread c1(consumer);
        std::thread c2(consumer);
        std::thread producer([&] {
            for (uint32_t tag = 1; tag <= kEvents; ++tag) {
                Core_TransInfo* event = oem.MToem_CreateObj(ids::ntf_PAL_VSDATA);
                event->headerTag = tag;
                CompThread::Guard guard(queue.cond);
                queue.events.push_back(event);
                queue.cond.broadcast();
            }
        });
        producer.join();
        c1.join();
        c2.join();
        EXPECT_EQ(taken.load(), kEvents);
        EXPECT_EQ(outOfOrder.load(), 0);
        for (uint32_t tag = 1; tag <= kEvents; ++tag) EXPECT_EQ(seen[tag], 1) << tag;
    }
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

// A consumer blocked in pop is woken by an append from another thread (no timeout involved: the
// wait is far longer than the test).
TEST(StreamQueueThreads, BlockedPopIsWokenByAppend) {
    MT_OEM oem;
    StreamQueue queue;
    uint32_t got = 0;
    std::thread consumer([&] {
        MToem_Ptr<> event(queue.pop(kHangGuard));
        if (event) got = event->eventId;
    });
    queue.append(oem.MToem_CreateObj(ids::ntf_PAL_VSDTMF));
    consumer.join();
    EXPECT_EQ(got, ids::ntf_PAL_VSDTMF);
}

}  // namespace
}  // namespace MTCore
