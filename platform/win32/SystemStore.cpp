#include "SystemStore.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tarnwick::win32 {

namespace {

// Long enough for another process's burst of writes, short enough to report a stuck lock.
constexpr int kBusyTimeoutMs = 15000;

const char* const kSchema = R"sql(
CREATE TABLE meta(
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    modified INTEGER NOT NULL,
    UNIQUE(parent, fold)
);
CREATE TABLE reg_values(
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold)
);
CREATE TABLE services(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL,
    fold TEXT NOT NULL UNIQUE,
    display_name TEXT NOT NULL,
    type INTEGER NOT NULL,
    start_type INTEGER NOT NULL,
    error_control INTEGER NOT NULL,
    binary_path TEXT NOT NULL,
    state INTEGER NOT NULL,
    exit_code INTEGER NOT NULL DEFAULT 0,
    delete_pending INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE events(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    source TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    category INTEGER NOT NULL,
    event_id INTEGER NOT NULL,
    pid INTEGER NOT NULL,
    num_strings INTEGER NOT NULL,
    strings BLOB NOT NULL,
    data BLOB NOT NULL
);
CREATE INDEX events_by_source ON events(fold, id);
)sql";

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

DWORD codeFor(int rc, int sysErrno) {
    switch (rc & 0xff) {
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_BUSY;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return ERROR_REGISTRY_CORRUPT;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_CANTOPEN:
            if (sysErrno == EACCES || sysErrno == EPERM || sysErrno == EROFS) {
                return ERROR_ACCESS_DENIED;
            }
            return sysErrno == ENOENT || sysErrno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                             : ERROR_CANTOPEN;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

// A path as an SQLite URI ("file:" with everything but unreserved characters and '/' escaped).
std::string fileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

std::string parentDirectory(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string foldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// ---------------------------------------------------------------------------------------------
// Statement

Statement::Statement(SystemStore& store, sqlite3_stmt* stmt, bool* busy)
    : store_(&store), stmt_(stmt), busy_(busy) {}

Statement::Statement(Statement&& other) noexcept
    : store_(other.store_), stmt_(other.stmt_), busy_(other.busy_) {
    other.stmt_ = nullptr;
}

Statement::~Statement() {
    if (stmt_ == nullptr) return;
    if (busy_ == nullptr) {
        sqlite3_finalize(stmt_);
        return;
    }
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    *busy_ = false;
}

Statement& Statement::bind(int index, std::int64_t value) {
    int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) store_->fail(rc, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    // A non-null pointer even for an empty text, which SQLite would otherwise bind as NULL.
    int rc = sqlite3_bind_text64(stmt_, index, text.empty() ? "" : text.data(), text.size(),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) store_->fail(rc, "bind");
    return *this;
}

Statement& Statement::bindBlob(int index, const void* data, std::size_t size) {
    int rc = size == 0 ? sqlite3_bind_zeroblob(stmt_, index, 0)
                       : sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) store_->fail(rc, "bind");
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    store_->fail(rc, "statement");
}

void Statement::run() {
    while (step()) {
    }
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (p == nullptr) return {};
    return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::vector<BYTE> Statement::blob(int column) const {
    const auto* p = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column));
    auto n = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
    if (p == nullptr || n == 0) return {};
    return std::vector<BYTE>(p, p + n);
}

std::size_t Statement::bytes(int column) const {
    return static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
}

// ---------------------------------------------------------------------------------------------
// SystemStore

SystemStore::SystemStore(std::string path) : path_(std::move(path)) {
    try {
        openConnection();
        checkOrCreate();
        loadRoots();
    } catch (...) {
        for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
        cache_.clear();
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw;
    }
}

SystemStore::~SystemStore() {
    if (outer_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
    sqlite3_close_v2(db_);
}

void SystemStore::fail(int rc, const char* what) const {
    int sysErrno = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
    std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    DWORD code = codeFor(rc, sysErrno);
    std::string text = "system store " + path_ + ": ";
    switch (code) {
        case ERROR_ACCESS_DENIED:
            text += readOnly_ || (rc & 0xff) == SQLITE_READONLY
                        ? "the store is read-only (" + reason + ")"
                        : "permission denied (" + reason + ")";
            break;
        case ERROR_BUSY:
            text += "locked by another process for more than " +
                    std::to_string(kBusyTimeoutMs / 1000) + " seconds";
            break;
        case ERROR_REGISTRY_CORRUPT:
            text += "not a system store or damaged (" + reason + ")";
            break;
        default:
            text += std::string(what) + " failed: " + reason;
            break;
    }
    throw StoreError(code, text);
}

void SystemStore::openConnection() {
    struct stat st {};
    bool exists = ::stat(path_.c_str(), &st) == 0;
    if (!exists) {
        if (errno != ENOENT) {
            throw StoreError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND,
                             "system store " + path_ + ": " + std::strerror(errno));
        }
        std::string dir = parentDirectory(path_);
        struct stat dirStat {};
        if (::stat(dir.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)) {
            throw StoreError(ERROR_PATH_NOT_FOUND,
                             "system store " + path_ + ": directory " + dir + " does not exist");
        }
    } else if (!S_ISREG(st.st_mode)) {
        throw StoreError(ERROR_ACCESS_DENIED, "system store " + path_ + ": not a regular file");
    } else {
        // Write bits are honoured even for root, so that a store made read-only stays unchanged.
        readOnly_ =
            (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path_.c_str(), W_OK) != 0;
    }

    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    std::string uri = fileUri(path_);
    if (readOnly_) {
        flags |= SQLITE_OPEN_READONLY;
        // Without a journal beside it the file is all there is: reading it as immutable leaves
        // no side files behind. With a journal, read normally so that its content counts.
        struct stat walStat {};
        if (::stat((path_ + "-wal").c_str(), &walStat) != 0) uri += "?immutable=1";
    } else {
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    }
    int rc = sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) fail(rc, "open");
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
}

