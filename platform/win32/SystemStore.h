// The system store: one SQLite file with the registry, the services and the event log.
//
// A SystemStore is one connection to that file. It is not thread-safe: the process-wide Runtime
// serialises every use. Several processes may use one file at once (WAL journal, busy timeout);
// every unit of work runs in a transaction, writes take the write lock first (BEGIN IMMEDIATE) so
// that they never fail half-way on a lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tarnwick::win32 {

// The store cannot be used: code is the Win32 error to report, what() the reason with the path.
class StoreError : public std::runtime_error {
  public:
    StoreError(DWORD code, const std::string& text) : std::runtime_error(text), code_(code) {}
    DWORD code() const { return code_; }

  private:
    DWORD code_;
};

class SystemStore;

// A prepared statement in use; it is reset and its bindings cleared when it goes out of scope.
// Parameters and columns count from 1 and 0 as in SQLite.
class Statement {
  public:
    // busy is the cache entry's in-use flag, or null for a statement owned (and finalised) here.
    Statement(SystemStore& store, sqlite3_stmt* stmt, bool* busy);
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;
    ~Statement();

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, const void* data, std::size_t size);

    // Advances to the next row: true when there is one, false when done.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<BYTE> blob(int column) const;
    // Size in bytes of a text or blob column.
    std::size_t bytes(int column) const;

  private:
    SystemStore* store_;
    sqlite3_stmt* stmt_;
    bool* busy_;
};

class SystemStore {
  public:
    static constexpr int kSchemaVersion = 1;
    static constexpr const char* kFormatName = "tarnwick-system-store";

    // Opens the store at path. A missing or empty file becomes a new store (the directory must
    // exist); an existing file is checked without being written to, and a file that is not a
    // store, or of a newer version, raises StoreError. A file without write permission is opened
    // read-only.
    explicit SystemStore(std::string path);
    ~SystemStore();
    SystemStore(const SystemStore&) = delete;
    SystemStore& operator=(const SystemStore&) = delete;

    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }

    // Ids of the keys HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
    std::int64_t machineRoot() const { return machineRoot_; }
    std::int64_t userRoot() const { return userRoot_; }

    // Prepares sql, which must be a string literal: statements are cached by its address. A
    // statement already in use (recursion) is prepared afresh for the caller.
    Statement prepare(const char* sql);
    void exec(const char* sql);
    // Rows changed by the last statement.
    std::int64_t changes() const;
    // Row id of the last insert.
    std::int64_t lastInsertId() const;

    // Runs work (returning a Win32 code) as one unit: committed when it returns ERROR_SUCCESS,
    // undone otherwise or when it throws. Within an outer transaction the unit is a savepoint.
    template <class Work>
    LONG write(Work&& work) {
        return unit(true, [&]() -> LONG { return work(); });
    }
    template <class Work>
    LONG read(Work&& work) {
        return unit(false, [&]() -> LONG { return work(); });
    }

    // The outer transaction of TarnwickStore_BeginTransaction / _EndTransaction.
    void beginOuter();
    void endOuter(bool commit);
    bool inOuter() const { return outer_; }

    // Raises the StoreError for a failed SQLite call.
    [[noreturn]] void fail(int rc, const char* what) const;

  private:
    template <class Work>
    LONG unit(bool writes, Work&& work);
    void begin(bool writes);
    void finish(bool commit);
    void openConnection();
    void checkOrCreate();
    void createSchema();
    void validate();
    void loadRoots();

    friend class Statement;
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool busy = false;
    };

    std::string path_;
    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    bool outer_ = false;
    std::int64_t machineRoot_ = 0;
    std::int64_t userRoot_ = 0;
    std::unordered_map<const char*, Cached> cache_;
};

template <class Work>
LONG SystemStore::unit(bool writes, Work&& work) {
    begin(writes);
    LONG result;
    try {
        result = work();
    } catch (...) {
        try {
            finish(false);
        } catch (...) {
            // The first failure is the one worth reporting.
        }
        throw;
    }
    finish(result == ERROR_SUCCESS);
    return result;
}

// Registry and service names compare as Windows does: upper-cased ASCII, other bytes unchanged.
std::string foldName(std::string_view name);

}  // namespace tarnwick::win32
