// Registry semantics that the system relies on, against a fresh store per test.
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::StoreTest;

constexpr LONG kOk = ERROR_SUCCESS;

// A store holding HKLM\SOFTWARE\Tarnwick with three values and a few subkeys.
class RegistryTest : public StoreTest {
  public:
    HKEY open(const char* path, REGSAM access = KEY_READ) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key), kOk) << path;
        opened_.push_back(key);
        return key;
    }
    // Handles opened during a test, closed at its end.
    std::vector<HKEY> opened_;

  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &root_, nullptr),
            kOk);
        setString(root_, "Name", "Alpha");
        setDword(root_, "Count", 50);
        const BYTE blob[] = {1, 2, 3};
        ASSERT_EQ(RegSetValueExA(root_, "Blob", 0, REG_BINARY, blob, sizeof blob), kOk);
        for (const char* sub : {"beta", "Alpha", "_under", "Gamma", "a_b", "AB"}) {
            HKEY child = nullptr;
            ASSERT_EQ(
                RegCreateKeyExA(root_, sub, 0, nullptr, 0, KEY_WRITE, nullptr, &child, nullptr),
                kOk);
            RegCloseKey(child);
        }
    }
    void TearDown() override {
        RegCloseKey(root_);
        StoreTest::TearDown();
    }

    static void setString(HKEY key, const char* name, const std::string& text) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  kOk);
    }
    static void setDword(HKEY key, const char* name, DWORD value) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  kOk);
    }
    std::vector<std::string> subkeys(HKEY key) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(rc, kOk);
            if (rc != kOk) break;
            names.emplace_back(name, size);
        }
        return names;
    }
    std::vector<std::string> valueNames(HKEY key) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG rc = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(rc, kOk);
            if (rc != kOk) break;
            names.emplace_back(name, size);
        }
        return names;
    }

    HKEY root_ = nullptr;
};

// Each case runs one call against the fixture's tree and names the code it must give.
struct Case {
    const char* name;
    std::function<LONG(RegistryTest&, HKEY root)> call;
    LONG expected;
};

