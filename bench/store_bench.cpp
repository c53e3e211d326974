// The system store under the load of the host's configuration trees: a tree of 2 000 keys with
// three values each, written through the registry functions (one transaction per call, as the
// system writes it, and all in one transaction) and copied with RegCopyTreeA; beside it the
// floor: plain SQLite inserts of the same rows in one transaction, in a file of its own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <tarnwick_store.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr int kKeys = 2000;
constexpr int kValuesPerKey = 3;

class Scratch {
  public:
    Scratch() {
        std::string pattern = std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string file(const char* name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// Opens a fresh store for one benchmark; the store is closed and removed afterwards.
struct FreshStore {
    Scratch scratch;
    FreshStore() {
        if (TarnwickStore_Open(scratch.file("system.db").c_str()) != ERROR_SUCCESS) {
            throw std::runtime_error(TarnwickStore_LastErrorText());
        }
    }
    ~FreshStore() { TarnwickStore_Close(); }
};

// The keys "<root>\Boards\NNNN" with a DWORD, a string and a binary value each, as the host's
// board, span and port keys carry them.
void writeTree(const std::string& root) {
    HKEY base = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (root + "\\Boards").c_str(), 0, nullptr, 0, KEY_WRITE,
                    nullptr, &base, nullptr);
    for (int i = 0; i < kKeys; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d", i);
        HKEY key = nullptr;
        RegCreateKeyExA(base, name, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        DWORD forUse = 1;
        RegSetValueExA(key, "ForUse", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&forUse), 4);
        const char text[] = "SOFTWARE\\Vazivuvovi\\MTC\\Configuration\\0";
        RegSetValueExA(key, "MTCRegKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       sizeof text);
        const BYTE blob[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob);
        RegCloseKey(key);
    }
    RegCloseKey(base);
}

void deleteTree(const std::string& root) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, root.c_str());
}

void BM_CreateTree_CallPerTransaction(benchmark::State& state) {
    FreshStore store;
    for (auto _ : state) {
        writeTree("SOFTWARE\\Bench");
        state.PauseTiming();
        deleteTree("SOFTWARE\\Bench");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeys * (1 + kValuesPerKey));
}
BENCHMARK(BM_CreateTree_CallPerTransaction)->Unit(benchmark::kMillisecond);

void BM_CreateTree_OneTransaction(benchmark::State& state) {
    FreshStore store;
    for (auto _ : state) {
        TarnwickStore_BeginTransaction();
        writeTree("SOFTWARE\\Bench");
        TarnwickStore_EndTransaction(TRUE);
        state.PauseTiming();
        deleteTree("SOFTWARE\\Bench");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeys * (1 + kValuesPerKey));
}
BENCHMARK(BM_CreateTree_OneTransaction)->Unit(benchmark::kMillisecond);

void BM_RegCopyTree(benchmark::State& state) {
    FreshStore store;
    TarnwickStore_BeginTransaction();
    writeTree("SOFTWARE\\Ready");
    TarnwickStore_EndTransaction(TRUE);
    HKEY source = nullptr, destination = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ready", 0, KEY_READ, &source);
    for (auto _ : state) {
        state.PauseTiming();
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Active", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &destination, nullptr);
        state.ResumeTiming();
        if (RegCopyTreeA(source, "Boards", destination) != ERROR_SUCCESS) {
            state.SkipWithError("RegCopyTreeA failed");
        }
        state.PauseTiming();
        RegCloseKey(destination);
        deleteTree("SOFTWARE\\Active");
        state.ResumeTiming();
    }
    RegCloseKey(source);
    state.SetItemsProcessed(state.iterations() * kKeys * (1 + kValuesPerKey));
}
BENCHMARK(BM_RegCopyTree)->Unit(benchmark::kMillisecond);

// The same rows in the simplest schema, one transaction, statements prepared once.
void BM_PlainSqlite_OneTransaction(benchmark::State& state) {
    Scratch scratch;
    sqlite3* db = nullptr;
    sqlite3_open(scratch.file("plain.db").c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);"
                 "CREATE TABLE reg_values(key INTEGER, name TEXT, type INTEGER, data BLOB);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* key = nullptr;
    sqlite3_stmt* value = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO keys(parent, name) VALUES (?, ?)", -1, &key, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO reg_values VALUES (?, ?, ?, ?)", -1, &value, nullptr);
    const char text[] = "SOFTWARE\\Vazivuvovi\\MTC\\Configuration\\0";
    const BYTE blob[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    DWORD forUse = 1;
    for (auto _ : state) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int i = 0; i < kKeys; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%04d", i);
            sqlite3_bind_int64(key, 1, 1);
            sqlite3_bind_text(key, 2, name, -1, SQLITE_TRANSIENT);
            sqlite3_step(key);
            sqlite3_reset(key);
            sqlite3_int64 id = sqlite3_last_insert_rowid(db);
            struct Row {
                const char* name;
                int type;
                const void* data;
                int size;
            } rows[] = {{"ForUse", REG_DWORD, &forUse, 4},
                        {"MTCRegKey", REG_SZ, text, sizeof text},
                        {"Blob", REG_BINARY, blob, sizeof blob}};
            for (const auto& row : rows) {
                sqlite3_bind_int64(value, 1, id);
                sqlite3_bind_text(value, 2, row.name, -1, SQLITE_STATIC);
                sqlite3_bind_int(value, 3, row.type);
                sqlite3_bind_blob(value, 4, row.data, row.size, SQLITE_STATIC);
                sqlite3_step(value);
                sqlite3_reset(value);
            }
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_exec(db, "DELETE FROM keys; DELETE FROM reg_values;", nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    sqlite3_finalize(key);
    sqlite3_finalize(value);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kKeys * (1 + kValuesPerKey));
}
BENCHMARK(BM_PlainSqlite_OneTransaction)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
