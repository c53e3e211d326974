// Several processes and threads on one store.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::ChildProcess;
using tarnwick::testing::RunResult;
using tarnwick::testing::StoreTest;
using tarnwick::testing::writeFile;

const std::string kWorker = STORE_WORKER_PATH;

class ConcurrencyTest : public StoreTest {};

TEST_F(ConcurrencyTest, TwoProcessesWritingAtOnceKeepEveryValue) {
    std::string go = dir().file("go");
    std::map<std::string, std::string> env = {{"TARNWICK_SYSTEM_DB", storePath()}};
    ChildProcess first(kWorker, {"write", "SOFTWARE\\Shared", "A", "1000", go}, env);
    ChildProcess second(kWorker, {"write", "SOFTWARE\\Shared", "B", "1000", go}, env);
    writeFile(go, "");
    RunResult a = first.finish();
    RunResult b = second.finish();
    EXPECT_EQ(a.exitCode, 0) << a.err;
    EXPECT_EQ(b.exitCode, 0) << b.err;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2000u);
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(
        RegQueryValueExA(key, "B0999", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 999u);
    RegCloseKey(key);
}

// The way a program waits for a service: it polls while another process moves the service
// through start pending to running.
TEST_F(ConcurrencyTest, ServiceStateChangedByAnotherProcessIsSeenWhilePolling) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE created =
        CreateServiceA(manager, "mirrservice", nullptr, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       "host.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    CloseServiceHandle(created);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DWORD> seen;
    std::atomic<bool> stop{false};
    std::thread poller([&] {
        SC_HANDLE service = OpenServiceA(manager, "mirrservice", SERVICE_QUERY_STATUS);
        while (!stop) {
            SERVICE_STATUS status{};
            if (!QueryServiceStatus(service, &status)) break;
            std::lock_guard<std::mutex> lock(mutex);
            if (seen.empty() || seen.back() != status.dwCurrentState) {
                seen.push_back(status.dwCurrentState);
                changed.notify_all();
                if (status.dwCurrentState == SERVICE_RUNNING) break;
            }
            Sleep(1);
        }
        CloseServiceHandle(service);
    });
    auto waitFor = [&](DWORD state) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return !seen.empty() && seen.back() == state; });
    };
    std::map<std::string, std::string> env = {{"TARNWICK_SYSTEM_DB", storePath()}};

    EXPECT_TRUE(waitFor(SERVICE_STOPPED));
    RunResult pending = tarnwick::testing::runProgram(kWorker, {"state", "mirrservice", "2"}, env);
    EXPECT_EQ(pending.exitCode, 0) << pending.err;
    EXPECT_TRUE(waitFor(SERVICE_START_PENDING));
    RunResult running = tarnwick::testing::runProgram(kWorker, {"state", "MirrService", "4"}, env);
    EXPECT_EQ(running.exitCode, 0) << running.err;
    EXPECT_TRUE(waitFor(SERVICE_RUNNING));
    stop = true;
    poller.join();
    EXPECT_EQ(seen, (std::vector<DWORD>{SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_RUNNING}));
    CloseServiceHandle(manager);
}

TEST_F(ConcurrencyTest, ThreadsShareTheStoreSafely) {
    constexpr int kThreads = 4;
    constexpr int kValues = 200;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            std::string path = "SOFTWARE\\Threads\\T" + std::to_string(t);
            HKEY key = nullptr;
            if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) != ERROR_SUCCESS) {
                ++failures;
                return;
            }
            for (int i = 0; i < kValues; ++i) {
                std::string name = "v" + std::to_string(i);
                DWORD value = static_cast<DWORD>(i);
                if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value),
                                   sizeof value) != ERROR_SUCCESS) {
                    ++failures;
                }
                DWORD back = 0, size = sizeof back;
                if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&back), &size) != ERROR_SUCCESS ||
                    back != value) {
                    ++failures;
                }
            }
            RegCloseKey(key);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Threads", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    EXPECT_EQ(subkeys, static_cast<DWORD>(kThreads));
    RegCloseKey(key);
}

TEST_F(ConcurrencyTest, OtherThreadsWaitForAnOuterTransaction) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(TarnwickStore_BeginTransaction(), static_cast<DWORD>(ERROR_SUCCESS));
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(key, "inside", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    LONG seenByOther = -1;
    DWORD endFromOther = 0;
    std::thread other([&] {
        endFromOther = TarnwickStore_EndTransaction(TRUE);  // not the owner
        // Blocks until the owner ends its transaction, then sees its committed result.
        seenByOther = RegQueryValueExA(key, "inside", nullptr, nullptr, nullptr, nullptr);
    });
    // Whatever the other thread's progress, the owner's undo decides what it sees.
    ASSERT_EQ(TarnwickStore_EndTransaction(FALSE), static_cast<DWORD>(ERROR_SUCCESS));
    other.join();
    EXPECT_EQ(endFromOther, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(seenByOther, ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(11);
    DWORD inOther = 0;
    std::thread other([&] {
        inOther = GetLastError();
        SetLastError(22);
    });
    other.join();
    EXPECT_EQ(inOther, 0u);
    EXPECT_EQ(GetLastError(), 11u);
}

}  // namespace
