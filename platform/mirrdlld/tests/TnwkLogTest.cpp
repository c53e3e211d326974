#include <gtest/gtest.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../LogOutput.h"
#include "../LogSettings.h"
#include "LogTestSupport.h"

namespace {

using tnwklog_test::Capture;
using tnwklog_test::Seen;
using tnwklog_test::TestFilter;

// What the library reported through its error callback.
std::mutex g_errorsMu;
std::vector<std::string> g_errors;

void recordError(int, int, const char* message, const char* file, int line) {
    std::lock_guard<std::mutex> lock(g_errorsMu);
    g_errors.push_back(std::string(message ? message : "(null)") + " @" + (file ? file : "?") +
                       ":" + std::to_string(line));
}

std::vector<std::string> takeErrors() {
    std::lock_guard<std::mutex> lock(g_errorsMu);
    return std::exchange(g_errors, {});
}

class InitEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // The suite must not depend on the developer's own settings.
        unsetenv("TNWKLOG_SETTINGS");
        unsetenv("TNWKLOG_OUTPUT");
        ASSERT_EQ(TnwkLogInit("mirrdlld_test", &recordError, 0, 1), 0);
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new InitEnvironment);

class TnwkLog : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogClearRules();
        ASSERT_EQ(TnwkLogSetOutput("none"), 0);
        takeErrors();
    }
    void TearDown() override {
        TnwkLogClearRules();
        TnwkLogSetOutput("none");
    }
};

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A file under the system's temporary directory, removed at the end of the test.
class TempFile {
  public:
    explicit TempFile(const std::string& stem)
        : path_(std::filesystem::temp_directory_path() /
                (stem + "." + std::to_string(::getpid()) + ".log")) {
        std::filesystem::remove(path_);
    }
    ~TempFile() { std::filesystem::remove(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::string output() const { return "file:" + path_.string(); }

  private:
    std::filesystem::path path_;
};

TEST_F(TnwkLog, FilteredOutLevelLogsNothingAndSwitchedOnLevelDoes) {
    Capture cap;
    TestFilter f("Trace Object", "TIM Events");
    ASSERT_TRUE(f.added());
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    ASSERT_EQ(TnwkLogSetFilterName(f.key(), "req_PAL_PPLAY"), 0);

    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 0);
    EXPECT_EQ(TnwkLogLogMsg(f.key(), 7, "CProcess_req_PAL_PPLAY::CreateTalEvent", "play.cpp", 10),
              0);
    EXPECT_TRUE(cap.of("req_PAL_PPLAY").empty());

    EXPECT_EQ(TnwkLogSetSetting("req_PAL_PPLAY", 7, 1), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 1);
    EXPECT_EQ(TnwkLogLogMsg(f.key(), 7, "entered", "play.cpp", 11), 0);

    const auto seen = cap.of("req_PAL_PPLAY");
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].group, "TIM Events");
    EXPECT_EQ(seen[0].level, 7);
    EXPECT_EQ(seen[0].text, "entered");
    EXPECT_EQ(seen[0].file, "play.cpp");
    EXPECT_EQ(seen[0].line, 11);
    EXPECT_EQ(seen[0].threadId, static_cast<unsigned long>(::gettid()));

    EXPECT_EQ(TnwkLogSetSetting("req_PAL_PPLAY", 7, 0), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 0);
    EXPECT_EQ(TnwkLogLogMsg(f.key(), 7, "again", "play.cpp", 12), 0);
    EXPECT_EQ(cap.of("req_PAL_PPLAY").size(), 1U);
}

TEST_F(TnwkLog, SettingsStartAtTheirDefaults) {
    TestFilter f("Defaults", "TIM_MANAGER");
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    for (const auto& d : tnwklog_test::halSettings()) {
        EXPECT_EQ(TnwkLogIsInterested(f.key(), d.level), d.defaultValue) << d.name;
    }
    // Levels without a setting, and levels out of range, are not wanted.
    for (int level : {5, 6, 11, 31, -1, 32, 1000}) {
        EXPECT_EQ(TnwkLogIsInterested(f.key(), level), 0) << level;
    }
    // The pump adds 5 and 6, both on; redefining a setting takes its new default.
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 5, "FILTER_EVENT_SENT", 1), 0);
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 6, "FILTER_EVENT_RECEIVED", 1), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 5), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 6), 1);
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 3, "FILTER_INFO", 1), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 3), 1);
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 0, "FILTER_PANIC", 0), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 0), 0);
}