TEST_F(RegistryTest, EachCallGivesItsErrorCode) {
    const BYTE one[] = {1};
    const Case cases[] = {
        {"open existing key in another case",
         [](RegistryTest& t, HKEY) {
             HKEY k = nullptr;
             LONG rc =
                 RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\TARNWICK\\beta", 0, KEY_READ, &k);
             t.opened_.push_back(k);
             return rc;
         },
         kOk},
        {"open missing key",
         [](RegistryTest&, HKEY root) {
             HKEY k = nullptr;
             return RegOpenKeyExA(root, "Missing", 0, KEY_READ, &k);
         },
         ERROR_FILE_NOT_FOUND},
        {"open below a missing key",
         [](RegistryTest&, HKEY root) {
             HKEY k = nullptr;
             return RegOpenKeyExA(root, "Missing\\Deeper", 0, KEY_READ, &k);
         },
         ERROR_FILE_NOT_FOUND},
        {"open with a trailing backslash",
         [](RegistryTest& t, HKEY root) {
             HKEY k = nullptr;
             LONG rc = RegOpenKeyExA(root, "beta\\", 0, KEY_READ, &k);
             t.opened_.push_back(k);
             return rc;
         },
         kOk},
        {"open with a leading backslash",
         [](RegistryTest&, HKEY root) {
             HKEY k = nullptr;
             return RegOpenKeyExA(root, "\\beta", 0, KEY_READ, &k);
         },
         ERROR_BAD_PATHNAME},
        {"open with a doubled backslash",
         [](RegistryTest&, HKEY) {
             HKEY k = nullptr;
             return RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Tarnwick", 0, KEY_READ, &k);
         },
         ERROR_BAD_PATHNAME},
        {"create a key with a name over 255 characters",
         [](RegistryTest&, HKEY root) {
             HKEY k = nullptr;
             return RegCreateKeyExA(root, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_READ,
                                    nullptr, &k, nullptr);
         },
         ERROR_INVALID_PARAMETER},
        {"open under a predefined key that the store lacks",
         [](RegistryTest&, HKEY) {
             HKEY k = nullptr;
             return RegOpenKeyExA(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &k);
         },
         ERROR_INVALID_HANDLE},
        {"open without a result pointer",
         [](RegistryTest&, HKEY root) { return RegOpenKeyExA(root, "beta", 0, KEY_READ, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"query a value in another case",
         [](RegistryTest&, HKEY root) {
             return RegQueryValueExA(root, "cOUNT", nullptr, nullptr, nullptr, nullptr);
         },
         kOk},
        {"query a missing value",
         [](RegistryTest&, HKEY root) {
             return RegQueryValueExA(root, "Missing", nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_FILE_NOT_FOUND},
        {"query the unset default value",
         [](RegistryTest&, HKEY root) {
             return RegQueryValueExA(root, nullptr, nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_FILE_NOT_FOUND},
        {"query data without a size",
         [](RegistryTest&, HKEY root) {
             BYTE data[8];
             return RegQueryValueExA(root, "Count", nullptr, nullptr, data, nullptr);
         },
         ERROR_INVALID_PARAMETER},
        {"set a value through a read handle",
         [](RegistryTest& t, HKEY) {
             return RegSetValueExA(t.open("SOFTWARE\\Tarnwick"), "X", 0, REG_BINARY,
                                   reinterpret_cast<const BYTE*>("x"), 1);
         },
         ERROR_ACCESS_DENIED},
        {"delete a value through a read handle",
         [](RegistryTest& t, HKEY) {
             return RegDeleteValueA(t.open("SOFTWARE\\Tarnwick"), "Count");
         },
         ERROR_ACCESS_DENIED},
        {"create a new subkey through a read handle",
         [](RegistryTest& t, HKEY) {
             HKEY k = nullptr;
             return RegCreateKeyExA(t.open("SOFTWARE\\Tarnwick"), "New", 0, nullptr, 0, KEY_READ,
                                    nullptr, &k, nullptr);
         },
         ERROR_ACCESS_DENIED},
        {"open an existing subkey through RegCreateKeyExA on a read handle",
         [](RegistryTest& t, HKEY) {
             HKEY k = nullptr;
             LONG rc = RegCreateKeyExA(t.open("SOFTWARE\\Tarnwick"), "beta", 0, nullptr, 0,
                                       KEY_READ, nullptr, &k, nullptr);
             t.opened_.push_back(k);
             return rc;
         },
         kOk},
        {"query a value through a write-only handle",
         [](RegistryTest& t, HKEY) {
             return RegQueryValueExA(t.open("SOFTWARE\\Tarnwick", KEY_WRITE), "Count", nullptr,
                                     nullptr, nullptr, nullptr);
         },
         ERROR_ACCESS_DENIED},
        {"enumerate subkeys through a handle without that right",
         [](RegistryTest& t, HKEY) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumKeyExA(t.open("SOFTWARE\\Tarnwick", KEY_QUERY_VALUE), 0, name, &size,
                                  nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_ACCESS_DENIED},
        {"set a value through a handle opened with GENERIC_WRITE",
         [one](RegistryTest& t, HKEY) {
             return RegSetValueExA(t.open("SOFTWARE\\Tarnwick", GENERIC_WRITE), "G", 0, REG_BINARY,
                                   one, 1);
         },
         kOk},
        {"set a value with a size but no data",
         [](RegistryTest&, HKEY root) {
             return RegSetValueExA(root, "X", 0, REG_BINARY, nullptr, 4);
         },
         ERROR_INVALID_PARAMETER},
        {"delete a missing value",
         [](RegistryTest&, HKEY root) { return RegDeleteValueA(root, "Missing"); },
         ERROR_FILE_NOT_FOUND},
        {"enumerate subkeys past the end",
         [](RegistryTest&, HKEY root) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumKeyExA(root, 100, name, &size, nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_NO_MORE_ITEMS},
        {"enumerate values past the end",
         [](RegistryTest&, HKEY root) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumValueA(root, 100, name, &size, nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_NO_MORE_ITEMS},
        {"delete a key that has subkeys",
         [](RegistryTest&, HKEY) {
             return RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick");
         },
         ERROR_ACCESS_DENIED},
        {"delete a predefined key",
         [](RegistryTest&, HKEY) { return RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""); },
         ERROR_ACCESS_DENIED},
        {"delete a missing key",
         [](RegistryTest&, HKEY root) { return RegDeleteKeyA(root, "Missing"); },
         ERROR_FILE_NOT_FOUND},
        {"delete a leaf key in another case",
         [](RegistryTest&, HKEY root) { return RegDeleteKeyA(root, "GAMMA"); }, kOk},
        {"close a handle twice",
         [](RegistryTest&, HKEY) {
             HKEY k = nullptr;
             RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k);
             RegCloseKey(k);
             return RegCloseKey(k);
         },
         ERROR_INVALID_HANDLE},
        {"use a closed handle",
         [](RegistryTest&, HKEY) {
             HKEY k = nullptr;
             RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k);
             RegCloseKey(k);
             return RegQueryValueExA(k, "x", nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_INVALID_HANDLE},
        {"use a null handle",
         [](RegistryTest&, HKEY) {
             return RegQueryValueExA(nullptr, "x", nullptr, nullptr, nullptr, nullptr);
         },
         ERROR_INVALID_HANDLE},
        {"copy from a write-only handle",
         [](RegistryTest& t, HKEY root) {
             return RegCopyTreeA(t.open("SOFTWARE\\Tarnwick", KEY_WRITE), "beta", root);
         },
         ERROR_ACCESS_DENIED},
        {"copy into a read handle",
         [](RegistryTest& t, HKEY root) {
             return RegCopyTreeA(root, "beta", t.open("SOFTWARE\\Tarnwick\\AB"));
         },
         ERROR_ACCESS_DENIED},
        {"copy a missing subkey",
         [](RegistryTest&, HKEY root) { return RegCopyTreeA(root, "Missing", root); },
         ERROR_FILE_NOT_FOUND},
        {"delete the tree of a predefined key",
         [](RegistryTest&, HKEY) { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, nullptr); },
         ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(*this, root_), c.expected) << c.name;
    }
    for (HKEY k : opened_) RegCloseKey(k);
}

TEST_F(RegistryTest, NamesKeepTheirCaseAndSubkeysEnumerateInCaseInsensitiveOrder) {
    // Windows compares upper-cased names, so "_" (after the letters) sorts after "B".
    EXPECT_EQ(subkeys(root_),
              (std::vector<std::string>{"AB", "Alpha", "a_b", "beta", "Gamma", "_under"}));

    // A value set again under another case keeps its first name and its place.
    setDword(root_, "NAME", 7);
    EXPECT_EQ(valueNames(root_), (std::vector<std::string>{"Name", "Count", "Blob"}));
    DWORD type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(
        RegQueryValueExA(root_, "name", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        kOk);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 7u);

    // Creating an existing key in another case opens it and does not rename it.
    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TARNWICK\\BETA", 0, nullptr, 0,
                              KEY_READ, nullptr, &again, &disposition),
              kOk);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(again);
    EXPECT_EQ(subkeys(root_)[3], "beta");
}

TEST_F(RegistryTest, BufferTooSmallGivesMoreDataAndTheSizeNeeded) {
    // REG_SZ data keep the NUL the writer included.
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(root_, "Name", nullptr, &type, nullptr, &size), kOk);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    char small[3] = {'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(
        RegQueryValueExA(root_, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    char exact[6];
    size = sizeof exact;
    ASSERT_EQ(
        RegQueryValueExA(root_, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
        kOk);
    EXPECT_EQ(std::memcmp(exact, "Alpha", 6), 0);

    // Key and value names: the size needed includes the NUL; on success the length excludes it.
    char name[5];
    DWORD chars = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(root_, 1, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(chars, 6u);  // "Alpha"
    chars = sizeof name;
    EXPECT_EQ(RegEnumValueA(root_, 1, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(chars, 6u);  // "Count"
    char name6[6];
    chars = sizeof name6;
    BYTE data[2];
    DWORD dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(root_, 1, name6, &chars, nullptr, &type, data, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 4u);
}

TEST_F(RegistryTest, DefaultAndEmptyValues) {
    ASSERT_EQ(RegSetValueExA(root_, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("d"), 2), kOk);
    ASSERT_EQ(RegSetValueExA(root_, "Empty", 0, REG_BINARY, nullptr, 0), kOk);
    char text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(
        RegQueryValueExA(root_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
        kOk);
    EXPECT_EQ(size, 2u);
    EXPECT_STREQ(text, "d");
    DWORD type = 0;
    size = 99;
    ASSERT_EQ(
        RegQueryValueExA(root_, "Empty", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
        kOk);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 0u);
}

TEST_F(RegistryTest, CreateMakesMissingParentsAndReportsTheDisposition) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root_, "One\\Two\\Three", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              kOk);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(
        RegCreateKeyExA(root_, "One\\Two", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
        kOk);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(subkeys(key), std::vector<std::string>{"Three"});
    RegCloseKey(key);

    // An empty subkey opens the key itself.
    ASSERT_EQ(RegCreateKeyExA(root_, "", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
              kOk);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, nullptr), kOk);
    RegCloseKey(key);
}

TEST_F(RegistryTest, HandleToADeletedKeyFailsCleanly) {
    HKEY leaf = nullptr;
    ASSERT_EQ(RegOpenKeyExA(root_, "beta", 0, KEY_ALL_ACCESS, &leaf), kOk);
    ASSERT_EQ(RegDeleteKeyA(root_, "beta"), kOk);
    EXPECT_EQ(RegSetValueExA(leaf, "x", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExA(leaf, "x", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

    // A new key of the same name is another key: the old handle stays dead.
    HKEY fresh = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root_, "beta", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &fresh, nullptr),
        kOk);
    EXPECT_EQ(RegSetValueExA(leaf, "x", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(leaf), kOk);
    RegCloseKey(fresh);
}

TEST_F(RegistryTest, TreeIsDeletedLeafFirst) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root_, "Tree\\Branch\\Leaf", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              kOk);
    setDword(key, "v", 1);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(root_, "Tree"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(root_, "Tree\\Branch\\Leaf"), kOk);
    EXPECT_EQ(RegDeleteKeyA(root_, "Tree\\Branch"), kOk);
    EXPECT_EQ(RegDeleteKeyA(root_, "Tree"), kOk);
    EXPECT_EQ(RegOpenKeyExA(root_, "Tree", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeleteTreeRemovesEverythingBelow) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root_, "Tree\\Branch\\Leaf", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              kOk);
    setDword(key, "v", 1);
    RegCloseKey(key);

    // Without a subkey the key stays, emptied.
    HKEY tree = open("SOFTWARE\\Tarnwick\\Tree", KEY_ALL_ACCESS);
    setDword(tree, "own", 1);
    ASSERT_EQ(RegDeleteTreeA(tree, nullptr), kOk);
    DWORD subkeyCount = 9, valueCount = 9;
    ASSERT_EQ(RegQueryInfoKeyA(tree, nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr,
                               &valueCount, nullptr, nullptr, nullptr, nullptr),
              kOk);
    EXPECT_EQ(subkeyCount, 0u);
    EXPECT_EQ(valueCount, 0u);

    ASSERT_EQ(RegDeleteTreeA(root_, "Tree"), kOk);
    EXPECT_EQ(RegQueryValueExA(tree, "own", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    RegCloseKey(tree);
    opened_.clear();
}

TEST_F(RegistryTest, QueryInfoKeyCountsAndMeasures) {
    DWORD subkeyCount = 0, maxSubkey = 0, valueCount = 0, maxValueName = 0, maxValue = 0;
    char cls[4] = "xyz";
    DWORD clsSize = sizeof cls;
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyA(root_, cls, &clsSize, nullptr, &subkeyCount, &maxSubkey, nullptr,
                               &valueCount, &maxValueName, &maxValue, nullptr, &written),
              kOk);
    EXPECT_EQ(subkeyCount, 6u);
    EXPECT_EQ(maxSubkey, 6u);  // "_under"
    EXPECT_EQ(valueCount, 3u);
    EXPECT_EQ(maxValueName, 5u);  // "Count"
    EXPECT_EQ(maxValue, 6u);      // "Alpha" and its NUL
    EXPECT_EQ(clsSize, 0u);
    EXPECT_STREQ(cls, "");
    EXPECT_NE(written.dwHighDateTime, 0u);
}

TEST_F(RegistryTest, CopyTreeCopiesValuesAndSubkeysOverwriting) {
    HKEY source = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Src", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &source, nullptr),
              kOk);
    HKEY deep = nullptr;
    ASSERT_EQ(RegCreateKeyExA(source, "Boards\\01\\Spans", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &deep, nullptr),
              kOk);
    setDword(deep, "ForUse", 1);
    RegCloseKey(deep);
    HKEY board = open("SOFTWARE\\Src\\Boards\\01", KEY_ALL_ACCESS);
    setString(board, "MTCRegKey", "new");

    HKEY target = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Dst\\Boards\\01", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &target, nullptr),
              kOk);
    setString(target, "MTCRegKey", "old");
    setString(target, "Kept", "yes");
    RegCloseKey(target);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Dst\\Boards\\09", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &target, nullptr),
              kOk);
    RegCloseKey(target);

    HKEY destination = open("SOFTWARE\\Dst\\Boards", KEY_WRITE);
    ASSERT_EQ(RegCopyTreeA(source, "Boards", destination), kOk);

    HKEY copied = open("SOFTWARE\\Dst\\Boards\\01");
    char text[16];
    DWORD size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(copied, "mtcregkey", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                               &size),
              kOk);
    EXPECT_STREQ(text, "new");
    EXPECT_EQ(RegQueryValueExA(copied, "Kept", nullptr, nullptr, nullptr, nullptr), kOk);
    HKEY spans = open("SOFTWARE\\Dst\\Boards\\01\\Spans");
    EXPECT_EQ(RegQueryValueExA(spans, "ForUse", nullptr, nullptr, nullptr, nullptr), kOk);
    // Keys only in the destination stay.
    EXPECT_EQ(subkeys(open("SOFTWARE\\Dst\\Boards")), (std::vector<std::string>{"01", "09"}));
    // The source is unchanged.
    EXPECT_EQ(subkeys(open("SOFTWARE\\Src\\Boards\\01")), std::vector<std::string>{"Spans"});

    for (HKEY k : opened_) RegCloseKey(k);
    opened_.clear();
    RegCloseKey(source);
}

TEST_F(RegistryTest, CopyTreeIntoItsOwnSubtreeEnds) {
    HKEY into = open("SOFTWARE\\Tarnwick\\beta", KEY_ALL_ACCESS);
    ASSERT_EQ(RegCopyTreeA(root_, nullptr, into), kOk);
    // One level of copy: the copy of "beta" inside beta is empty, as beta was when read.
    EXPECT_EQ(subkeys(into),
              (std::vector<std::string>{"AB", "Alpha", "a_b", "beta", "Gamma", "_under"}));
    EXPECT_TRUE(subkeys(open("SOFTWARE\\Tarnwick\\beta\\beta")).empty());
    EXPECT_EQ(valueNames(into), (std::vector<std::string>{"Name", "Count", "Blob"}));
    for (HKEY k : opened_) RegCloseKey(k);
    opened_.clear();
}

TEST_F(RegistryTest, DataPersistAcrossReopening) {
    TarnwickStore_Close();
    ASSERT_EQ(TarnwickStore_Open(storePath().c_str()), static_cast<DWORD>(ERROR_SUCCESS));
    // Handles of the closed store are gone.
    EXPECT_EQ(RegQueryValueExA(root_, "Count", nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    HKEY key = open("SOFTWARE\\Tarnwick");
    BYTE blob[3] = {};
    DWORD size = sizeof blob;
    ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, nullptr, blob, &size), kOk);
    EXPECT_EQ(std::vector<BYTE>(blob, blob + 3), (std::vector<BYTE>{1, 2, 3}));
    RegCloseKey(key);
    opened_.clear();
    root_ = nullptr;
}

TEST_F(RegistryTest, OuterTransactionCommitsOrUndoesEverything) {
    ASSERT_EQ(TarnwickStore_BeginTransaction(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(TarnwickStore_BeginTransaction(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    setDword(root_, "Undone", 1);
    // A call that fails inside the transaction does not end it.
    EXPECT_EQ(RegDeleteValueA(root_, "Missing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(TarnwickStore_EndTransaction(FALSE), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(root_, "Undone", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(TarnwickStore_BeginTransaction(), static_cast<DWORD>(ERROR_SUCCESS));
    setDword(root_, "Kept", 1);
    EXPECT_EQ(RegDeleteValueA(root_, "Missing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(TarnwickStore_EndTransaction(TRUE), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(root_, "Kept", nullptr, nullptr, nullptr, nullptr), kOk);
    EXPECT_EQ(TarnwickStore_EndTransaction(TRUE), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

TEST_F(RegistryTest, RefusedCreateLeavesNoIntermediateKeys) {
    HKEY reader = open("SOFTWARE\\Tarnwick");
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(reader, "P\\Q\\R", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(root_, "P", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    RegCloseKey(reader);
    opened_.clear();
}

}  // namespace
