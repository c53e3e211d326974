// The .reg file format and reg.exe's data conventions.
#include "RegFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RegData.h"

namespace {

using namespace tarnwick::ctl;

std::vector<BYTE> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

bool operator==(const RegFileValue& a, const RegFileValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data && a.remove == b.remove;
}

TEST(RegFile, EveryKindOfValueComesBackByteForByte) {
    std::vector<BYTE> longBinary;
    for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<BYTE>(i));
    RegFileDocument document;
    document.keys.push_back(
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick",
         false,
         {
             {"", REG_SZ, bytes(std::string("default") + '\0'), false},
             {"Quote\"and\\slash", REG_SZ, bytes(std::string("a\"b\\c") + '\0'), false},
             {"Empty", REG_SZ, bytes(std::string(1, '\0')), false},
             {"NoNul", REG_SZ, bytes("unterminated"), false},
             {"Lines", REG_SZ, bytes(std::string("one\r\ntwo") + '\0'), false},
             {"Accents", REG_SZ, bytes(std::string("caf\xC3\xA9") + '\0'), false},
             {"NotUtf8", REG_SZ, bytes(std::string("\xFF\xFEz") + '\0'), false},
             {"Expand", REG_EXPAND_SZ,
              bytes(std::string("%RAVI_PATH%\\sys\\mt_tarnwick_hal.dll") + '\0'), false},
             {"Multi", REG_MULTI_SZ, bytes(std::string("one") + '\0' + "two" + '\0' + '\0'), false},
             {"Count", REG_DWORD, {0x32, 0, 0, 0}, false},
             {"ShortDword", REG_DWORD, {1, 2}, false},
             {"Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, false},
             {"Blob", REG_BINARY, longBinary, false},
             {"EmptyBlob", REG_BINARY, {}, false},
             {"None", REG_NONE, {9}, false},
             {"Odd", 0x1234, {7, 7}, false},
             {"Gone", REG_NONE, {}, true},
         }});
    document.keys.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Sub Key", false, {}});
    document.keys.push_back({"HKEY_CURRENT_USER\\Old", true, {}});

    std::string file = writeRegFile(document);
    RegFileDocument back = parseRegFile(file);
    ASSERT_EQ(back.keys.size(), document.keys.size());
    for (std::size_t k = 0; k < document.keys.size(); ++k) {
        EXPECT_EQ(back.keys[k].path, document.keys[k].path);
        EXPECT_EQ(back.keys[k].remove, document.keys[k].remove);
        ASSERT_EQ(back.keys[k].values.size(), document.keys[k].values.size());
        for (std::size_t v = 0; v < document.keys[k].values.size(); ++v) {
            EXPECT_TRUE(back.keys[k].values[v] == document.keys[k].values[v])
                << document.keys[k].values[v].name;
        }
    }
}

TEST(RegFile, IsWrittenAsTheWindowsToolsWriteIt) {
    RegFileDocument document;
    std::vector<BYTE> blob(100, 0xab);
    document.keys.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\X",
                             false,
                             {{"Count", REG_DWORD, {0x32, 0, 0, 0}, false},
                              {"Path", REG_EXPAND_SZ, bytes(std::string("%A%") + '\0'), false},
                              {"Blob", REG_BINARY, blob, false}}});
    std::string file = writeRegFile(document);
    ASSERT_GE(file.size(), 2u);
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    std::string text;
    for (std::size_t i = 2; i + 1 < file.size(); i += 2) {
        ASSERT_EQ(file[i + 1], '\0');  // ASCII content only in this document
        text += file[i];
    }
    const std::string start =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"
        "\"Count\"=dword:00000032\r\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"), std::string::npos);
    // Long data wrap before 80 columns with a trailing backslash and two spaces of indent.
    std::size_t from = 0;
    int continued = 0;
    while (from < text.size()) {
        std::size_t end = text.find("\r\n", from);
        std::string line = text.substr(from, end - from);
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("  ", 0) == 0) ++continued;
        from = end + 2;
    }
    EXPECT_GT(continued, 0);
}