TEST_F(TnwkLog, DisabledFilterWantsNothing) {
    TestFilter f("Disabled", "G", nullptr, nullptr, 0);
    ASSERT_TRUE(f.added());
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 0), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 1), 0);
}

struct CallbackLog {
    std::vector<std::tuple<int, int, void*>> calls;
    static void onSetting(int setting, int value, void* context) {
        static_cast<CallbackLog*>(context)->calls.emplace_back(setting, value, context);
    }
};

TEST_F(TnwkLog, RunTimeSwitchCallsTheSettingCallbackOncePerChange) {
    CallbackLog log;
    TestFilter f("HalSystemMgr", "TIM_MANAGER", &CallbackLog::onSetting, &log);
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    EXPECT_TRUE(log.calls.empty()) << "defaults are not switches";

    EXPECT_EQ(TnwkLogSetSetting("HalSystemMgr", 9, 1), 1);
    ASSERT_EQ(log.calls.size(), 1U);
    EXPECT_EQ(log.calls[0], std::make_tuple(9, 1, static_cast<void*>(&log)));

    // Switching to the value it already has changes nothing and calls nothing.
    EXPECT_EQ(TnwkLogSetSetting("HalSystemMgr", 9, 1), 0);
    EXPECT_EQ(log.calls.size(), 1U);

    EXPECT_EQ(TnwkLogSetSetting("TIM_MANAGER", 9, 0), 1);
    ASSERT_EQ(log.calls.size(), 2U);
    EXPECT_EQ(log.calls[1], std::make_tuple(9, 0, static_cast<void*>(&log)));

    // A text switching several levels calls once for each level that changed.
    ASSERT_EQ(TnwkLogApplySettings("HalSystemMgr=7-8,1"), 0);
    ASSERT_EQ(log.calls.size(), 4U);
    EXPECT_EQ(std::get<0>(log.calls[2]), 7);
    EXPECT_EQ(std::get<0>(log.calls[3]), 8);
}

TEST_F(TnwkLog, CallbackMayCallBackIntoTheLibrary) {
    struct Ctx {
        const void* key;
        int logged = -2;
    };
    static Ctx* current = nullptr;
    TestFilter f("Reentrant", "G", [](int, int, void*) {
        current->logged = TnwkLogLogMsg(current->key, 9, "status dump", __FILE__, __LINE__);
    });
    Ctx ctx{f.key()};
    current = &ctx;
    Capture cap;
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 9, "FILTER_STATUS", 0), 0);
    ASSERT_EQ(TnwkLogSetSetting("Reentrant", 9, 1), 1);
    EXPECT_EQ(ctx.logged, 0);
    EXPECT_EQ(cap.of("Reentrant").size(), 1U);
    current = nullptr;
}

TEST_F(TnwkLog, RulesByGroupApplyToFiltersAddedLater) {
    EXPECT_EQ(TnwkLogSetSetting("Later Group", 7, 1), 0);  // no filter changed yet
    EXPECT_EQ(TnwkLogSetSetting("Later Group", 1, 0), 0);

    CallbackLog log;
    TestFilter f("Trace Object", "Later Group", &CallbackLog::onSetting, &log);
    TestFilter other("Trace Object", "Other Group");
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    ASSERT_TRUE(tnwklog_test::appendHalSettings(other.key()));

    // The rule overrides the defaults given after the filter was added.
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 1), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 2), 1);
    EXPECT_EQ(TnwkLogIsInterested(other.key(), 7), 0);
    EXPECT_EQ(TnwkLogIsInterested(other.key(), 1), 1);
    EXPECT_TRUE(log.calls.empty()) << "rules met on creation are not run-time switches";
}

TEST_F(TnwkLog, RulesByNameApplyWhenTheFilterIsRenamed) {
    // The HAL creates every filter as "Trace Object" and names it afterwards.
    ASSERT_EQ(TnwkLogApplySettings("ShimPALMgr=7,8"), 0);
    TestFilter f("Trace Object", "TIM_MANAGER");
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 0);
    ASSERT_EQ(TnwkLogSetFilterName(f.key(), "ShimPALMgr"), 0);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 7), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 8), 1);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 9), 0);
}

