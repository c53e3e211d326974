#include <ostream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "gtest/gtest.h"
#include "hardware/Description.h"

namespace {

// A file with one module whose fields are given; the rest of the file is right.
std::string oneModule(const std::string& fields) {
    return R"({"modules": [{)" + fields + "}]}";
}

const std::string kIdentity = R"("number": 2, "serialNumber": "100", "product": "Board")";

std::string withTrunk(const std::string& trunk) {
    return oneModule(kIdentity + R"(, "trunks": [)" + trunk + "]");
}

std::string withFeature(const std::string& feature) {
    return oneModule(kIdentity + R"(, "trunks": [], "features": [)" + feature + "]");
}

struct BrokenCase {
    const char* name;
    std::string content;
    std::string place;                  // exactly what place() reports
    std::vector<std::string> mentions;  // fragments the message must carry
};

std::string deeplyNested() {
    return R"({"modules": )" + std::string(40, '[') + std::string(40, ']') + "}";
}

const BrokenCase kCases[] = {
    // Syntax: the place is the line and column of the last character the parser read, which is
    // the end of the unexpected token.
    {"MissingComma",
     "{\n  \"modules\": [\n    {\"number\": 2 \"serialNumber\": \"1\"}\n  ]\n}",
     "line 3, column 31",
     {"syntax error", "unexpected string literal"}},
    {"ColumnsCountCharactersNotBytes",
     "{\"modules\": [{\"product\": \"\xc3\xa9\xc3\xa9\" x]}",
     "line 1, column 31",
     {"syntax error"}},
    {"EmptyFile", "", "line 1, column 1", {"unexpected end of input"}},
    {"TrailingText", "{\"modules\": []}\n\nx", "line 3, column 1", {"syntax error"}},
    {"UnterminatedText",
     "{\"modules\": [{\"product\": \"abc",
     "line 1, column 30",
     {"syntax error"}},
    {"KeyGivenTwice",
     oneModule(R"("number": 2, "number": 3, "serialNumber": "1")"),
     "/modules/0/number",
     {"twice"}},
    {"NestingTooDeep",
     deeplyNested(),
     "/modules/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0",
     {"at most 32 levels"}},

    // Top level.
    {"TopLevelNotAnObject", "[]", "top level", {"expected an object", "found a list"}},
    {"ModulesMissing", "{}", "top level", {"the key \"modules\"", "no such key"}},
    {"UnknownTopLevelKey",
     R"({"modules": [], "modulse": []})",
     "/modulse",
     {"only the key modules", "unknown key"}},
    {"UnknownKeyIsEscapedInThePointer",
     R"({"modules": [], "a/b~c": 1})",
     "/a~1b~0c",
     {"unknown key"}},
    {"ModulesNotAList",
     R"({"modules": {}})",
     "/modules",
     {"a list of at most 126 modules", "found an object"}},
    {"ModuleNotAnObject", R"({"modules": [7]})", "/modules/0", {"an object", "found 7"}},

    // Module number.
    {"NumberAsText",
     oneModule(R"("number": "2")"),
     "/modules/0/number",
     {"an integer from 2 to 127", "found \"2\""}},
    {"NumberTooHigh",
     oneModule(R"("number": 128)"),
     "/modules/0/number",
     {"an integer from 2 to 127", "found 128"}},
    {"NumberTooLow", oneModule(R"("number": 1)"), "/modules/0/number", {"found 1"}},
    {"NumberNegative", oneModule(R"("number": -3)"), "/modules/0/number", {"found -3"}},
    {"NumberWithFraction", oneModule(R"("number": 2.5)"), "/modules/0/number", {"found 2.5"}},
    {"NumberBeyondSixtyFourBits",
     oneModule(R"("number": 18446744073709551616)"),
     "/modules/0/number",
     {"an integer from 2 to 127"}},
    {"NumberLargestUnsigned",
     oneModule(R"("number": 18446744073709551615)"),
     "/modules/0/number",
     {"found 18446744073709551615"}},
    {"NumberMissing",
     oneModule(R"("serialNumber": "1")"),
     "/modules/0",
     {"the key \"number\"", "no such key"}},
    {"NumberUsedTwice",
     R"({"modules": [{"number": 2, "serialNumber": "1", "product": "a", "trunks": []},
                     {"number": 2, "serialNumber": "2", "product": "b", "trunks": []}]})",
     "/modules/1/number",
     {"not used by /modules/0", "found 2"}},

    // Serial number.
    {"SerialUsedTwice",
     R"({"modules": [{"number": 2, "serialNumber": "1", "product": "a", "trunks": []},
                     {"number": 3, "serialNumber": "1", "product": "b", "trunks": []}]})",
     "/modules/1/serialNumber",
     {"not used by /modules/0"}},
    {"SerialWithLeadingZero",
     oneModule(R"("number": 2, "serialNumber": "0123")"),
     "/modules/0/serialNumber",
     {"decimal digits", "found \"0123\""}},
    {"SerialWithLetters",
     oneModule(R"("number": 2, "serialNumber": "12A4")"),
     "/modules/0/serialNumber",
     {"found \"12A4\""}},
    {"SerialBeyondThirtyTwoBits",
     oneModule(R"("number": 2, "serialNumber": "2147483648")"),
     "/modules/0/serialNumber",
     {"2147483647"}},
    {"SerialEmpty",
     oneModule(R"("number": 2, "serialNumber": "")"),
     "/modules/0/serialNumber",
     {"found an empty text"}},
    {"SerialAsNumber",
     oneModule(R"("number": 2, "serialNumber": 100)"),
     "/modules/0/serialNumber",
     {"found 100"}},

    // Texts.
    {"ProductMissing",
     oneModule(R"("number": 2, "serialNumber": "1", "trunks": [])"),
     "/modules/0",
     {"the key \"product\""}},
    {"ProductEmpty",
     oneModule(R"("number": 2, "serialNumber": "1", "product": "")"),
     "/modules/0/product",
     {"a text of 1 to 131 bytes", "found an empty text"}},
    {"ProductTooLong",
     oneModule(R"("number": 2, "serialNumber": "1", "product": ")" + std::string(132, 'p') + "\""),
     "/modules/0/product",
     {"a text of 132 bytes"}},
    {"ProductWithControlCharacter",
     oneModule(R"("number": 2, "serialNumber": "1", "product": "a\tb")"),
     "/modules/0/product",
     {"without control characters"}},
    {"LongValueIsShortenedOnACharacterBoundary",
     oneModule(R"("number": 2, "serialNumber": "1", "product": ")" +
               [] {
                   std::string p;
                   for (int i = 0; i < 40; ++i) {
                       p += "\xc3\xa9";
                   }
                   return p + "\\t\"";
               }()),
     "/modules/0/product",
     {"without control characters", "...\""}},
    {"RevisionNotAText",
     oneModule(kIdentity + R"(, "revision": 3, "trunks": [])"),
     "/modules/0/revision",
     {"a text of at most 131 bytes", "found 3"}},
    {"UnknownModuleKey",
     oneModule(kIdentity + R"(, "prodcut": "x", "trunks": [])"),
     "/modules/0/prodcut",
     {"one of the keys number, serialNumber, product", "unknown key"}},
    {"VoiceResourcesTooMany",
     oneModule(kIdentity + R"(, "voiceResources": 2048, "trunks": [])"),
     "/modules/0/voiceResources",
     {"an integer from 0 to 2047", "found 2048"}},

    // Trunks.
    {"TrunksMissing", oneModule(kIdentity), "/modules/0", {"the key \"trunks\""}},
    {"TooManyTrunks",
     oneModule(kIdentity + R"(, "trunks": [)" +
               [] {
                   std::string t;
                   for (int i = 0; i < 11; ++i) {
                       t += std::string(i ? "," : "") + R"({"type": "E1", "channels": 30})";
                   }
                   return t;
               }() +
               "]"),
     "/modules/0/trunks",
     {"a list of at most 10 trunks", "found a list of 11"}},
    {"UnknownTrunkType",
     withTrunk(R"({"type": "J1", "channels": 30})"),
     "/modules/0/trunks/0/type",
     {"one of E1, T1, ANALOG", "found \"J1\""}},
    {"TrunkTypeInLowerCase",
     withTrunk(R"({"type": "e1", "channels": 30})"),
     "/modules/0/trunks/0/type",
     {"one of E1, T1, ANALOG"}},
    {"TrunkTypeMissing",
     withTrunk(R"({"channels": 30})"),
     "/modules/0/trunks/0",
     {"the key \"type\""}},
    {"ChannelsZero",
     withTrunk(R"({"type": "E1", "channels": 0})"),
     "/modules/0/trunks/0/channels",
     {"an integer from 1 to 31 for an E1 trunk", "found 0"}},
    {"ChannelsTooManyForT1",
     withTrunk(R"({"type": "T1", "channels": 25})"),
     "/modules/0/trunks/0/channels",
     {"from 1 to 24 for a T1 trunk", "found 25"}},
    {"ChannelsTooManyForAnalog",
     withTrunk(R"({"type": "ANALOG", "channels": 256})"),
     "/modules/0/trunks/0/channels",
     {"from 1 to 255 for an ANALOG trunk"}},
    {"ChannelsMissing",
     withTrunk(R"({"type": "E1"})"),
     "/modules/0/trunks/0",
     {"the key \"channels\""}},
    {"SubtypeOfAnotherType",
     withTrunk(R"({"type": "E1", "subtype": "LOOP-START", "channels": 30})"),
     "/modules/0/trunks/0/subtype",
     {"one of CAS, PRI, R2, or \"\" for an E1 trunk", "found \"LOOP-START\""}},
    {"SubtypeUnknown",
     withTrunk(R"({"type": "T1", "subtype": "ESF", "channels": 24})"),
     "/modules/0/trunks/0/subtype",
     {"one of PRI, RBS, or \"\" for a T1 trunk"}},
    {"TrunkNumbersNotAscending",
     withTrunk(R"({"number": 2, "type": "E1", "channels": 30},
                  {"number": 2, "type": "E1", "channels": 30})"),
     "/modules/0/trunks/1/number",
     {"an integer from 3 to 99", "found 2"}},
    {"TrunkNumberZero",
     withTrunk(R"({"number": 0, "type": "E1", "channels": 30})"),
     "/modules/0/trunks/0/number",
     {"an integer from 1 to 99"}},
    {"TrunkAfterTheLastNumber",
     withTrunk(R"({"number": 99, "type": "E1", "channels": 30}, {"type": "E1", "channels": 30})"),
     "/modules/0/trunks/1",
     {"no further trunk after number 99"}},
    {"SpanTypeByteOfAnotherType",
     withTrunk(R"({"type": "E1", "channels": 30, "talSpanType": 3})"),
     "/modules/0/trunks/0/talSpanType",
     {"one of 5, 6 for an E1 trunk", "found 3"}},
    {"SpanSubtypeByteTooLarge",
     withTrunk(R"({"type": "E1", "channels": 30, "talSpanSubtype": 256})"),
     "/modules/0/trunks/0/talSpanSubtype",
     {"an integer from 0 to 255"}},
    {"UnknownTrunkKey",
     withTrunk(R"({"type": "E1", "chanels": 30})"),
     "/modules/0/trunks/0/chanels",
     {"one of the keys number, type, subtype, channels"}},

    // Features.
    {"FeatureKeyTooLong",
     withFeature(R"({"key": "TooLongKey", "type": "switch", "value": 1})"),
     "/modules/0/features/0/key",
     {"1 to 8 printable ASCII characters", "found \"TooLongKey\""}},
    {"FeatureKeyWithSpace",
     withFeature(R"({"key": "Adv Sph", "type": "switch", "value": 1})"),
     "/modules/0/features/0/key",
     {"without spaces"}},
    {"FeatureKeyReserved",
     withFeature(R"({"key": "SerialN", "type": "integer", "value": 5})"),
     "/modules/0/features/0/key",
     {"a key other than Product and SerialN"}},
    {"FeatureKeyUsedTwice",
     withFeature(R"({"key": "AdvSph", "type": "switch", "value": 1},
                    {"key": "AdvSph", "type": "switch", "value": 0})"),
     "/modules/0/features/1/key",
     {"a key not used by /modules/0/features/0"}},
    {"FeatureTypeUnknown",
     withFeature(R"({"key": "AdvSph", "type": "bool", "value": 1})"),
     "/modules/0/features/0/type",
     {"one of switch, integer, text", "found \"bool\""}},
    {"TextFeatureWithNumber",
     withFeature(R"({"key": "Region", "type": "text", "value": 5})"),
     "/modules/0/features/0/value",
     {"a text", "found 5"}},
    {"SwitchFeatureWithText",
     withFeature(R"({"key": "AdvSph", "type": "switch", "value": "on"})"),
     "/modules/0/features/0/value",
     {"an integer from -2147483648 to 2147483647 for a switch feature", "found \"on\""}},
    {"IntegerFeatureBeyondThirtyTwoBits",
     withFeature(R"({"key": "DspCnt", "type": "integer", "value": 2147483648})"),
     "/modules/0/features/0/value",
     {"for an integer feature", "found 2147483648"}},
    {"FeatureValueMissing",
     withFeature(R"({"key": "DspCnt", "type": "integer"})"),
     "/modules/0/features/0",
     {"the key \"value\""}},
    {"UnknownFeatureKey",
     withFeature(R"({"key": "DspCnt", "type": "integer", "value": 1, "unit": "x"})"),
     "/modules/0/features/0/unit",
     {"one of the keys key, type, value"}},
};