TEST(RegFile, ReadsFilesAsPeopleAndWindowsWriteThem) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKLM\\SOFTWARE\\Vazivuvovi\\Telephony\\Ready\\Boards\\01]\r\n"
        "\"ForUse\"=dword:1\r\n"
        "\"MTCRegKey\"=\"SOFTWARE\\\\Vazivuvovi\\\\MTC\\\\Configuration\\\\0\"\r\n"
        "\"Wrapped\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "@=\"default\"\r\n"
        "\"Old\"=-\r\n"
        "\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n";
    for (const std::string& file : {text, std::string("\xEF\xBB\xBF") + text, utf16le(text)}) {
        RegFileDocument document = parseRegFile(file);
        ASSERT_EQ(document.keys.size(), 2u);
        const auto& key = document.keys[0];
        EXPECT_EQ(key.path, "HKLM\\SOFTWARE\\Vazivuvovi\\Telephony\\Ready\\Boards\\01");
        ASSERT_EQ(key.values.size(), 5u);
        EXPECT_EQ(key.values[0].type, REG_DWORD);
        EXPECT_EQ(key.values[0].data, (std::vector<BYTE>{1, 0, 0, 0}));
        EXPECT_EQ(key.values[1].data,
                  bytes(std::string("SOFTWARE\\Vazivuvovi\\MTC\\Configuration\\0") + '\0'));
        EXPECT_EQ(key.values[2].data, (std::vector<BYTE>{1, 2, 3, 4}));
        EXPECT_EQ(key.values[3].name, "");
        EXPECT_TRUE(key.values[4].remove);
        EXPECT_TRUE(document.keys[1].remove);
    }
}

TEST(RegFile, OlderFormatKeepsTextBytesAsTheyAre) {
    RegFileDocument document =
        parseRegFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n\"E\"=hex(2):41,42,00\n");
    ASSERT_EQ(document.keys.size(), 1u);
    EXPECT_EQ(document.keys[0].values[0].type, REG_EXPAND_SZ);
    EXPECT_EQ(document.keys[0].values[0].data, bytes(std::string("AB") + '\0'));
}

TEST(RegFile, BadInputNamesTheLine) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    struct Case {
        std::string file;
        std::size_t line;
        const char* mentions;
    };
    const Case cases[] = {
        {"", 1, "empty"},
        {"[HKEY_LOCAL_MACHINE\\X]\n", 1, "first line"},
        {header + "\"v\"=dword:1\n", 2, "before any [key]"},
        {header + "[HKEY_LOCAL_MACHINE\\X\n", 2, "must end with ']'"},
        {header + "[HKEY_CLASSES_ROOT\\X]\n", 2, "unsupported root"},
        {header + "[HKLM\\X]\n\"v\"=dword:123456789\n", 3, "1 to 8"},
        {header + "[HKLM\\X]\n\"v\"=dword:xyz\n", 3, "hexadecimal"},
        {header + "[HKLM\\X]\n\"v\"=hex:1,zz\n", 3, "bytes like"},
        {header + "[HKLM\\X]\n\"v\"=hex:123\n", 3, "bytes like"},
        {header + "[HKLM\\X]\n\"v\"=hex(2):41\n", 3, "even number"},
        {header + "[HKLM\\X]\n\"v\"=hex(zz):41\n", 3, "hexadecimal"},
        {header + "[HKLM\\X]\n\"v\"=\"open\n", 3, "not closed"},
        {header + "[HKLM\\X]\n\"v\"=\"a\\tb\"\n", 3, "invalid escape"},
        {header + "[HKLM\\X]\n\"v\"=\"a\" extra\n", 3, "after a quoted string"},
        {header + "[HKLM\\X]\n\"v\" dword:1\n", 3, "expected '='"},
        {header + "[HKLM\\X]\n\"v\"=word:1\n", 3, "unknown value data"},
        {header + "[HKLM\\X]\nv=dword:1\n", 3, "expected a [key]"},
        {header + "[HKLM\\X]\n\"\"=dword:1\n", 3, "name is empty"},
        {"\xFE\xFF\0W", 1, "big-endian"},
    };
    for (const auto& c : cases) {
        try {
            parseRegFile(c.file);
            ADD_FAILURE() << "accepted: " << c.file;
        } catch (const RegFileError& e) {
            EXPECT_EQ(e.line(), c.line) << c.file;
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos)
                << e.what() << " for " << c.file;
        }
    }
}