TEST_F(TnwkLog, LaterRulesWinAndClearedRulesReachNoNewFilter) {
    TestFilter a("Order A", "Order Group");
    ASSERT_EQ(TnwkLogApplySettings("Order Group=7;Order A=-7"), 0);
    EXPECT_EQ(TnwkLogIsInterested(a.key(), 7), 0);
    ASSERT_EQ(TnwkLogApplySettings("Order A=-7;Order Group=7"), 0);
    EXPECT_EQ(TnwkLogIsInterested(a.key(), 7), 1);

    ASSERT_EQ(TnwkLogApplySettings("*=10"), 0);
    TestFilter b("Order B", "Elsewhere");
    EXPECT_EQ(TnwkLogIsInterested(b.key(), 10), 1);

    TnwkLogClearRules();
    TestFilter c("Order C", "Order Group");
    EXPECT_EQ(TnwkLogIsInterested(c.key(), 7), 0);
    EXPECT_EQ(TnwkLogIsInterested(c.key(), 10), 0);
    EXPECT_EQ(TnwkLogIsInterested(a.key(), 7), 1) << "existing filters keep their values";
}

struct ParseCase {
    const char* text;
    std::vector<tnwklog::Rule> rules;
};

TEST(TnwkLogSettingsText, GoodTextsGiveTheirRulesInOrder) {
    using R = tnwklog::Rule;
    const std::vector<ParseCase> cases = {
        {"", {}},
        {" ; ;", {}},
        {"ShimPALMgr=7,8", {R{"ShimPALMgr", 7, true}, R{"ShimPALMgr", 8, true}}},
        {"TIM Events=3", {R{"TIM Events", 3, true}}},
        {"ShimPALMgr=7,8;TIM Events=3",
         {R{"ShimPALMgr", 7, true}, R{"ShimPALMgr", 8, true}, R{"TIM Events", 3, true}}},
        {" *  = 0 , 31 ;", {R{"*", 0, true}, R{"*", 31, true}}},
        {"A=7-9", {R{"A", 7, true}, R{"A", 8, true}, R{"A", 9, true}}},
        {"A=-7-8,-2,4-4", {R{"A", 7, false}, R{"A", 8, false}, R{"A", 2, false}, R{"A", 4, true}}},
        {"A=05", {R{"A", 5, true}}},
    };
    for (const auto& c : cases) {
        std::vector<tnwklog::Rule> rules;
        std::string error;
        EXPECT_TRUE(tnwklog::parseSettings(c.text, rules, error)) << c.text << ": " << error;
        EXPECT_EQ(rules, c.rules) << c.text;
    }
}

TEST_F(TnwkLog, BadSettingsTextsAreRefusedAndChangeNothing) {
    const char* const bad[] = {
        "A",     "A=",    "=7",    " =7",   "A=32",   "A=-1-",       "A=7-",    "A=-",
        "A=x",   "A=7x",  "A=1.5", "A=8-7", "A=7,,8", "A=7,",        "A=+7",    "A=100",
        "A=0x7", "A=7;B", "A=7 8", "A=--7", "A=7=8",  "Good=7;Bad=", "A=-7--8", "A=999999999999",
    };
    TestFilter probe("A", "Good");
    for (const char* text : bad) {
        std::vector<tnwklog::Rule> rules;
        std::string error;
        EXPECT_FALSE(tnwklog::parseSettings(text, rules, error)) << text;
        EXPECT_TRUE(rules.empty()) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(TnwkLogApplySettings(text), -1) << text;
        EXPECT_EQ(TnwkLogIsInterested(probe.key(), 7), 0) << text << " changed a setting";
    }
}