bool validUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80         ? 1
                                   : (lead >> 5) == 6  ? 2
                                   : (lead >> 4) == 14 ? 3
                                   : (lead >> 3) == 30 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

void PrintTo(const BrokenCase& c, std::ostream* out) {
    *out << c.name;
}

class BrokenFile : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFile, IsRefusedWithFilePlaceAndExpectation) {
    const BrokenCase& c = GetParam();
    hwtest::TempDir dir;
    const auto file = dir.write("machine.json", c.content);
    try {
        hw::load(file);
        FAIL() << "accepted:\n" << c.content;
    } catch (const hw::DescriptionError& error) {
        const std::string what = error.what();
        EXPECT_EQ(error.file(), file.string());
        EXPECT_EQ(error.place(), c.place) << what;
        EXPECT_NE(what.find(file.string()), std::string::npos) << what;
        EXPECT_NE(what.find(c.place), std::string::npos) << what;
        for (const auto& fragment : c.mentions) {
            EXPECT_NE(error.detail().find(fragment), std::string::npos)
                << "missing \"" << fragment << "\" in: " << what;
        }
        EXPECT_EQ(what.find('\n'), std::string::npos) << "one line: " << what;
        EXPECT_TRUE(validUtf8(what)) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenFile, ::testing::ValuesIn(kCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(UnreadableFile, MissingFileIsNamed) {
    hwtest::TempDir dir;
    const auto file = dir.path() / "absent.json";
    try {
        hw::load(file);
        FAIL() << "a missing file was accepted";
    } catch (const hw::DescriptionError& error) {
        const std::string what = error.what();
        EXPECT_EQ(error.file(), file.string());
        EXPECT_NE(what.find(file.string()), std::string::npos) << what;
        EXPECT_NE(what.find("No such file or directory"), std::string::npos) << what;
    }
}

TEST(UnreadableFile, DirectoryIsRefused) {
    hwtest::TempDir dir;
    try {
        hw::load(dir.path());
        FAIL() << "a directory was accepted";
    } catch (const hw::DescriptionError& error) {
        EXPECT_NE(std::string(error.what()).find("directory"), std::string::npos) << error.what();
    }
}

TEST(UnreadableFile, SizeLimitIsOneMebibyte) {
    hwtest::TempDir dir;
    const std::string body = R"({"modules": []})";
    const std::size_t limit = std::size_t{1} << 20;

    std::string atLimit = std::string(limit - body.size(), ' ') + body;
    const hw::Description loaded = hw::load(dir.write("at-limit.json", atLimit));
    EXPECT_TRUE(loaded.modules.empty());

    try {
        hw::load(dir.write("over-limit.json", " " + atLimit));
        FAIL() << "a file over the limit was accepted";
    } catch (const hw::DescriptionError& error) {
        EXPECT_NE(std::string(error.what()).find("at most 1 MiB"), std::string::npos)
            << error.what();
    }
}

TEST(ParsedText, ErrorsNameTheGivenSource) {
    try {
        hw::parse("{", "<from the test>");
        FAIL();
    } catch (const hw::DescriptionError& error) {
        EXPECT_EQ(error.file(), "<from the test>");
        EXPECT_EQ(error.place(), "line 1, column 2");
    }
}

}  // namespace
