#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "compthread/CompThread.h"

namespace {

using CompThread::Cond;
using CompThread::Guard;
using CompThread::Mutex;
using namespace std::chrono_literals;

// Generous bound for waits that only guard against a hang; never reached when the code works.
constexpr uint32_t kHangGuardMs = 60000;

// Runs tryLock on another thread (trying a mutex the caller holds is not allowed on its own
// thread) and unlocks again when it succeeded.
bool lockableFromOtherThread(Mutex& m) {
    bool got = false;
    std::thread t([&] {
        got = m.tryLock();
        if (got) {
            m.unlock();
        }
    });
    t.join();
    return got;
}

TEST(CompThreadMutex, GuardHoldsTheLockForItsScope) {
    Mutex m;
    {
        Guard g(m);
        EXPECT_FALSE(lockableFromOtherThread(m));
    }
    EXPECT_TRUE(lockableFromOtherThread(m));
}

TEST(CompThreadMutex, TryLockFailsWhileAnotherThreadHoldsIt) {
    Mutex m;
    ASSERT_TRUE(m.tryLock());
    EXPECT_FALSE(lockableFromOtherThread(m));
    m.unlock();
    EXPECT_TRUE(lockableFromOtherThread(m));
}

TEST(CompThreadMutex, ExcludesConcurrentIncrements) {
    Mutex m;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 10000; ++n) {
                Guard g(m);
                ++counter;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(counter, 40000);
}

// The waiter can only see `ready` if the signaller could take the lock while it waited: wait
// must release the lock and hold it again on return.
TEST(CompThreadCond, WaitReleasesTheLockAndWakesOnSignal) {
    Cond c;
    bool ready = false;
    bool heldAfterWait = false;
    std::thread waiter([&] {
        Guard g(c);
        while (!ready) {
            ASSERT_TRUE(c.timedWait(kHangGuardMs)) << "no signal arrived";
        }
        heldAfterWait = !lockableFromOtherThread(c);
    });
    {
        Guard g(c);
        ready = true;
    }
    c.signal();
    waiter.join();
    EXPECT_TRUE(heldAfterWait);
}

TEST(CompThreadCond, UntimedWaitReturnsAfterSignalUnderTheLock) {
    Cond c;
    int stage = 0;
    std::thread waiter([&] {
        Guard g(c);
        stage = 1;
        c.signal();
        while (stage != 2) {
            c.wait();
        }
        stage = 3;
        c.signal();
    });
    {
        Guard g(c);
        while (stage != 1) {
            c.wait();
        }
        stage = 2;
        c.signal();  // signalled with the lock held
        while (stage != 3) {
            c.wait();
        }
    }
    waiter.join();
    EXPECT_EQ(stage, 3);
}

// Waits, polling under the lock, until pred() holds or the hang guard runs out.
template <typename Pred>
bool pollUnderLock(Mutex& m, Pred pred, std::chrono::seconds guard) {
    const auto deadline = std::chrono::steady_clock::now() + guard;
    for (;;) {
        {
            Guard g(m);
            if (pred()) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
}

// The waiters wake nobody themselves, so only the one broadcast can have woken them all.
TEST(CompThreadCond, BroadcastWakesEveryWaiter) {
    constexpr int kWaiters = 4;
    Cond c;
    int waiting = 0;
    int woken = 0;
    bool go = false;
    std::vector<std::thread> threads;
    for (int i = 0; i < kWaiters; ++i) {
        threads.emplace_back([&] {
            Guard g(c);
            ++waiting;
            while (!go) {
                c.wait();
            }
            ++woken;
        });
    }
    // Every waiter incremented `waiting` under the lock and released it only by waiting.
    ASSERT_TRUE(pollUnderLock(
        c, [&] { return waiting == kWaiters; }, 60s));
    {
        Guard g(c);
        go = true;
    }
    c.broadcast();  // one call, with the lock not held
    EXPECT_TRUE(pollUnderLock(
        c, [&] { return woken == kWaiters; }, 10s))
        << "broadcast woke only some waiters";
    // Release any waiter a faulty broadcast left behind, so that the threads can be joined.
    while (!pollUnderLock(
        c, [&] { return woken == kWaiters; }, 0s)) {
        c.signal();
        std::this_thread::sleep_for(1ms);
    }
    for (auto& t : threads) {
        t.join();
    }
}

TEST(CompThreadCond, TimedWaitTimesOutWithoutSignalAndHoldsTheLock) {
    Cond c;
    Guard g(c);
    const auto start = std::chrono::steady_clock::now();
    // A spurious wake-up may end a wait early; a timeout must come eventually.
    bool timedOut = false;
    for (int attempt = 0; attempt < 100 && !timedOut; ++attempt) {
        timedOut = !c.timedWait(20);
    }
    EXPECT_TRUE(timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
    EXPECT_FALSE(lockableFromOtherThread(c));
}

TEST(CompThreadCond, TimedWaitZeroReturnsAtOnce) {
    Cond c;
    Guard g(c);
    bool timedOut = false;
    for (int attempt = 0; attempt < 100 && !timedOut; ++attempt) {
        timedOut = !c.timedWait(0);
    }
    EXPECT_TRUE(timedOut);
}

}  // namespace