void SystemStore::checkOrCreate() {
    auto tableCount = [this] {
        Statement s = prepare("SELECT count(*) FROM sqlite_schema");
        s.step();
        return s.integer(0);
    };
    if (tableCount() != 0) {
        validate();
    } else {
        if (readOnly_) {
            throw StoreError(ERROR_ACCESS_DENIED,
                             "system store " + path_ + ": the file is empty and read-only");
        }
        exec("PRAGMA journal_mode=WAL");
        exec("BEGIN IMMEDIATE");
        try {
            // Another process may have created the store while this one waited for the lock.
            if (tableCount() == 0) {
                createSchema();
            } else {
                validate();
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    if (!readOnly_) {
        Statement mode = prepare("PRAGMA journal_mode");
        if (mode.step() && foldName(mode.text(0)) != "WAL") {
            exec("PRAGMA journal_mode=WAL");
        }
    }
    // Committed transactions survive a crash of the process; only a power loss may undo the last.
    exec("PRAGMA synchronous=NORMAL");
}

void SystemStore::createSchema() {
    exec(kSchema);
    Statement meta = prepare("INSERT INTO meta(key, value) VALUES (?, ?)");
    meta.bind(1, "format").bind(2, kFormatName).run();
    Statement version = prepare("INSERT INTO meta(key, value) VALUES (?, ?)");
    version.bind(1, "schema_version").bind(2, std::to_string(kSchemaVersion)).run();
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
        Statement key =
            prepare("INSERT INTO keys(parent, name, fold, modified) VALUES (0, ?, ?, ?)");
        key.bind(1, root).bind(2, root).bind(3, nowNanoseconds()).run();
    }
}

void SystemStore::validate() {
    auto foreign = [this](const std::string& why) {
        return StoreError(ERROR_REGISTRY_CORRUPT, "system store " + path_ +
                                                      ": not a system store (" + why +
                                                      "); the file was left unchanged");
    };
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, "SELECT key, value FROM meta", -1, &raw, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_ERROR) throw foreign("it has no meta table");
        fail(rc, "reading the store's version");
    }
    Statement meta(*this, raw, nullptr);
    std::string format;
    std::string version;
    while (meta.step()) {
        std::string key = meta.text(0);
        if (key == "format") format = meta.text(1);
        if (key == "schema_version") version = meta.text(1);
    }
    if (format != kFormatName) throw foreign("its format is \"" + format + "\"");
    char* end = nullptr;
    long number = std::strtol(version.c_str(), &end, 10);
    if (version.empty() || *end != '\0' || number < 1) {
        throw foreign("its schema version \"" + version + "\" is not valid");
    }
    if (number > kSchemaVersion) {
        throw StoreError(ERROR_REGISTRY_CORRUPT, "system store " + path_ + ": schema version " +
                                                     version + " is newer than this library's " +
                                                     std::to_string(kSchemaVersion) +
                                                     "; the file was left unchanged");
    }
}

void SystemStore::loadRoots() {
    for (auto* root : {&machineRoot_, &userRoot_}) {
        Statement s = prepare("SELECT id FROM keys WHERE parent = 0 AND fold = ?");
        s.bind(1, root == &machineRoot_ ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER");
        if (!s.step()) {
            throw StoreError(ERROR_REGISTRY_CORRUPT,
                             "system store " + path_ + ": a predefined key is missing");
        }
        *root = s.integer(0);
    }
}

Statement SystemStore::prepare(const char* sql) {
    Cached& cached = cache_[sql];
    if (cached.stmt != nullptr && !cached.busy) {
        cached.busy = true;
        return Statement(*this, cached.stmt, &cached.busy);
    }
    sqlite3_stmt* stmt = nullptr;
    bool cache = cached.stmt == nullptr;
    int rc =
        sqlite3_prepare_v3(db_, sql, -1, cache ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, nullptr);
    if (rc != SQLITE_OK) fail(rc, "prepare");
    if (cache) {
        cached.stmt = stmt;
        cached.busy = true;
        return Statement(*this, stmt, &cached.busy);
    }
    return Statement(*this, stmt, nullptr);
}

void SystemStore::exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(rc, sql);
}

std::int64_t SystemStore::changes() const {
    return sqlite3_changes64(db_);
}

std::int64_t SystemStore::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

void SystemStore::begin(bool writes) {
    if (outer_) {
        exec("SAVEPOINT unit");
    } else if (writes && !readOnly_) {
        exec("BEGIN IMMEDIATE");
    } else {
        // A read-only store takes "writes" as reads too: the statements that would change it are
        // refused by SQLite and reported as access denied.
        exec("BEGIN");
    }
}

void SystemStore::finish(bool commit) {
    if (outer_) {
        if (!commit) exec("ROLLBACK TO unit");
        exec("RELEASE unit");
        return;
    }
    if (commit) {
        int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            fail(rc, "commit");
        }
    } else {
        exec("ROLLBACK");
    }
}

void SystemStore::beginOuter() {
    exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
    outer_ = true;
}

void SystemStore::endOuter(bool commit) {
    outer_ = false;
    if (commit) {
        int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            fail(rc, "commit");
        }
    } else {
        exec("ROLLBACK");
    }
}

}  // namespace tarnwick::win32
