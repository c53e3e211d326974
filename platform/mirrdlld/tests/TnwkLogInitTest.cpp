// Initialisation reads the environment once per process, so each case runs in a fresh child
// process (a death test that must exit with 0); the child prints what went wrong.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LogTestSupport.h"

namespace {

std::vector<std::string> g_errors;
void recordError(int, int, const char* message, const char*, int) {
    g_errors.emplace_back(message != nullptr ? message : "(null)");
}

int g_callbacks = 0;
void countCallback(int, int, void*) {
    ++g_callbacks;
}

[[noreturn]] void finish(const std::string& failure) {
    if (!failure.empty()) {
        std::fprintf(stderr, "FAILED: %s\n", failure.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    std::_Exit(0);
}

#define CHILD_CHECK(cond)                               \
    do {                                                \
        if (!(cond)) {                                  \
            return std::string("check failed: " #cond); \
        }                                               \
    } while (0)

std::string environmentAppliedAtInit(const std::string& path) {
    // A filter that exists before initialisation is switched by it, with its callback called.
    tnwklog_test::TestFilter early("Early", "TIM Events", &countCallback, nullptr);
    CHILD_CHECK(TnwkLogFilterAppendSetting(early.key(), 3, "FILTER_INFO", 0) == 0);
    CHILD_CHECK(TnwkLogInitialized() == 0);

    setenv("TNWKLOG_OUTPUT", ("file:" + path).c_str(), 1);
    setenv("TNWKLOG_SETTINGS", "TIM Events=3,7-8;ShimPALMgr=-2", 1);
    CHILD_CHECK(TnwkLogInit("init_test", &recordError, 0, 1) == 0);
    CHILD_CHECK(TnwkLogInitialized() == 1);
    CHILD_CHECK(g_errors.empty());
    CHILD_CHECK(TnwkLogIsInterested(early.key(), 3) == 1);
    CHILD_CHECK(g_callbacks == 3);  // levels 3, 7 and 8 changed

    // Filters created after initialisation follow the same rules.
    tnwklog_test::TestFilter later("Trace Object", "TIM Events");
    tnwklog_test::TestFilter pump("Trace Object", "TIM_MANAGER");
    CHILD_CHECK(tnwklog_test::appendHalSettings(later.key()));
    CHILD_CHECK(tnwklog_test::appendHalSettings(pump.key()));
    CHILD_CHECK(TnwkLogSetFilterName(pump.key(), "ShimPALMgr") == 0);
    CHILD_CHECK(TnwkLogIsInterested(later.key(), 7) == 1);
    CHILD_CHECK(TnwkLogIsInterested(later.key(), 9) == 0);
    CHILD_CHECK(TnwkLogIsInterested(pump.key(), 2) == 0);
    CHILD_CHECK(TnwkLogIsInterested(pump.key(), 1) == 1);

    // A second initialisation changes nothing, the output included.
    setenv("TNWKLOG_OUTPUT", "none", 1);
    setenv("TNWKLOG_SETTINGS", "*=9", 1);
    CHILD_CHECK(TnwkLogInit("other", nullptr, 0, 0) == 0);
    CHILD_CHECK(TnwkLogIsInterested(later.key(), 9) == 0);
    CHILD_CHECK(TnwkLogLogMsg(later.key(), 7, "to the file", "i.cpp", 5) == 0);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    CHILD_CHECK(text.str().find("to the file") != std::string::npos);
    return "";
}

std::string badEnvironmentIsReported() {
    setenv("TNWKLOG_OUTPUT", "bogus", 1);
    setenv("TNWKLOG_SETTINGS", "TIM Events=3;broken", 1);
    CHILD_CHECK(TnwkLogInit("init_test", &recordError, 0, 1) == 0);
    CHILD_CHECK(TnwkLogInitialized() == 1);
    CHILD_CHECK(g_errors.size() == 2);
    CHILD_CHECK(g_errors[0].find("TNWKLOG_OUTPUT") != std::string::npos);
    CHILD_CHECK(g_errors[1].find("TNWKLOG_SETTINGS") != std::string::npos);
    // Nothing of the bad text was applied.
    tnwklog_test::TestFilter f("Trace Object", "TIM Events");
    CHILD_CHECK(TnwkLogFilterAppendSetting(f.key(), 3, "FILTER_INFO", 0) == 0);
    CHILD_CHECK(TnwkLogIsInterested(f.key(), 3) == 0);
    return "";
}

std::string disabledAtInit() {
    unsetenv("TNWKLOG_OUTPUT");
    unsetenv("TNWKLOG_SETTINGS");
    CHILD_CHECK(TnwkLogInit("init_test", &recordError, 0, 0) == 0);
    CHILD_CHECK(TnwkLogSetOutput("none") == 0);
    tnwklog_test::Capture cap;
    tnwklog_test::TestFilter f("Silent", "G");
    CHILD_CHECK(TnwkLogFilterAppendSetting(f.key(), 0, "FILTER_PANIC", 1) == 0);
    CHILD_CHECK(TnwkLogIsInterested(f.key(), 0) == 0);
    CHILD_CHECK(TnwkLogLogMsg(f.key(), 0, "silent", "i.cpp", 1) == 0);
    CHILD_CHECK(cap.seen().empty());
    return "";
}

class TnwkLogInitTest : public ::testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(TnwkLogInitTest, EnvironmentIsAppliedOnceAtInitialisation) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tnwklog_init." + std::to_string(::getpid()) + ".log");
    std::filesystem::remove(path);
    EXPECT_EXIT(finish(environmentAppliedAtInit(path.string())), ::testing::ExitedWithCode(0), "");
    std::filesystem::remove(path);
}

TEST_F(TnwkLogInitTest, BadEnvironmentIsReportedAndIgnored) {
    EXPECT_EXIT(finish(badEnvironmentIsReported()), ::testing::ExitedWithCode(0), "");
}

TEST_F(TnwkLogInitTest, DisabledLibraryWantsNothing) {
    EXPECT_EXIT(finish(disabledAtInit()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
