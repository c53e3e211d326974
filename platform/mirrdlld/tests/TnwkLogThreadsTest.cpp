#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../InterestTable.h"
#include "LogTestSupport.h"

namespace {

using tnwklog_test::Capture;
using tnwklog_test::TestFilter;
using namespace std::chrono_literals;

// A one-shot flag that threads can wait for (with a generous hang guard).
class Latch {
  public:
    void open() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            open_ = true;
        }
        cv_.notify_all();
    }
    bool wait() {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, 60s, [&] { return open_; });
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool open_ = false;
};

class TnwkLogThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogClearRules();
        ASSERT_EQ(TnwkLogSetOutput("none"), 0);
    }
    void TearDown() override { TnwkLogClearRules(); }
};

// Readers check a stable filter while other threads log, add and remove filters and switch
// settings: the stable answers never waver and every message of the stable filter is written.
TEST_F(TnwkLogThreads, CheckLogAddAndRemoveRunTogether) {
    constexpr int kRounds = 1500;
    Capture cap;
    TestFilter stable("Stable", "Threads");
    ASSERT_TRUE(tnwklog_test::appendHalSettings(stable.key()));

    std::atomic<int> wrongAnswers{0};
    std::atomic<int> failedLogs{0};
    std::atomic<int> stableLogged{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                if (TnwkLogIsInterested(stable.key(), 1) != 1 ||
                    TnwkLogIsInterested(stable.key(), 3) != 0) {
                    ++wrongAnswers;
                }
                if (TnwkLogLogMsg(stable.key(), 1, "stable", __FILE__, __LINE__) != 0) {
                    ++failedLogs;
                }
                ++stableLogged;
            }
        });
    }
    for (int c = 0; c < 2; ++c) {
        threads.emplace_back([&, c] {
            std::vector<char> keys(8);
            const std::string name = "Churn" + std::to_string(c);
            for (int i = 0; i < kRounds / 4; ++i) {
                for (auto& k : keys) {
                    TNWKLOG_FILTER t =
                        TnwkLogFilterNew(name.c_str(), "Churn", 1, 0, nullptr, nullptr);
                    if (t == nullptr || TnwkLogAddFilter(&k, t) != 0) {
                        ++failedLogs;
                    }
                    TnwkLogFilterDelete(t);
                    TnwkLogFilterAppendSetting(&k, 2, "FILTER_WARNING", 1);
                    if (TnwkLogLogMsg(&k, 2, "churn", __FILE__, __LINE__) != 0) {
                        ++failedLogs;
                    }
                }
                for (auto& k : keys) {
                    if (TnwkLogRemoveFilter(&k) != 0) {
                        ++failedLogs;
                    }
                    if (TnwkLogIsInterested(&k, 2) != 0) {
                        ++wrongAnswers;
                    }
                }
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds / 4; ++i) {
            TnwkLogSetSetting("Churn", 5, i % 2);
            TnwkLogSetSetting("Threads", 6, i % 2);
        }
    });
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(wrongAnswers.load(), 0);
    EXPECT_EQ(failedLogs.load(), 0);
    EXPECT_EQ(static_cast<int>(cap.of("Stable").size()), stableLogged.load());
}

// A filter's removal must wait for its callback running on another thread: after
// TnwkLogRemoveFilter returns, the callback's context may be gone.
TEST_F(TnwkLogThreads, RemovalWaitsForACallbackInProgress) {
    struct Ctx {
        Latch entered;
        Latch release;
        std::atomic<bool> finished{false};
    } ctx;
    auto* filter = new TestFilter(
        "Busy", "Threads",
        [](int, int, void* c) {
            auto* x = static_cast<Ctx*>(c);
            x->entered.open();
            x->release.wait();
            x->finished = true;
        },
        &ctx);
    std::thread switcher([] { TnwkLogSetSetting("Busy", 9, 1); });
    ASSERT_TRUE(ctx.entered.wait());
    std::atomic<bool> finishedWhenRemoved{false};
    std::thread remover([&] {
        delete filter;  // removes the filter
        finishedWhenRemoved = ctx.finished.load();
    });
    std::this_thread::sleep_for(20ms);  // lets the remover reach the wait; not needed to pass
    ctx.release.open();
    remover.join();
    switcher.join();
    EXPECT_TRUE(finishedWhenRemoved.load());
}

TEST_F(TnwkLogThreads, CallbackMayRemoveItsOwnFilter) {
    static std::atomic<const void*> self{nullptr};
    static std::atomic<int> removed{-2};
    TNWKLOG_FILTER t = TnwkLogFilterNew(
        "SelfRemove", "Threads", 1, 0,
        [](int, int, void*) { removed = TnwkLogRemoveFilter(self.load()); }, nullptr);
    static char key = 0;
    self = &key;
    ASSERT_EQ(TnwkLogAddFilter(&key, t), 0);
    TnwkLogFilterDelete(t);
    EXPECT_EQ(TnwkLogSetSetting("SelfRemove", 9, 1), 1);
    EXPECT_EQ(removed.load(), 0);
    EXPECT_EQ(TnwkLogIsInterested(&key, 9), 0);
}

TEST_F(TnwkLogThreads, ObserverRemovalWaitsForACallInProgress) {
    struct Ctx {
        Latch entered;
        Latch release;
        std::atomic<bool> finished{false};
    } ctx;
    TestFilter f("Observed", "Threads");
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);
    const int id = TnwkLogAddObserver(
        [](const TnwkLogRecord*, void* c) {
            auto* x = static_cast<Ctx*>(c);
            x->entered.open();
            x->release.wait();
            x->finished = true;
        },
        &ctx);
    ASSERT_GT(id, 0);
    std::thread logger([&] { TnwkLogLogMsg(f.key(), 1, "slow", __FILE__, __LINE__); });
    ASSERT_TRUE(ctx.entered.wait());
    std::atomic<bool> finishedWhenRemoved{false};
    std::thread remover([&] {
        TnwkLogRemoveObserver(id);
        finishedWhenRemoved = ctx.finished.load();
    });
    std::this_thread::sleep_for(20ms);  // lets the remover reach the wait; not needed to pass
    ctx.release.open();
    remover.join();
    logger.join();
    EXPECT_TRUE(finishedWhenRemoved.load());
}

// Lock-free readers against a writer that forces the table to move between its halves.
TEST(InterestTableThreads, ReadersSeeStableKeysThroughRebuilds) {
    static tnwklog::InterestTable<64> table;  // static: as the library holds it
    static std::vector<char> stable(4);
    std::mutex writerMu;  // the table's writers must be serialised
    for (std::size_t i = 0; i < stable.size(); ++i) {
        std::lock_guard<std::mutex> lock(writerMu);
        ASSERT_TRUE(table.insert(&stable[i], 1U << i));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                for (std::size_t i = 0; i < stable.size(); ++i) {
                    if (!table.interested(&stable[i], static_cast<unsigned>(i)) ||
                        table.interested(&stable[i], static_cast<unsigned>(i + 1))) {
                        ++wrong;
                    }
                }
            }
        });
    }
    std::vector<char> churn(20000);
    for (std::size_t i = 0; i + 8 <= churn.size(); i += 8) {
        std::lock_guard<std::mutex> lock(writerMu);
        for (std::size_t k = i; k < i + 8; ++k) {
            table.insert(&churn[k], 0xffffffffU);
        }
        for (std::size_t k = i; k < i + 8; ++k) {
            table.erase(&churn[k]);
        }
    }
    stop = true;
    for (auto& t : readers) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(table.rebuilds(), 0U);
}

}  // namespace
