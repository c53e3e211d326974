// A second process for the concurrency tests. Uses the store named by TARNWICK_SYSTEM_DB.
//   store_worker write KEY PREFIX COUNT [GO_FILE]   writes COUNT DWORD values PREFIX0000...
//                                                   under HKLM\KEY, one call each, after GO_FILE
//                                                   exists
//   store_worker state SERVICE STATE                sets a service state
// Exits 0 when every call succeeded, 1 with a message otherwise.
#include <sys/stat.h>
#include <tarnwick_store.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

int failure(const char* what, long code) {
    std::fprintf(stderr, "store_worker: %s failed with %ld: %s\n", what, code,
                 TarnwickStore_LastErrorText());
    return 1;
}

bool waitForFile(const char* path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    struct stat st {};
    while (::stat(path, &st) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && (argc == 5 || argc == 6)) {
        long count = std::strtol(argv[4], nullptr, 10);
        if (argc == 6 && !waitForFile(argv[5])) return failure("waiting for the start", 0);
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr);
        if (rc != ERROR_SUCCESS) return failure("RegCreateKeyExA", rc);
        for (long i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%04ld", argv[3], i);
            DWORD value = static_cast<DWORD>(i);
            rc = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value);
            if (rc != ERROR_SUCCESS) return failure("RegSetValueExA", rc);
        }
        RegCloseKey(key);
        return 0;
    }
    if (command == "state" && argc == 4) {
        DWORD rc = TarnwickStore_SetServiceState(
            argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
        if (rc != ERROR_SUCCESS) return failure("TarnwickStore_SetServiceState", rc);
        return 0;
    }
    std::fprintf(stderr,
                 "usage: store_worker write KEY PREFIX COUNT [GO_FILE] | "
                 "state SERVICE STATE\n");
    return 2;
}
