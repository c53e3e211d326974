// The event catalogue: every row registered under its key, later rows replacing earlier ones,
// ids and names agreeing with the host's, the translators' directions.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "EventCatalogue.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/MT_OEM.h"

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { TnwkLogSetOutput("none"); }
    void TearDown() override {
        ReleaseTranslators(m_pal);
        ReleaseTranslators(m_tal);
    }
    void RegisterBoth() {
        RegisterCatalogue(m_tal, TalCatalogue(), CatalogueKey::TalId);
        RegisterCatalogue(m_pal, PalCatalogue(), CatalogueKey::PalId);
    }
    TranslatorMap m_pal;
    TranslatorMap m_tal;
};

TEST_F(CatalogueTest, EveryRowEndsUpUnderItsKeyAsTheLastRowForThatKey) {
    RegisterBoth();
    struct Table {
        std::span<const CatalogueRow> rows;
        const TranslatorMap& map;
        bool byTal;
    } const tables[] = {{TalCatalogue(), m_tal, true}, {PalCatalogue(), m_pal, false}};
    for (const Table& t : tables) {
        std::set<uint32_t> keys;
        for (const CatalogueRow& row : t.rows) keys.insert(t.byTal ? row.talId : row.palId);
        EXPECT_EQ(t.map.size(), keys.size());
        for (const CatalogueRow& row : t.rows) {
            const uint32_t key = t.byTal ? row.talId : row.palId;
            // The last row with this key is the one that counts.
            const CatalogueRow* last = nullptr;
            for (const CatalogueRow& r : t.rows) {
                if ((t.byTal ? r.talId : r.palId) == key) last = &r;
            }
            const auto found = t.map.find(key);
            ASSERT_NE(found, t.map.end()) << row.name;
            EXPECT_EQ(found->second->TalEventId(), last->talId) << row.name;
            EXPECT_EQ(found->second->PalEventId(), last->palId) << row.name;
            EXPECT_STREQ(found->second->Name(), last->name) << row.name;
        }
    }
}

TEST_F(CatalogueTest, DetachIsListedGenericFirstAndReplacedByItsOwnRow) {
    const auto rows = PalCatalogue();
    std::vector<size_t> detachRows;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].palId == MTCore::ids::req_PAL_DETACH) detachRows.push_back(i);
    }
    ASSERT_EQ(detachRows.size(), 2u);
    // No other PAL id is listed twice.
    std::set<uint32_t> ids;
    for (const CatalogueRow& row : rows) ids.insert(row.palId);
    EXPECT_EQ(ids.size(), rows.size() - 1);

    RegisterBoth();
    EXPECT_EQ(m_pal.at(MTCore::ids::req_PAL_DETACH)->TalEventId(), 0x4001u);
}

// Counts constructions and destructions to show what registration keeps and releases.
struct CountingTranslator : CEvent {
    static inline int alive = 0;
    static inline int made = 0;
    CountingTranslator(uint32_t t, uint32_t p, const char* n) : CEvent(t, p, n) {
        ++alive;
        ++made;
    }
    ~CountingTranslator() override { --alive; }
};

TEST_F(CatalogueTest, LaterRowReplacesAndReleasesTheEarlierTranslator) {
    const CatalogueRow rows[] = {
        {0x4001, 0x3acd0004, "first", &MakeTranslator<CountingTranslator>},
        {0x4002, 0x3acd0006, "other", &MakeTranslator<CountingTranslator>},
        {0x4001, 0x3acd0004, "second", &MakeTranslator<CountingTranslator>},
    };
    CountingTranslator::alive = 0;
    CountingTranslator::made = 0;
    TranslatorMap map;
    RegisterCatalogue(map, rows, CatalogueKey::PalId);
    EXPECT_EQ(CountingTranslator::made, 3);
    EXPECT_EQ(CountingTranslator::alive, 2);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_STREQ(map.at(0x3acd0004)->Name(), "second");
    ReleaseTranslators(map);
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(CountingTranslator::alive, 0);
}