TEST_F(TnwkLog, RemovedFilterIsNoLongerKnown) {
    Capture cap;
    alignas(8) static char keyObject = 0;
    const void* key = &keyObject;
    {
        TNWKLOG_FILTER t = TnwkLogFilterNew("Removed", "G", 1, 0, nullptr, nullptr);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(TnwkLogAddFilter(key, t), 0);
        TnwkLogFilterDelete(t);  // the registered copy does not need the template
    }
    ASSERT_EQ(TnwkLogFilterAppendSetting(key, 1, "FILTER_ERROR", 1), 0);
    ASSERT_EQ(TnwkLogIsInterested(key, 1), 1);
    ASSERT_EQ(TnwkLogRemoveFilter(key), 0);

    EXPECT_EQ(TnwkLogIsInterested(key, 1), 0);
    EXPECT_EQ(TnwkLogLogMsg(key, 1, "after removal", "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogRemoveFilter(key), -1);
    EXPECT_EQ(TnwkLogSetFilterName(key, "x"), -1);
    EXPECT_EQ(TnwkLogFilterAppendSetting(key, 1, "FILTER_ERROR", 1), -1);
    EXPECT_TRUE(cap.of("Removed").empty());

    // The key can be used again and starts afresh.
    TNWKLOG_FILTER t = TnwkLogFilterNew("Again", "G", 1, 0, nullptr, nullptr);
    ASSERT_EQ(TnwkLogAddFilter(key, t), 0);
    TnwkLogFilterDelete(t);
    EXPECT_EQ(TnwkLogIsInterested(key, 1), 0);
    EXPECT_EQ(TnwkLogRemoveFilter(key), 0);
}

TEST_F(TnwkLog, AddingUnderAnExistingKeyReplacesTheFilter) {
    Capture cap;
    TestFilter f("First", "G");
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);
    TNWKLOG_FILTER t = TnwkLogFilterNew("Second", "G", 1, 0, nullptr, nullptr);
    ASSERT_EQ(TnwkLogAddFilter(f.key(), t), 0);
    TnwkLogFilterDelete(t);
    EXPECT_EQ(TnwkLogIsInterested(f.key(), 1), 0) << "settings belong to the replaced filter";
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 1, "x", "f.cpp", 1), 0);
    EXPECT_TRUE(cap.of("First").empty());
    EXPECT_EQ(cap.of("Second").size(), 1U);
}

TEST_F(TnwkLog, FileOutputWritesOneLinePerMessageInTheLineFormat) {
    TempFile file("tnwklog_format");
    { std::ofstream(file.path()) << "kept\n"; }
    ASSERT_EQ(TnwkLogSetOutput(file.output().c_str()), 0);
    TestFilter f("Trace Object", "TIM_MANAGER");
    ASSERT_TRUE(tnwklog_test::appendHalSettings(f.key()));
    ASSERT_EQ(TnwkLogSetFilterName(f.key(), "ShimPALMgr"), 0);
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 5, "FILTER_EVENT_SENT", 1), 0);
    ASSERT_EQ(TnwkLogSetSetting("ShimPALMgr", 12, 1), 1);

    ASSERT_EQ(TnwkLogLogMsg(f.key(), 1, "Unsupported event req_PAL_X", "/src/hal/Pump.cpp", 42), 0);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 12, "two\nlines\tand\x01", nullptr, 7), 0);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 5, "100%s %n %d", "p.cpp", 1), 0);
    ASSERT_EQ(TnwkLogSetOutput("none"), 0);

    std::vector<std::string> lines;
    std::istringstream in(readFile(file.path()));
    for (std::string l; std::getline(in, l);) {
        lines.push_back(l);
    }
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "kept") << "the file is appended to";
    const std::string tid = std::to_string(::gettid());
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + " " + tid +
                                                      R"( \[ShimPALMgr\] 1\(FILTER_ERROR\) )"
                                                      R"(/src/hal/Pump\.cpp:42 )"
                                                      R"(Unsupported event req_PAL_X)")))
        << lines[1];
    // No setting name for level 12; no file; control characters escaped.
    EXPECT_TRUE(std::regex_match(
        lines[2],
        std::regex(stamp + " " + tid + R"( \[ShimPALMgr\] 12 \?:7 two\\nlines\\tand\\x01)")))
        << lines[2];
    // Text is data, never a format.
    EXPECT_TRUE(lines[3].ends_with("5(FILTER_EVENT_SENT) p.cpp:1 100%s %n %d")) << lines[3];
}

TEST_F(TnwkLog, OutputSwitchRefusesBadChoicesAndKeepsTheOldOne) {
    TempFile file("tnwklog_keep");
    ASSERT_EQ(TnwkLogSetOutput(file.output().c_str()), 0);
    for (const char* bad :
         {"", "bogus", "file:", "FILE:/tmp/x", "stderr ", "file:/nonexistent-dir-tnwklog/x.log"}) {
        EXPECT_EQ(TnwkLogSetOutput(bad), -1) << bad;
    }
    EXPECT_EQ(TnwkLogSetOutput(nullptr), -1);
    TestFilter f("Keep", "G");
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 1, "still here", "k.cpp", 3), 0);
    ASSERT_EQ(TnwkLogSetOutput("none"), 0);
    EXPECT_NE(readFile(file.path()).find("still here"), std::string::npos);

    // Every good choice is accepted.
    for (const char* good : {"stderr", "syslog", "none"}) {
        EXPECT_EQ(TnwkLogSetOutput(good), 0) << good;
    }
}