TEST(RegData, DataAreShownAsRegQueryShowsThem) {
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        const char* shown;
    };
    const Case cases[] = {
        {REG_SZ, bytes(std::string("text") + '\0'), "text"},
        {REG_EXPAND_SZ, bytes(std::string("%A%") + '\0' + "hidden"), "%A%"},
        {REG_MULTI_SZ, bytes(std::string("a") + '\0' + "bc" + '\0' + '\0'), "a\\0bc"},
        {REG_DWORD, {0x32, 0, 0, 0}, "0x32"},
        {REG_DWORD, {1, 2}, "0102"},
        {REG_QWORD, {0, 0, 0, 0, 1, 0, 0, 0}, "0x100000000"},
        {REG_BINARY, {0x0a, 0xff}, "0AFF"},
        {REG_NONE, {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(showData(c.type, c.data), c.shown) << c.shown;
    EXPECT_EQ(typeName(REG_MULTI_SZ), "REG_MULTI_SZ");
    EXPECT_EQ(typeName(99), "REG_UNKNOWN");
}

TEST(RegData, DataAreReadAsRegAddReadsThem) {
    struct Case {
        DWORD type;
        std::string text;
        std::string separator;
        bool accepted;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {REG_DWORD, "50", "\\0", true, {50, 0, 0, 0}},
        {REG_DWORD, "0xFFFFFFFF", "\\0", true, {0xff, 0xff, 0xff, 0xff}},
        {REG_DWORD, "4294967296", "\\0", false, {}},
        {REG_DWORD, "-1", "\\0", false, {}},
        {REG_DWORD, "12abc", "\\0", false, {}},
        {REG_DWORD, "0x", "\\0", false, {}},
        {REG_DWORD, "", "\\0", true, {0, 0, 0, 0}},
        {REG_QWORD, "0x100000000", "\\0", true, {0, 0, 0, 0, 1, 0, 0, 0}},
        {REG_BINARY, "0a0B", "\\0", true, {0x0a, 0x0b}},
        {REG_BINARY, "abc", "\\0", false, {}},
        {REG_BINARY, "zz", "\\0", false, {}},
        {REG_SZ, "x", "\\0", true, {'x', 0}},
        {REG_MULTI_SZ, "a\\0b", "\\0", true, {'a', 0, 'b', 0, 0}},
        {REG_MULTI_SZ, "a,b", ",", true, {'a', 0, 'b', 0, 0}},
        {REG_MULTI_SZ, "", "\\0", true, {0}},
        {REG_MULTI_SZ, "a\\0\\0b", "\\0", false, {}},
    };
    for (const auto& c : cases) {
        std::string error;
        auto data = parseData(c.type, c.text, c.separator, error);
        EXPECT_EQ(data.has_value(), c.accepted) << c.text;
        if (data && c.accepted) {
            EXPECT_EQ(*data, c.data) << c.text;
        }
        if (!c.accepted) {
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
        }
    }
}

TEST(RegData, KeyNames) {
    std::string error;
    auto key = parseKeyName("hklm\\SOFTWARE\\X\\", error);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(key->full(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\X");
    key = parseKeyName("HKEY_CURRENT_USER", error);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->full(), "HKEY_CURRENT_USER");
    EXPECT_FALSE(parseKeyName("HKCR\\X", error).has_value());
    EXPECT_NE(error.find("HKCR\\X"), std::string::npos);
    EXPECT_FALSE(parseKeyName("\\\\server\\HKLM\\X", error).has_value());
    EXPECT_NE(error.find("Remote"), std::string::npos);
}

}  // namespace
