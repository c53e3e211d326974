#include <cstdlib>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "../TempDir.h"
#include "gtest/gtest.h"
#include "hardware/Description.h"

namespace {

// Ends the child process; its scratch directory goes first, since exit() unwinds no stack.
[[noreturn]] void finish(int code, const std::filesystem::path& scratch) {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::exit(code);
}

// loadCurrent() is process-wide, so the check runs in a fresh process (the death-test child) in
// which nothing has looked at the description yet. It ends with exit() rather than _Exit() so that
// a sanitizer that found a race can still turn the exit code into a failure.
void loadFromManyThreadsAtOnce(const std::filesystem::path& file) {
    const auto scratch = file.parent_path();
    ::setenv(hw::kEnvironmentVariable, file.c_str(), 1);
    constexpr int kThreads = 8;
    std::vector<const hw::Description*> seen(kThreads, nullptr);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&seen, &start, i] {
            start.arrive_and_wait();  // all ask at once
            seen[static_cast<std::size_t>(i)] = &hw::current();
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const hw::Description* d : seen) {
        if (d != seen[0]) {
            finish(2, scratch);  // two loads: threads would see different machines
        }
    }
    if (seen[0]->modules.size() != 1 || seen[0]->modules[0].number != 9) {
        finish(3, scratch);  // not the file's description
    }
    // Later changes of the environment do not change the machine of this process.
    ::unsetenv(hw::kEnvironmentVariable);
    if (&hw::current() != seen[0] || hw::loadCurrent().source() != file.string()) {
        finish(4, scratch);
    }
    finish(0, scratch);
}

TEST(CurrentDeathTest, LoadsOnceForAllThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    hwtest::TempDir dir;
    const auto file = dir.write("one.json", R"({"modules": [{"number": 9, "serialNumber": "77",
        "product": "Single", "trunks": [{"type": "ANALOG", "channels": 4}]}]})");
    EXPECT_EXIT(loadFromManyThreadsAtOnce(file), ::testing::ExitedWithCode(0), "");
}

}  // namespace
