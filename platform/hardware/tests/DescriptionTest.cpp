#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "gtest/gtest.h"
#include "hardware/Description.h"

namespace {

hw::Trunk trunk(uint32_t number, const char* type, const char* subtype, uint32_t channels,
                uint8_t spanType, uint8_t spanSubtype) {
    return hw::Trunk{number, type, subtype, channels, spanType, spanSubtype};
}

hw::Module module(uint32_t number, const char* serial) {
    hw::Module m;
    m.number = number;
    m.serialNumber = serial;
    m.product = "Board " + std::to_string(number);
    m.hostBusFormat = "PCI";
    return m;
}

TEST(DefaultDescription, IsOneE1AndOneT1ModuleInAscendingOrder) {
    const hw::Description d = hw::builtinDefault();
    ASSERT_EQ(d.modules.size(), 2u);
    const hw::Module& e1 = d.modules[0];
    const hw::Module& t1 = d.modules[1];
    EXPECT_LT(e1.number, t1.number);
    for (const hw::Module* m : {&e1, &t1}) {
        EXPECT_GE(m->number, 2u);
        EXPECT_LE(m->number, 127u);
        EXPECT_FALSE(m->product.empty());
        EXPECT_FALSE(m->serialNumber.empty());
    }
    EXPECT_NE(e1.serialNumber, t1.serialNumber);

    ASSERT_EQ(e1.trunks.size(), 2u);
    for (uint32_t i = 0; i < e1.trunks.size(); ++i) {
        EXPECT_EQ(e1.trunks[i].number, i + 1);
        EXPECT_EQ(e1.trunks[i].type, "E1");
        EXPECT_EQ(e1.trunks[i].channels, 30u);
        EXPECT_EQ(e1.trunks[i].talSpanType, 5u);
    }
    ASSERT_EQ(t1.trunks.size(), 4u);
    for (uint32_t i = 0; i < t1.trunks.size(); ++i) {
        EXPECT_EQ(t1.trunks[i].number, i + 1);
        EXPECT_EQ(t1.trunks[i].type, "T1");
        EXPECT_EQ(t1.trunks[i].channels, 24u);
        EXPECT_EQ(t1.trunks[i].talSpanType, 3u);
    }
    EXPECT_EQ(e1.lines(), 60u);
    EXPECT_EQ(t1.lines(), 96u);
    EXPECT_EQ(e1.voiceResources, 60u);
    EXPECT_EQ(t1.voiceResources, 96u);

    EXPECT_EQ(d.logicalIdOf(e1.number), 1u);
    EXPECT_EQ(d.logicalIdOf(t1.number), 2u);
    EXPECT_EQ(d.findByLogicalId(1), &e1);
    EXPECT_EQ(d.findByLogicalId(2), &t1);
    EXPECT_EQ(d.findByNumber(t1.number), &t1);
}

TEST(DefaultDescription, ExampleFileDescribesTheSameMachine) {
    EXPECT_EQ(hw::load(TARNWICK_HW_EXAMPLE), hw::builtinDefault())
        << "regenerate the example from hw::toJson(hw::builtinDefault()):\n"
        << hw::toJson(hw::builtinDefault());
}

TEST(Lookup, LogicalIdsCountModulesInAscendingNumberWhateverTheirOrder) {
    hw::Description d;
    d.modules = {module(40, "1"), module(3, "2"), module(9, "3")};
    EXPECT_EQ(d.logicalIdOf(3), 1u);
    EXPECT_EQ(d.logicalIdOf(9), 2u);
    EXPECT_EQ(d.logicalIdOf(40), 3u);
    EXPECT_EQ(d.logicalIdOf(4), 0u) << "a module that is not fitted has no logical id";
    ASSERT_NE(d.findByLogicalId(1), nullptr);
    EXPECT_EQ(d.findByLogicalId(1)->number, 3u);
    EXPECT_EQ(d.findByLogicalId(3)->number, 40u);
    EXPECT_EQ(d.findByLogicalId(0), nullptr);
    EXPECT_EQ(d.findByLogicalId(4), nullptr);
    EXPECT_EQ(d.findByNumber(9)->serialNumber, "3");
    EXPECT_EQ(d.findByNumber(2), nullptr);
}

TEST(Lookup, LoadSortsModulesByNumber) {
    const hw::Description d = hw::parse(R"({"modules": [
        {"number": 40, "serialNumber": "1", "product": "a", "trunks": []},
        {"number": 3, "serialNumber": "2", "product": "b", "trunks": []},
        {"number": 9, "serialNumber": "3", "product": "c", "trunks": []}]})",
                                        "sorted.json");
    ASSERT_EQ(d.modules.size(), 3u);
    EXPECT_EQ(d.modules[0].number, 3u);
    EXPECT_EQ(d.modules[1].number, 9u);
    EXPECT_EQ(d.modules[2].number, 40u);
    EXPECT_EQ(d.modules[2].product, "a");
}