TEST_F(CatalogueTest, SharedClassesGoToTheBoardUnderTheirOwnTalIds) {
    RegisterBoth();
    struct Case {
        uint32_t palId;
        uint32_t talId;
    } const cases[] = {
        {MTCore::ids::req_PAL_PSPEED, 0x6004},        {MTCore::ids::req_PAL_VSSPEEDRX, 0x600a},
        {MTCore::ids::req_PAL_PVOLUME, 0x6006},       {MTCore::ids::req_PAL_VSVOLUMERX, 0x600d},
        {MTCore::ids::req_PAL_VSGETPARAMSTX, 0x7004}, {MTCore::ids::req_PAL_VSSETPARAMSTX, 0x7005},
        {MTCore::ids::req_PAL_ROUTE, 0x4004},         {MTCore::ids::req_PAL_UNLISTEN, 0x4003},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_pal.count(c.palId)) << std::hex << c.palId;
        EXPECT_EQ(m_pal.at(c.palId)->TalEventId(), c.talId) << std::hex << c.palId;
    }
}

TEST_F(CatalogueTest, NamesAgreeWithTheHostsNamesForTheirIds) {
    for (const auto rows : {TalCatalogue(), PalCatalogue()}) {
        for (const CatalogueRow& row : rows) {
            if (row.palId == 0) continue;  // TAL-only kind
            EXPECT_STREQ(MTCore::oem_ReturnEvtIdString(row.palId), row.name)
                << std::hex << row.palId;
        }
    }
}

TEST_F(CatalogueTest, TalIdsFollowTheCompletionRule) {
    for (const CatalogueRow& row : TalCatalogue()) {
        if ((row.talId >> 20) == 0x2) continue;  // notification
        ASSERT_EQ(row.talId >> 20, 0x1u) << row.name;
    }
    // Every request sent to the board has a translator for its completion.
    std::set<uint32_t> completions;
    for (const CatalogueRow& row : TalCatalogue()) completions.insert(row.talId);
    for (const CatalogueRow& row : PalCatalogue()) {
        const uint32_t completion = row.talId == 0x5011 ? 0x105010 : row.talId + 0x100000;
        EXPECT_TRUE(completions.count(completion)) << row.name;
    }
}

TEST_F(CatalogueTest, TranslatorsWorkInTheirRowsDirection) {
    RegisterBoth();
    for (const auto& [id, translator] : m_pal) {
        EXPECT_NE(dynamic_cast<CSimplePalEvent*>(translator), nullptr) << translator->Name();
    }
    for (const auto& [id, translator] : m_tal) {
        const bool notification = (id >> 20) == 0x2;
        EXPECT_NE(dynamic_cast<CSimpleTalEvent*>(translator), nullptr) << translator->Name();
        EXPECT_EQ(dynamic_cast<CSimpleNotifyTalEvent*>(translator) != nullptr, notification)
            << translator->Name();
    }
    // The span-activation completions have no row: the pump discards them.
    EXPECT_EQ(m_tal.count(0x103000), 0u);
    EXPECT_EQ(m_tal.count(0x103002), 0u);
    // The two silent administrative requests have no row either.
    EXPECT_EQ(m_pal.count(0x3acf0012), 0u);
    EXPECT_EQ(m_pal.count(0x3acf0014), 0u);
}

TEST_F(CatalogueTest, TransmitStopCompletesAsReceiveStop) {
    RegisterBoth();
    ASSERT_TRUE(m_tal.count(0x107007));
    EXPECT_EQ(m_tal.at(0x107007)->PalEventId(), MTCore::ids::cmp_PAL_VSSTOPRX);
    EXPECT_STREQ(m_tal.at(0x107007)->Name(), "cmp_PAL_VSSTOPRX");
    EXPECT_EQ(m_tal.at(0x106007)->PalEventId(), 0u);
    EXPECT_STREQ(m_tal.at(0x106007)->Name(), "cmp_TAL_PVSDATA TAL: event only");
}

}  // namespace
