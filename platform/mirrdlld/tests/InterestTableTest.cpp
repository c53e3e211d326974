#include <gtest/gtest.h>

#include <vector>

#include "../InterestTable.h"

namespace {

using Small = tnwklog::InterestTable<16>;

TEST(InterestTable, AnswersByKeyAndLevel) {
    Small t;
    int a = 0;
    int b = 0;
    ASSERT_TRUE(t.insert(&a, 0b101U));
    ASSERT_TRUE(t.insert(&b, 1U << 31));
    EXPECT_TRUE(t.interested(&a, 0));
    EXPECT_FALSE(t.interested(&a, 1));
    EXPECT_TRUE(t.interested(&a, 2));
    EXPECT_TRUE(t.interested(&b, 31));
    EXPECT_FALSE(t.interested(&b, 32));
    EXPECT_FALSE(t.interested(&b, 1000));
    EXPECT_FALSE(t.interested(nullptr, 0));
    EXPECT_FALSE(t.insert(nullptr, 1));

    ASSERT_TRUE(t.setMask(&a, 0b10U));
    EXPECT_FALSE(t.interested(&a, 0));
    EXPECT_TRUE(t.interested(&a, 1));
    ASSERT_TRUE(t.insert(&a, 0b1U));  // insert of a present key replaces its mask
    EXPECT_TRUE(t.interested(&a, 0));
    EXPECT_EQ(t.size(), 2U);
}

TEST(InterestTable, ErasedKeyIsGoneAndOthersStay) {
    Small t;
    std::vector<char> keys(Small::kMaxEntries);
    for (auto& k : keys) {
        ASSERT_TRUE(t.insert(&k, 1U));
    }
    ASSERT_TRUE(t.erase(&keys[3]));
    EXPECT_FALSE(t.erase(&keys[3]));
    EXPECT_FALSE(t.setMask(&keys[3], 1U));
    EXPECT_FALSE(t.interested(&keys[3], 0));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i != 3) {
            EXPECT_TRUE(t.interested(&keys[i], 0)) << i;
        }
    }
}

TEST(InterestTable, RefusesKeysBeyondItsCapacity) {
    Small t;
    std::vector<char> keys(Small::kMaxEntries + 1);
    for (std::size_t i = 0; i < Small::kMaxEntries; ++i) {
        ASSERT_TRUE(t.insert(&keys[i], 1U));
    }
    EXPECT_FALSE(t.insert(&keys.back(), 1U));
    EXPECT_FALSE(t.interested(&keys.back(), 0));
    EXPECT_TRUE(t.insert(&keys[0], 2U)) << "a present key can still be updated";
    ASSERT_TRUE(t.erase(&keys[1]));
    EXPECT_TRUE(t.insert(&keys.back(), 1U));
}

// Many insert/erase rounds with fresh keys fill the table with tombstones; the table must move
// its live keys to its other half and keep answering for every one of them.
TEST(InterestTable, ChurnKeepsLiveKeysAndRebuilds) {
    Small t;
    std::vector<char> stable(3);
    for (std::size_t i = 0; i < stable.size(); ++i) {
        ASSERT_TRUE(t.insert(&stable[i], 1U << i));
    }
    std::vector<char> churn(4096);
    for (std::size_t round = 0; round + 5 <= churn.size(); round += 5) {
        for (std::size_t i = round; i < round + 5; ++i) {
            ASSERT_TRUE(t.insert(&churn[i], 1U)) << i;
        }
        for (std::size_t i = round; i < round + 5; ++i) {
            ASSERT_TRUE(t.erase(&churn[i])) << i;
        }
        for (std::size_t i = 0; i < stable.size(); ++i) {
            ASSERT_TRUE(t.interested(&stable[i], static_cast<unsigned>(i))) << round;
            ASSERT_FALSE(t.interested(&stable[i], static_cast<unsigned>(i + 1))) << round;
        }
        ASSERT_FALSE(t.interested(&churn[round], 0));
    }
    EXPECT_EQ(t.size(), stable.size());
    EXPECT_GT(t.rebuilds(), 0U);
}

}  // namespace