TEST_F(TnwkLog, WriteFailureIsReportedThroughTheErrorCallback) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    Capture cap;
    TestFilter f("Full", "G");
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);
    ASSERT_EQ(TnwkLogSetOutput("file:/dev/full"), 0);
    EXPECT_EQ(TnwkLogLogMsg(f.key(), 1, "lost", "f.cpp", 1), -1);
    ASSERT_EQ(TnwkLogSetOutput("none"), 0);
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("/dev/full"), std::string::npos) << errors[0];
    // Observers still see the message.
    EXPECT_EQ(cap.of("Full").size(), 1U);
}

TEST_F(TnwkLog, UnknownKeysAndNullPointersAreErrors) {
    Capture cap;
    int unknown = 0;
    EXPECT_EQ(TnwkLogIsInterested(&unknown, 0), 0);
    EXPECT_EQ(TnwkLogIsInterested(nullptr, 0), 0);
    EXPECT_EQ(TnwkLogLogMsg(&unknown, 0, "nobody", "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogLogMsg(nullptr, 0, "nobody", "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogSetFilterName(&unknown, "x"), -1);
    EXPECT_EQ(TnwkLogFilterAppendSetting(&unknown, 1, "FILTER_ERROR", 1), -1);
    EXPECT_EQ(TnwkLogRemoveFilter(&unknown), -1);
    EXPECT_EQ(TnwkLogRemoveFilter(nullptr), -1);

    EXPECT_EQ(TnwkLogFilterNew(nullptr, "G", 1, 0, nullptr, nullptr), nullptr);
    TnwkLogFilterDelete(nullptr);
    TNWKLOG_FILTER t = TnwkLogFilterNew("Nulls", nullptr, 1, 0, nullptr, nullptr);
    ASSERT_NE(t, nullptr) << "a null group is the empty group";
    EXPECT_EQ(TnwkLogAddFilter(nullptr, t), -1);
    EXPECT_EQ(TnwkLogAddFilter(&unknown, nullptr), -1);
    ASSERT_EQ(TnwkLogAddFilter(&unknown, t), 0);
    TnwkLogFilterDelete(t);

    EXPECT_EQ(TnwkLogSetFilterName(&unknown, nullptr), -1);
    EXPECT_EQ(TnwkLogFilterAppendSetting(&unknown, 1, nullptr, 1), -1);
    EXPECT_EQ(TnwkLogFilterAppendSetting(&unknown, 32, "X", 1), -1);
    EXPECT_EQ(TnwkLogFilterAppendSetting(&unknown, -1, "X", 1), -1);
    ASSERT_EQ(TnwkLogFilterAppendSetting(&unknown, 1, "FILTER_ERROR", 1), 0);
    EXPECT_EQ(TnwkLogLogMsg(&unknown, 1, nullptr, "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogLogMsg(&unknown, 32, "x", "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogLogMsg(&unknown, -1, "x", "f.cpp", 1), -1);
    EXPECT_EQ(TnwkLogLogMsg(&unknown, 1, "no file", nullptr, 0), 0);

    const auto seen = cap.of("Nulls");
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].text, "no file");
    EXPECT_EQ(seen[0].group, "");
    EXPECT_EQ(seen[0].file, "");

    EXPECT_EQ(TnwkLogSetSetting(nullptr, 1, 1), -1);
    EXPECT_EQ(TnwkLogSetSetting("", 1, 1), -1);
    EXPECT_EQ(TnwkLogSetSetting("Nulls", 32, 1), -1);
    EXPECT_EQ(TnwkLogSetSetting("Nulls", -1, 1), -1);
    EXPECT_EQ(TnwkLogApplySettings(nullptr), -1);
    EXPECT_EQ(TnwkLogAddObserver(nullptr, nullptr), -1);
    TnwkLogRemoveObserver(-1);
    TnwkLogRemoveObserver(1 << 30);
    EXPECT_EQ(TnwkLogRemoveFilter(&unknown), 0);
}

