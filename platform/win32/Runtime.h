// Process-wide state of the Win32 subset: the open system store, the handle tables and the lock
// that serialises every call.
//
// Every entry point takes the lock for its whole duration, so the store connection and the tables
// are used by one thread at a time. Handle values are never reused within a process, so a closed
// handle stays invalid instead of silently naming another object.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "SystemStore.h"

namespace tarnwick::win32 {

struct KeyHandle {
    std::int64_t key;
    REGSAM access;
};

struct ServiceHandle {
    bool manager;
    std::int64_t service;  // 0 for a manager handle
    DWORD access;
};

class Runtime {
  public:
    static Runtime& instance();

    std::recursive_mutex& mutex() { return mutex_; }

    // The functions below need mutex() held by the caller.

    // The open store, opened on first use from the path given to open() or the default path.
    // Throws StoreError when it cannot be opened; the next call tries again.
    SystemStore& store();
    // Switches to the store at path (null: the default path). Returns the error code.
    DWORD open(const char* path);
    void close();
    // The path in use or to be used. Throws StoreError when no default can be determined.
    std::string path() const;

    HKEY addKey(const KeyHandle& handle);
    // The handle's key and rights; predefined keys resolve to the store's roots. Needs the store.
    std::optional<KeyHandle> key(HKEY handle);
    bool removeKey(HKEY handle);

    SC_HANDLE addService(const ServiceHandle& handle);
    std::optional<ServiceHandle> service(SC_HANDLE handle) const;
    bool removeService(SC_HANDLE handle);

    HANDLE addEventSource(const std::string& source);
    std::optional<std::string> eventSource(HANDLE handle) const;
    bool removeEventSource(HANDLE handle);

    // TarnwickStore_BeginTransaction / _EndTransaction. Begin keeps mutex() locked for the
    // calling thread until End, so that other threads cannot slip into the transaction.
    DWORD beginTransaction();
    DWORD endTransaction(bool commit);

  private:
    Runtime() = default;
    std::uintptr_t nextHandle();
    void dropOuter();

    std::recursive_mutex mutex_;
    std::unique_ptr<SystemStore> store_;
    std::optional<std::string> explicitPath_;
    std::uintptr_t next_ = 0x1000;
    std::unordered_map<std::uintptr_t, KeyHandle> keys_;
    std::unordered_map<std::uintptr_t, ServiceHandle> services_;
    std::unordered_map<std::uintptr_t, std::string> eventSources_;
    std::atomic<std::thread::id> outerOwner_{};
};

// The calling thread's text for TarnwickStore_LastErrorText.
void setStoreErrorText(const std::string& text);
void clearStoreErrorText();

// Runs work(store) under the process lock. A store that cannot be used, or fails, becomes the
// Win32 code of the failure, with its reason kept for TarnwickStore_LastErrorText; no exception
// leaves.
template <class Work>
LONG withStore(Work&& work) {
    Runtime& runtime = Runtime::instance();
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex());
    clearStoreErrorText();
    try {
        return work(runtime.store());
    } catch (const StoreError& e) {
        setStoreErrorText(e.what());
        return static_cast<LONG>(e.code());
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::exception& e) {
        setStoreErrorText(e.what());
        return ERROR_REGISTRY_IO_FAILED;
    }
}

}  // namespace tarnwick::win32
