// System error texts and debugger output.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::readFile;
using tarnwick::testing::TempDir;

// Every code that the subset returns has a text, as callers print them.
TEST(FormatMessage, EveryCodeOfTheSubsetHasASystemText) {
    const DWORD codes[] = {ERROR_SUCCESS,
                           ERROR_INVALID_FUNCTION,
                           ERROR_FILE_NOT_FOUND,
                           ERROR_PATH_NOT_FOUND,
                           ERROR_ACCESS_DENIED,
                           ERROR_INVALID_HANDLE,
                           ERROR_NOT_ENOUGH_MEMORY,
                           ERROR_INVALID_DATA,
                           ERROR_OUTOFMEMORY,
                           ERROR_INVALID_PARAMETER,
                           ERROR_DISK_FULL,
                           ERROR_CALL_NOT_IMPLEMENTED,
                           ERROR_INSUFFICIENT_BUFFER,
                           ERROR_INVALID_NAME,
                           ERROR_BAD_PATHNAME,
                           ERROR_BUSY,
                           ERROR_MORE_DATA,
                           ERROR_NO_MORE_ITEMS,
                           ERROR_MR_MID_NOT_FOUND,
                           ERROR_CANTOPEN,
                           ERROR_REGISTRY_CORRUPT,
                           ERROR_REGISTRY_IO_FAILED,
                           ERROR_KEY_DELETED,
                           ERROR_INVALID_SERVICE_CONTROL,
                           ERROR_SERVICE_ALREADY_RUNNING,
                           ERROR_SERVICE_DISABLED,
                           ERROR_SERVICE_DOES_NOT_EXIST,
                           ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                           ERROR_SERVICE_NOT_ACTIVE,
                           ERROR_DATABASE_DOES_NOT_EXIST,
                           ERROR_SERVICE_MARKED_FOR_DELETE,
                           ERROR_SERVICE_EXISTS};
    for (DWORD code : codes) {
        char text[512];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                                 sizeof text, nullptr);
        ASSERT_GT(n, 1u) << code;
        EXPECT_EQ(n, std::strlen(text)) << code;
        EXPECT_EQ(text[n - 1], '\n') << code;
    }
    char text[128];
    ASSERT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, text,
                             sizeof text, nullptr),
              0u);
    EXPECT_STREQ(text, "The system cannot find the file specified.\n");
}

TEST(FormatMessage, FailuresAreReportedThroughTheLastError) {
    char text[64] = "unchanged";
    SetLastError(0);
    EXPECT_EQ(
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xDEAD, 0, text, sizeof text, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_STREQ(text, "unchanged");

    // "Access is denied.\n" and its NUL need 19 characters.
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, text, 18,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, text, 19,
                             nullptr),
              18u);

    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x", 0, 0, text, sizeof text, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FormatMessage, AllocatedBufferAndNoLineBreak) {
    LPSTR text = nullptr;
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(n, 17u);
    EXPECT_STREQ(text, "Access is denied.");
    EXPECT_EQ(LocalFree(text), nullptr);
}

class DebugOutputTest : public ::testing::Test {
  protected:
    void TearDown() override { ::unsetenv("TARNWICK_DEBUG_OUTPUT"); }
    TempDir dir_;
};

TEST_F(DebugOutputTest, FileSinkGetsTheTextsUnchanged) {
    std::string file = dir_.file("debug.txt");
    ::setenv("TARNWICK_DEBUG_OUTPUT", ("file:" + file).c_str(), 1);
    OutputDebugStringA("Entering: MTsrv_Init");
    OutputDebugStringA("\n");
    OutputDebugStringA("%s %n stays literal\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(readFile(file), "Entering: MTsrv_Init\n%s %n stays literal\n");
}

TEST_F(DebugOutputTest, StandardErrorSinkAndNoSink) {
    ::setenv("TARNWICK_DEBUG_OUTPUT", "stderr", 1);
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("to stderr\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to stderr\n");

    ::unsetenv("TARNWICK_DEBUG_OUTPUT");
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("discarded\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    // An unusable file sink is ignored without disturbing the caller.
    ::setenv("TARNWICK_DEBUG_OUTPUT", ("file:" + dir_.file("no/such/dir/x")).c_str(), 1);
    OutputDebugStringA("lost\n");
}

}  // namespace