TEST_F(TnwkLog, FilterTableRefusesFiltersBeyondItsCapacity) {
    std::vector<char> keys(TNWKLOG_MAX_FILTERS + 1);
    TNWKLOG_FILTER t = TnwkLogFilterNew("Bulk", "Bulk", 1, 0, nullptr, nullptr);
    std::size_t added = 0;
    while (added < keys.size() && TnwkLogAddFilter(&keys[added], t) == 0) {
        ++added;
    }
    // Filters of other tests may still be registered in this process, none beyond the limit.
    EXPECT_LE(added, static_cast<std::size_t>(TNWKLOG_MAX_FILTERS));
    EXPECT_GT(added, static_cast<std::size_t>(TNWKLOG_MAX_FILTERS) - 64);
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("full"), std::string::npos) << errors[0];

    // Every registered filter still answers; freeing one makes room for the refused one.
    ASSERT_EQ(TnwkLogSetSetting("Bulk", 3, 1), static_cast<int>(added));
    for (std::size_t i = 0; i < added; ++i) {
        ASSERT_EQ(TnwkLogIsInterested(&keys[i], 3), 1) << i;
    }
    ASSERT_EQ(TnwkLogRemoveFilter(&keys[0]), 0);
    EXPECT_EQ(TnwkLogAddFilter(&keys[added], t), 0);
    EXPECT_EQ(TnwkLogIsInterested(&keys[added], 3), 1);
    EXPECT_EQ(TnwkLogIsInterested(&keys[0], 3), 0);
    for (std::size_t i = 1; i <= added; ++i) {
        ASSERT_EQ(TnwkLogRemoveFilter(&keys[i]), 0) << i;
    }
    TnwkLogFilterDelete(t);
}

TEST_F(TnwkLog, RemovedObserverSeesNoMoreAndMayRemoveItself) {
    TestFilter f("Observed", "G");
    ASSERT_EQ(TnwkLogFilterAppendSetting(f.key(), 1, "FILTER_ERROR", 1), 0);

    struct SelfRemoving {
        int id = -1;
        int calls = 0;
        static void observe(const TnwkLogRecord*, void* context) {
            auto* self = static_cast<SelfRemoving*>(context);
            ++self->calls;
            TnwkLogRemoveObserver(self->id);
        }
    } self;
    self.id = TnwkLogAddObserver(&SelfRemoving::observe, &self);
    ASSERT_GT(self.id, 0);

    std::optional<Capture> cap(std::in_place);
    ASSERT_NE(cap->id(), self.id);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 1, "one", "o.cpp", 1), 0);
    ASSERT_EQ(TnwkLogLogMsg(f.key(), 1, "two", "o.cpp", 2), 0);
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(cap->of("Observed").size(), 2U);
    cap.reset();
    EXPECT_EQ(TnwkLogLogMsg(f.key(), 1, "three", "o.cpp", 3), 0);  // nobody observing: no crash
}

TEST(TnwkLogOutputFormat, SyslogPriorityFollowsTheLevel) {
    const std::vector<std::pair<int, int>> cases = {
        {0, LOG_CRIT},   {1, LOG_ERR},   {2, LOG_WARNING}, {3, LOG_INFO},
        {4, LOG_NOTICE}, {5, LOG_DEBUG}, {10, LOG_DEBUG},  {31, LOG_DEBUG},
    };
    for (const auto& [level, priority] : cases) {
        EXPECT_EQ(tnwklog::syslogPriority(level), priority) << level;
    }
}

TEST(TnwkLogOutputFormat, TimeStampCarriesMillisecondsAndOffset) {
    const char* oldTz = std::getenv("TZ");
    const std::optional<std::string> savedTz =
        oldTz != nullptr ? std::optional<std::string>(oldTz) : std::nullopt;
    setenv("TZ", "UTC0", 1);
    tzset();
    const timespec when{86400 * 365 + 3661, 7000000};  // 1971-01-01T01:01:01.007
    std::size_t body = 0;
    const std::string line =
        tnwklog::formatLine(when, 42, "F", 3, "FILTER_INFO", "a.cpp", 9, "t", &body);
    const std::string west = [&] {
        setenv("TZ", "XST5", 1);  // five hours west of UTC, no summer time
        tzset();
        return tnwklog::formatLine(when, 42, "F", 3, "", "a.cpp", 9, "t");
    }();
    if (savedTz) {
        setenv("TZ", savedTz->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_EQ(west, "1970-12-31T20:01:01.007-05:00 42 [F] 3 a.cpp:9 t\n");
    EXPECT_EQ(line, "1971-01-01T01:01:01.007+00:00 42 [F] 3(FILTER_INFO) a.cpp:9 t\n");
    EXPECT_EQ(line.substr(body), "42 [F] 3(FILTER_INFO) a.cpp:9 t\n");
}

}  // namespace
