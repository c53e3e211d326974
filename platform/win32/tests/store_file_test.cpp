// The store file itself: creation, refusal of files that are not stores, read-only files,
// missing directories, and where the store lives by default.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <string>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::readFile;
using tarnwick::testing::TempDir;
using tarnwick::testing::writeFile;

class StoreFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A safety net: nothing here may fall back to the user's store.
        ::setenv("TARNWICK_SYSTEM_DB", dir_.file("unused.db").c_str(), 1);
    }
    void TearDown() override { TarnwickStore_Close(); }

    // Opens the store at path and tries one read and one write through the registry.
    struct Attempt {
        DWORD open;
        LONG read;
        LONG write;
        std::string text;
    };
    Attempt attempt(const std::string& path) {
        Attempt a{};
        a.open = TarnwickStore_Open(path.c_str());
        HKEY key = nullptr;
        a.read = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", 0, KEY_READ, &key);
        if (a.read == ERROR_SUCCESS) RegCloseKey(key);
        a.text = TarnwickStore_LastErrorText();
        a.write = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr);
        if (a.write == ERROR_SUCCESS) RegCloseKey(key);
        if (a.text.empty()) a.text = TarnwickStore_LastErrorText();
        TarnwickStore_Close();
        return a;
    }

    void makeStoreWithKey(const std::string& path) {
        ASSERT_EQ(TarnwickStore_Open(path.c_str()), static_cast<DWORD>(ERROR_SUCCESS));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        TarnwickStore_Close();
    }

    static void sql(const std::string& path, const char* statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    TempDir dir_;
};

TEST_F(StoreFileTest, NewStoreHasAVersionedSchemaInWalMode) {
    std::string path = dir_.file("system.db");
    makeStoreWithKey(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    auto single = [db](const char* query) {
        sqlite3_stmt* stmt = nullptr;
        std::string result;
        if (sqlite3_prepare_v2(db, query, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
        return result;
    };
    EXPECT_EQ(single("SELECT value FROM meta WHERE key = 'schema_version'"), "1");
    EXPECT_EQ(single("PRAGMA journal_mode"), "wal");
    sqlite3_close(db);
}

TEST_F(StoreFileTest, AnEmptyFileBecomesAStore) {
    std::string path = dir_.file("empty.db");
    writeFile(path, "");
    Attempt a = attempt(path);
    EXPECT_EQ(a.open, static_cast<DWORD>(ERROR_SUCCESS)) << a.text;
    EXPECT_EQ(a.write, ERROR_SUCCESS);
}

// Files that must be refused, each left exactly as it was.
TEST_F(StoreFileTest, FilesThatAreNotStoresAreRefusedAndLeftUnchanged) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* textMentions;
    };
    const Case cases[] = {
        {"text file",
         [](const std::string& p) { writeFile(p, std::string(5000, 'x') + "not a database\n"); },
         "not a system store"},
        {"damaged store",
         [this](const std::string& p) {
             makeStoreWithKey(p);
             std::string content = readFile(p);
             for (std::size_t i = 0; i < 100; ++i) content[i] = static_cast<char>(0xA5);
             writeFile(p, content);
         },
         "not a system store"},
        {"another program's database",
         [](const std::string& p) {
             sql(p,
                 "CREATE TABLE settings(name TEXT, value TEXT); "
                 "INSERT INTO settings VALUES('a', 'b');");
         },
         "no meta table"},
        {"database with a meta table of another format",
         [](const std::string& p) {
             sql(p,
                 "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL); "
                 "INSERT INTO meta VALUES('format', 'something-else');");
         },
         "something-else"},
        {"store of a newer version",
         [this](const std::string& p) {
             makeStoreWithKey(p);
             sql(p, "UPDATE meta SET value = '99' WHERE key = 'schema_version'");
         },
         "schema version 99 is newer"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir_.file("case" + std::to_string(n++) + ".db");
        c.make(path);
        std::string before = readFile(path);
        Attempt a = attempt(path);
        EXPECT_EQ(a.open, static_cast<DWORD>(ERROR_REGISTRY_CORRUPT));
        EXPECT_EQ(a.read, ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(a.write, ERROR_REGISTRY_CORRUPT);
        EXPECT_NE(a.text.find(path), std::string::npos) << a.text;
        EXPECT_NE(a.text.find(c.textMentions), std::string::npos) << a.text;
        EXPECT_EQ(readFile(path), before);
    }
}

TEST_F(StoreFileTest, MissingDirectoryIsReportedAndNotCreated) {
    std::string missing = dir_.file("no/such/dir");
    Attempt a = attempt(missing + "/system.db");
    EXPECT_EQ(a.open, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(a.write, ERROR_PATH_NOT_FOUND);
    EXPECT_NE(a.text.find("directory " + missing + " does not exist"), std::string::npos) << a.text;
    struct stat st {};
    EXPECT_NE(::stat(dir_.file("no").c_str(), &st), 0);
}

TEST_F(StoreFileTest, ReadOnlyFileIsReadButNeverWritten) {
    std::string path = dir_.file("system.db");
    makeStoreWithKey(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    std::string before = readFile(path);

    Attempt a = attempt(path);
    EXPECT_EQ(a.open, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(a.read, ERROR_SUCCESS);
    EXPECT_EQ(a.write, ERROR_ACCESS_DENIED);
    EXPECT_NE(a.text.find("read-only"), std::string::npos) << a.text;
    EXPECT_EQ(readFile(path), before);
    // No journal files were left beside it either.
    struct stat st {};
    EXPECT_NE(::stat((path + "-wal").c_str(), &st), 0);
}

TEST_F(StoreFileTest, FailedOpenKeepsThePathAndDoesNotFallBackToTheDefault) {
    std::string bad = dir_.file("bad.db");
    writeFile(bad, std::string(4096, 'z'));
    EXPECT_EQ(TarnwickStore_Open(bad.c_str()), static_cast<DWORD>(ERROR_REGISTRY_CORRUPT));
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    struct stat st {};
    EXPECT_NE(::stat(dir_.file("unused.db").c_str(), &st), 0);
}

TEST_F(StoreFileTest, PathComesFromTheEnvironment) {
    char buffer[512];
    std::string configured = dir_.file("configured.db");
    ::setenv("TARNWICK_SYSTEM_DB", configured.c_str(), 1);
    TarnwickStore_Close();
    ASSERT_EQ(TarnwickStore_GetPath(buffer, sizeof buffer), configured.size());
    EXPECT_EQ(std::string(buffer), configured);
    EXPECT_EQ(TarnwickStore_GetPath(buffer, 4), configured.size() + 1);

    // Without the variable the default depends on who runs; only the path is asked for here,
    // nothing is opened.
    ::unsetenv("TARNWICK_SYSTEM_DB");
    std::string state = dir_.file("state");
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    ASSERT_GT(TarnwickStore_GetPath(buffer, sizeof buffer), 0u);
    std::string expected =
        ::geteuid() == 0 ? "/var/lib/tarnwick/system.db" : state + "/tarnwick/system.db";
    EXPECT_EQ(std::string(buffer), expected);
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("TARNWICK_SYSTEM_DB", dir_.file("unused.db").c_str(), 1);
}

}  // namespace
