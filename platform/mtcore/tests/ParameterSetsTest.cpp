#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "mtcore/MT_SrvDataDef.h"
#include "mtcore/ParameterSets.h"

namespace MTCore {
namespace {

TEST(CallParameterSet, IntAndTextEntriesAreSeparateAndWalkInKeyOrder) {
    CallParameterSet set;
    set.setText(eCP_DIALED_NUMBER, "300");
    set.setText(eCP_ANI, "100");
    set.setText(eCP_PHONE_NUMBER, "200");
    set.setInt(eCP_MAKECALL_EVENTS, 7);
    set.setInt(eCP_ANALYSIS, 5);
    set.setInt(eCP_ANI, -1);      // same key, other kind
    set.setText(eCP_ANI, "101");  // replaces

    std::vector<std::pair<uint32_t, std::string>> texts(set.textParams().begin(),
                                                        set.textParams().end());
    const std::vector<std::pair<uint32_t, std::string>> wantTexts = {
        {1, "101"}, {2, "200"}, {3, "300"}};
    EXPECT_EQ(texts, wantTexts);
    std::vector<std::pair<uint32_t, int32_t>> ints(set.intParams().begin(), set.intParams().end());
    const std::vector<std::pair<uint32_t, int32_t>> wantInts = {{1, -1}, {13, 5}, {17, 7}};
    EXPECT_EQ(ints, wantInts);
    EXPECT_EQ(set.size(), 6u);

    std::string text = "untouched";
    int32_t value = 42;
    EXPECT_FALSE(set.getText(99, text));
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(set.getInt(2, value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(set.getInt(eCP_ANALYSIS, value));
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(set.eraseText(eCP_ANI));
    EXPECT_FALSE(set.eraseText(eCP_ANI));
    set.clear();
    EXPECT_TRUE(set.empty());
}

TEST(IntParameterSet, AddOrReplaceInSignedKeyOrder) {
    IntParameterSet set;
    set.set(MTVSTX_CODER_TYPE, 100);
    set.set(-3, 1);
    set.set(MTVSTX_STREAM_VADONOFF, 1);
    set.set(MTVSTX_CODER_TYPE, 101);
    std::vector<std::pair<int32_t, int32_t>> walked(set.begin(), set.end());
    const std::vector<std::pair<int32_t, int32_t>> want = {{-3, 1}, {0, 1}, {9, 101}};
    EXPECT_EQ(walked, want);
    int32_t v = 0;
    EXPECT_FALSE(set.get(4, v));
    EXPECT_TRUE(set.erase(-3));
    EXPECT_EQ(set.size(), 2u);
}

TEST(SpanParameterSet, SetInsertsOrOverwritesAndRefusesBeyondItsBound) {
    SpanParameterSet set(2);
    EXPECT_EQ(set.set(5, 50), 0);
    EXPECT_EQ(set.set(-1, 10), 0);
    EXPECT_EQ(set.set(7, 70), -1);  // full: a new key is refused, nothing changes
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(set.set(5, 51), 0);  // full: an existing key is still overwritten
    std::vector<std::pair<int32_t, int32_t>> walked(set.begin(), set.end());
    const std::vector<std::pair<int32_t, int32_t>> want = {{-1, 10}, {5, 51}};
    EXPECT_EQ(walked, want);

    SpanParameterSet unbounded;
    EXPECT_EQ(unbounded.maxEntries(), SpanParameterSet::kDefaultMaxEntries);
    EXPECT_EQ(unbounded.set(0, 0), 0);
    EXPECT_EQ(unbounded.set(0, 0), 0);
    EXPECT_EQ(unbounded.size(), 1u);
}

TEST(SrvHwInfo, ElementsCopyIntoTheHostMap) {
    HwInfoMap map;
    MT_SrvHwInfoElem elem;
    EXPECT_EQ(elem.noOfSpans, 0u);
    EXPECT_FALSE(elem.boardEnabled);
    elem.logicalID = 2;
    elem.boardDescription = "Quad E1";
    elem.noOfSpans = 3;
    elem.portsPerSpan = {30, 0, 30};
    elem.serialNo = "123456";
    elem.boardEnabled = true;
    map.emplace(elem.logicalID, elem);
    elem.portsPerSpan.clear();
    ASSERT_EQ(map.count(2), 1u);
    EXPECT_EQ(map.at(2).portsPerSpan, (std::vector<uint32_t>{30, 0, 30}));
    EXPECT_EQ(map.at(2).boardDescription, "Quad E1");
    EXPECT_TRUE(map.at(2).boardEnabled);
}

}  // namespace
}  // namespace MTCore
