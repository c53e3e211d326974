#include <cstdlib>
#include <filesystem>
#include <string>

#include "TempDir.h"
#include "gtest/gtest.h"
#include "hardware/Description.h"

namespace {

// Each test leaves TARNWICK_HARDWARE as it found it.
class Environment : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* value = std::getenv(hw::kEnvironmentVariable)) {
            m_saved = value;
            m_wasSet = true;
        }
    }
    void TearDown() override {
        if (m_wasSet) {
            ::setenv(hw::kEnvironmentVariable, m_saved.c_str(), 1);
        } else {
            ::unsetenv(hw::kEnvironmentVariable);
        }
    }

    hwtest::TempDir m_dir;

  private:
    std::string m_saved;
    bool m_wasSet = false;
};

const char* const kOneModule =
    R"({"modules": [{"number": 9, "serialNumber": "77", "product": "Single",
                     "trunks": [{"type": "ANALOG", "channels": 4}]}]})";

TEST_F(Environment, UnsetOrEmptyMeansTheBuiltInDefault) {
    ::unsetenv(hw::kEnvironmentVariable);
    hw::LoadResult unset = hw::loadFromEnvironment();
    ASSERT_TRUE(unset.ok());
    EXPECT_EQ(unset.error(), nullptr);
    EXPECT_EQ(unset.value(), hw::builtinDefault());
    EXPECT_EQ(unset.source(), "built-in default");

    ::setenv(hw::kEnvironmentVariable, "", 1);
    hw::LoadResult empty = hw::loadFromEnvironment();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty.value(), hw::builtinDefault());
}

TEST_F(Environment, NamedFileIsRead) {
    const auto file = m_dir.write("one.json", kOneModule);
    ::setenv(hw::kEnvironmentVariable, file.c_str(), 1);
    hw::LoadResult result = hw::loadFromEnvironment();
    ASSERT_TRUE(result.ok()) << result.error()->what();
    EXPECT_EQ(result.source(), file.string());
    ASSERT_EQ(result.value().modules.size(), 1u);
    EXPECT_EQ(result.value().modules[0].number, 9u);
}

TEST_F(Environment, BrokenFileIsReportedNotReplacedByTheDefault) {
    const auto file = m_dir.write("broken.json", R"({"modules": [{"number": 200}]})");
    ::setenv(hw::kEnvironmentVariable, file.c_str(), 1);
    hw::LoadResult result = hw::loadFromEnvironment();
    ASSERT_FALSE(result.ok());
    ASSERT_NE(result.error(), nullptr);
    EXPECT_EQ(result.error()->file(), file.string());
    EXPECT_EQ(result.error()->place(), "/modules/0/number");
    EXPECT_EQ(result.source(), file.string());
    EXPECT_THROW(result.value(), hw::DescriptionError);
}

TEST_F(Environment, MissingFileIsReported) {
    ::setenv(hw::kEnvironmentVariable, (m_dir.path() / "nowhere.json").c_str(), 1);
    hw::LoadResult result = hw::loadFromEnvironment();
    ASSERT_FALSE(result.ok());
    EXPECT_NE(std::string(result.error()->what()).find("nowhere.json"), std::string::npos);
}

// current() keeps process-wide state, so each check runs in a fresh process of its own.
class CurrentDeathTest : public Environment {
  protected:
    void SetUp() override {
        Environment::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(CurrentDeathTest, BrokenFileMakesCurrentThrowAndLoadCurrentReport) {
    const auto file = m_dir.write("broken.json", "{");
    ::setenv(hw::kEnvironmentVariable, file.c_str(), 1);
    auto check = [this]() -> int {
        const hw::LoadResult& result = hw::loadCurrent();
        if (result.ok()) {
            return 2;
        }
        try {
            hw::current();
        } catch (const hw::DescriptionError& error) {
            return error.place() == "line 1, column 2" ? 0 : 3;
        }
        return 4;
    };
    // The child's scratch directory is removed before it ends, since exit() unwinds no stack.
    EXPECT_EXIT(
        {
            const int code = check();
            std::error_code ignored;
            std::filesystem::remove_all(m_dir.path(), ignored);
            std::exit(code);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
