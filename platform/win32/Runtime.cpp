#include "Runtime.h"

#include <pwd.h>
#include <sys/stat.h>
#include <tarnwick_store.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarnwick::win32 {

namespace {

thread_local std::string t_storeErrorText;

struct DefaultPath {
    std::string path;
    bool createDirectories;  // only for the built-in locations, never for a path given by name
};

DefaultPath defaultPath() {
    const char* configured = std::getenv("TARNWICK_SYSTEM_DB");
    if (configured != nullptr && *configured != '\0') return {configured, false};
    if (::geteuid() == 0) return {"/var/lib/tarnwick/system.db", true};
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return {std::string(state) + "/tarnwick/system.db", true};
    }
    std::string home;
    const char* homeEnv = std::getenv("HOME");
    if (homeEnv != nullptr && homeEnv[0] == '/') {
        home = homeEnv;
    } else if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    if (home.empty()) {
        throw StoreError(ERROR_PATH_NOT_FOUND,
                         "system store: no TARNWICK_SYSTEM_DB, XDG_STATE_HOME or home directory "
                         "to place it in");
    }
    return {home + "/.local/state/tarnwick/system.db", true};
}

void makeDirectories(const std::string& file) {
    auto slash = file.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return;
    std::string dir = file.substr(0, slash);
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/') continue;
        std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            throw StoreError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND,
                             "system store " + file + ": cannot create directory " + part + ": " +
                                 std::strerror(errno));
        }
    }
}

}  // namespace

void setStoreErrorText(const std::string& text) {
    t_storeErrorText = text;
}
void clearStoreErrorText() {
    t_storeErrorText.clear();
}

Runtime& Runtime::instance() {
    // Never destroyed: calls from other static destructors at exit stay safe.
    static Runtime* runtime = new Runtime();
    return *runtime;
}

std::string Runtime::path() const {
    if (explicitPath_) return *explicitPath_;
    return defaultPath().path;
}

SystemStore& Runtime::store() {
    if (!store_) {
        std::string file;
        if (explicitPath_) {
            file = *explicitPath_;
        } else {
            DefaultPath chosen = defaultPath();
            if (chosen.createDirectories) makeDirectories(chosen.path);
            file = chosen.path;
        }
        store_ = std::make_unique<SystemStore>(file);
    }
    return *store_;
}

DWORD Runtime::open(const char* file) {
    close();
    if (file != nullptr) explicitPath_ = std::string(file);
    clearStoreErrorText();
    try {
        store();
        return ERROR_SUCCESS;
    } catch (const StoreError& e) {
        setStoreErrorText(e.what());
        return e.code();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

void Runtime::close() {
    dropOuter();
    store_.reset();
    explicitPath_.reset();
    keys_.clear();
    services_.clear();
}

std::uintptr_t Runtime::nextHandle() {
    std::uintptr_t value = next_;
    next_ += 4;
    return value;
}

HKEY Runtime::addKey(const KeyHandle& handle) {
    std::uintptr_t value = nextHandle();
    keys_.emplace(value, handle);
    return reinterpret_cast<HKEY>(value);
}

std::optional<KeyHandle> Runtime::key(HKEY handle) {
    if (handle == HKEY_LOCAL_MACHINE) return KeyHandle{store().machineRoot(), KEY_ALL_ACCESS};
    if (handle == HKEY_CURRENT_USER) return KeyHandle{store().userRoot(), KEY_ALL_ACCESS};
    auto it = keys_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == keys_.end()) return std::nullopt;
    return it->second;
}

bool Runtime::removeKey(HKEY handle) {
    return keys_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

SC_HANDLE Runtime::addService(const ServiceHandle& handle) {
    std::uintptr_t value = nextHandle();
    services_.emplace(value, handle);
    return reinterpret_cast<SC_HANDLE>(value);
}

std::optional<ServiceHandle> Runtime::service(SC_HANDLE handle) const {
    auto it = services_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == services_.end()) return std::nullopt;
    return it->second;
}

bool Runtime::removeService(SC_HANDLE handle) {
    return services_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

HANDLE Runtime::addEventSource(const std::string& source) {
    std::uintptr_t value = nextHandle();
    eventSources_.emplace(value, source);
    return reinterpret_cast<HANDLE>(value);
}

std::optional<std::string> Runtime::eventSource(HANDLE handle) const {
    auto it = eventSources_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == eventSources_.end()) return std::nullopt;
    return it->second;
}

bool Runtime::removeEventSource(HANDLE handle) {
    return eventSources_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

DWORD Runtime::beginTransaction() {
    // mutex() is held by the caller; one more hold is kept until endTransaction.
    if (outerOwner_.load() == std::this_thread::get_id()) return ERROR_INVALID_FUNCTION;
    clearStoreErrorText();
    try {
        store().beginOuter();
    } catch (const StoreError& e) {
        setStoreErrorText(e.what());
        return e.code();
    }
    mutex_.lock();
    outerOwner_.store(std::this_thread::get_id());
    return ERROR_SUCCESS;
}

DWORD Runtime::endTransaction(bool commit) {
    if (outerOwner_.load() != std::this_thread::get_id()) return ERROR_INVALID_FUNCTION;
    clearStoreErrorText();
    DWORD result = ERROR_SUCCESS;
    try {
        store_->endOuter(commit);
    } catch (const StoreError& e) {
        setStoreErrorText(e.what());
        result = e.code();
    }
    outerOwner_.store(std::thread::id{});
    mutex_.unlock();
    return result;
}

void Runtime::dropOuter() {
    if (outerOwner_.load() != std::this_thread::get_id()) return;
    if (store_) {
        try {
            store_->endOuter(false);
        } catch (const StoreError&) {
            // The connection is closed right after; SQLite undoes the transaction then.
        }
    }
    outerOwner_.store(std::thread::id{});
    mutex_.unlock();
}

}  // namespace tarnwick::win32

using tarnwick::win32::Runtime;

extern "C" {

DWORD TarnwickStore_Open(const char* path) {
    Runtime& runtime = Runtime::instance();
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex());
    return runtime.open(path);
}

void TarnwickStore_Close(void) {
    Runtime& runtime = Runtime::instance();
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex());
    runtime.close();
}

const char* TarnwickStore_LastErrorText(void) {
    return tarnwick::win32::t_storeErrorText.c_str();
}

DWORD TarnwickStore_GetPath(char* buffer, DWORD size) {
    Runtime& runtime = Runtime::instance();
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex());
    std::string file;
    try {
        file = runtime.path();
    } catch (const tarnwick::win32::StoreError&) {
        return 0;
    }
    if (buffer == nullptr || size <= file.size()) return static_cast<DWORD>(file.size() + 1);
    std::memcpy(buffer, file.c_str(), file.size() + 1);
    return static_cast<DWORD>(file.size());
}

DWORD TarnwickStore_BeginTransaction(void) {
    Runtime& runtime = Runtime::instance();
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex());
    return runtime.beginTransaction();
}

DWORD TarnwickStore_EndTransaction(BOOL commit) {
    Runtime& runtime = Runtime::instance();
    if (!runtime.mutex().try_lock()) {
        // Only the owner of the transaction holds the lock beyond one call; anyone else is not
        // the owner (and must not wait here for the owner to finish).
        return ERROR_INVALID_FUNCTION;
    }
    std::lock_guard<std::recursive_mutex> lock(runtime.mutex(), std::adopt_lock);
    return runtime.endTransaction(commit != FALSE);
}

}  // extern "C"