TEST(Lookup, TrunksAreFoundByTheirSpanNumberAcrossGaps) {
    hw::Module m = module(2, "1");
    m.trunks = {trunk(1, "E1", "", 30, 5, 0), trunk(3, "E1", "", 20, 5, 0)};
    EXPECT_EQ(m.findTrunk(2), nullptr);
    ASSERT_NE(m.findTrunk(3), nullptr);
    EXPECT_EQ(m.findTrunk(3)->channels, 20u);
    EXPECT_EQ(m.lines(), 50u);
}

TEST(Features, ProductAndSerialNumberLeadTheDriversFeatureSet) {
    hw::Module m = module(2, "2147483647");
    m.features = {{"AdvSph", hw::FeatureType::Switch, 1, {}},
                  {"Region", hw::FeatureType::Text, 0, "EU"}};
    const auto set = m.featureSet();
    ASSERT_EQ(set.size(), 4u);
    EXPECT_EQ(set[0], (hw::Feature{"Product", hw::FeatureType::Text, 0, m.product}));
    EXPECT_EQ(set[1],
              (hw::Feature{
                  "SerialN", hw::FeatureType::Integer, std::numeric_limits<int32_t>::max(), {}}));
    EXPECT_EQ(set[2], m.features[0]);
    EXPECT_EQ(set[3], m.features[1]);

    m.serialNumber = "99999999999";  // only possible in code: reported as 0, never wrapped
    EXPECT_EQ(m.featureSet()[1].value, 0);
}

TEST(Defaults, OptionalKeysTakeTheirDocumentedValues) {
    const hw::Description d = hw::parse(R"({"modules": [{
        "number": 4, "serialNumber": "17", "product": "p",
        "trunks": [{"type": "E1", "channels": 30},
                   {"type": "T1", "channels": 24},
                   {"type": "ANALOG", "channels": 8}]}]})",
                                        "minimal.json");
    ASSERT_EQ(d.modules.size(), 1u);
    const hw::Module& m = d.modules[0];
    EXPECT_EQ(m.revision, "");
    EXPECT_EQ(m.hostBusFormat, "PCI");
    EXPECT_EQ(m.technologyName, "");
    EXPECT_EQ(m.tdmBusMediaType, "");
    EXPECT_EQ(m.tdmBusTechnologyName, "");
    EXPECT_TRUE(m.features.empty());
    EXPECT_EQ(m.voiceResources, 62u) << "one voice resource per line";
    ASSERT_EQ(m.trunks.size(), 3u);
    EXPECT_EQ(m.trunks[0], trunk(1, "E1", "", 30, 5, 0));
    EXPECT_EQ(m.trunks[1], trunk(2, "T1", "", 24, 3, 0));
    EXPECT_EQ(m.trunks[2], trunk(3, "ANALOG", "", 8, 1, 0));
}

TEST(Defaults, VoiceResourcesPerLineStopAtTheResourceLimit) {
    std::string trunks;
    for (int i = 0; i < 10; ++i) {
        trunks += std::string(i == 0 ? "" : ",") + R"({"type": "ANALOG", "channels": 255})";
    }
    const hw::Description d =
        hw::parse(R"({"modules": [{"number": 2, "serialNumber": "1", "product": "p", "trunks": [)" +
                      trunks + "]}]}",
                  "many.json");
    EXPECT_EQ(d.modules[0].lines(), 2550u);
    EXPECT_EQ(d.modules[0].voiceResources, 2047u);
}

TEST(Defaults, TrunkNumbersFollowThePreviousTrunk) {
    const hw::Description d = hw::parse(R"({"modules": [{
        "number": 2, "serialNumber": "1", "product": "p",
        "trunks": [{"type": "E1", "channels": 30},
                   {"number": 4, "type": "E1", "channels": 30},
                   {"type": "E1", "channels": 30}]}]})",
                                        "gaps.json");
    const auto& t = d.modules[0].trunks;
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].number, 1u);
    EXPECT_EQ(t[1].number, 4u);
    EXPECT_EQ(t[2].number, 5u);
}

// How the type and subtype texts become the span bytes of the hardware information.
struct SpanBytesCase {
    const char* trunk;
    uint8_t spanType;
    uint8_t spanSubtype;
};

void PrintTo(const SpanBytesCase& c, std::ostream* out) {
    *out << c.trunk;
}

class SpanBytes : public ::testing::TestWithParam<SpanBytesCase> {};

TEST_P(SpanBytes, FollowTypeSubtypeAndExplicitBytes) {
    const auto& c = GetParam();
    const hw::Description d = hw::parse(
        std::string(
            R"({"modules": [{"number": 2, "serialNumber": "1", "product": "p", "trunks": [)") +
            c.trunk + "]}]}",
        "bytes.json");
    const hw::Trunk& t = d.modules.at(0).trunks.at(0);
    EXPECT_EQ(t.talSpanType, c.spanType);
    EXPECT_EQ(t.talSpanSubtype, c.spanSubtype);
    EXPECT_EQ(hw::parse(hw::toJson(d), "again.json"), d);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpanBytes,
    ::testing::Values(
        SpanBytesCase{R"({"type": "E1", "channels": 30})", 5, 0},
        SpanBytesCase{R"({"type": "E1", "subtype": "CAS", "channels": 30})", 5, 1},
        SpanBytesCase{R"({"type": "E1", "subtype": "PRI", "channels": 30})", 5, 2},
        SpanBytesCase{R"({"type": "E1", "subtype": "R2", "channels": 30})", 5, 3},
        SpanBytesCase{R"({"type": "T1", "subtype": "RBS", "channels": 24})", 3, 4},
        SpanBytesCase{R"({"type": "T1", "subtype": "PRI", "channels": 23})", 3, 2},
        SpanBytesCase{R"({"type": "ANALOG", "subtype": "LOOP-START", "channels": 4})", 1, 5},
        SpanBytesCase{R"({"type": "ANALOG", "subtype": "GROUND-START", "channels": 4})", 1, 6},
        SpanBytesCase{R"({"type": "E1", "channels": 31, "talSpanType": 6})", 6, 0},
        SpanBytesCase{R"({"type": "T1", "channels": 24, "talSpanType": 4})", 4, 0},
        SpanBytesCase{R"({"type": "T1", "channels": 24, "talSpanType": 7})", 7, 0},
        SpanBytesCase{R"({"type": "E1", "subtype": "CAS", "channels": 30, "talSpanSubtype": 0})", 5,
                      0},
        SpanBytesCase{R"({"type": "T1", "channels": 24, "talSpanSubtype": 255})", 3, 255}));

TEST(RoundTrip, DefaultComesBackEqual) {
    const hw::Description d = hw::builtinDefault();
    EXPECT_EQ(hw::parse(hw::toJson(d), "default.json"), d);
}

TEST(RoundTrip, EveryFieldAndOddValueComesBackEqual) {
    hw::Module a = module(3, "0");
    a.revision = "Rev \"C\" / 2 \\ \xc3\xa9";  // quotes, slash, backslash, UTF-8
    a.voiceResources = 0;
    a.hostBusFormat = "";
    a.technologyName = "tech";
    a.tdmBusMediaType = "media";
    a.tdmBusTechnologyName = "bus";
    a.features = {{"Neg", hw::FeatureType::Integer, std::numeric_limits<int32_t>::min(), {}},
                  {"Max", hw::FeatureType::Switch, std::numeric_limits<int32_t>::max(), {}},
                  {"Empty", hw::FeatureType::Text, 0, ""},
                  {"a~b/c", hw::FeatureType::Text, 0, std::string(131, 'x')}};
    a.trunks = {trunk(2, "E1", "R2", 31, 6, 3), trunk(7, "T1", "PRI", 1, 7, 200),
                trunk(8, "ANALOG", "GROUND-START", 255, 1, 0), trunk(99, "ANALOG", "", 1, 1, 6)};
    hw::Module b = module(127, "2147483647");
    b.voiceResources = 2047;
    hw::Description d;
    d.modules = {a, b};

    const std::string text = hw::toJson(d);
    const hw::Description back = hw::parse(text, "odd.json");
    EXPECT_EQ(back, d) << text;
    EXPECT_EQ(hw::toJson(back), text);

    EXPECT_EQ(hw::parse(hw::toJson(hw::Description{}), "empty.json"), hw::Description{});
}

}  // namespace
