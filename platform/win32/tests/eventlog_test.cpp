// Event log records in the store, read back as tools read them.
#include <windows.h>

#include <string>
#include <vector>

#include "StoreTestSupport.h"

namespace {

using tarnwick::testing::StoreTest;

struct Seen {
    std::string source;
    WORD type;
    WORD category;
    DWORD id;
    std::vector<std::string> strings;
    std::vector<BYTE> data;
    unsigned long long record;
};

std::vector<Seen> readEvents(const char* source) {
    std::vector<Seen> seen;
    DWORD rc = TarnwickStore_ReadEvents(
        source,
        [](const TarnwickEvent* e, void* context) -> BOOL {
            Seen s{e->source, e->eventType, e->category, e->eventId, {}, {}, e->recordNumber};
            for (WORD i = 0; i < e->numStrings; ++i) s.strings.emplace_back(e->strings[i]);
            if (e->dataSize > 0) s.data.assign(e->data, e->data + e->dataSize);
            static_cast<std::vector<Seen>*>(context)->push_back(s);
            return TRUE;
        },
        &seen);
    EXPECT_EQ(rc, static_cast<DWORD>(ERROR_SUCCESS));
    return seen;
}

class EventLogTest : public StoreTest {};

TEST_F(EventLogTest, ReportedEventsAreReadBackInOrder) {
    HANDLE module = RegisterEventSourceA(nullptr, "RiVirIVOdavovu");
    ASSERT_NE(module, nullptr);
    HANDLE hal = RegisterEventSourceA(nullptr, "TarnwickHal");
    ASSERT_NE(hal, nullptr);
    const char* warning[] = {"Module 3 has no full duplex"};
    ASSERT_TRUE(ReportEventA(module, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, warning, nullptr));
    const char* two[] = {"first", "second"};
    BYTE data[] = {0xde, 0xad};
    ASSERT_TRUE(
        ReportEventA(hal, EVENTLOG_ERROR_TYPE, 5, 1234, nullptr, 2, sizeof data, two, data));
    ASSERT_TRUE(
        ReportEventA(module, EVENTLOG_INFORMATION_TYPE, 0, 2, nullptr, 0, 0, nullptr, nullptr));

    auto all = readEvents(nullptr);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].source, "RiVirIVOdavovu");
    EXPECT_EQ(all[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(all[0].id, 1u);
    EXPECT_EQ(all[0].strings, std::vector<std::string>{"Module 3 has no full duplex"});
    EXPECT_EQ(all[1].strings, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(all[1].data, (std::vector<BYTE>{0xde, 0xad}));
    EXPECT_EQ(all[1].category, 5);
    EXPECT_TRUE(all[2].strings.empty());
    EXPECT_LT(all[0].record, all[1].record);
    EXPECT_LT(all[1].record, all[2].record);

    auto filtered = readEvents("rivirivodavovu");
    ASSERT_EQ(filtered.size(), 2u);
    EXPECT_EQ(filtered[1].id, 2u);

    EXPECT_TRUE(DeregisterEventSource(module));
    EXPECT_TRUE(DeregisterEventSource(hal));
}

TEST_F(EventLogTest, BadArgumentsAreRefused) {
    HANDLE source = RegisterEventSourceA(nullptr, "Src");
    ASSERT_NE(source, nullptr);
    const char* withNull[] = {"ok", nullptr};
    struct Case {
        const char* name;
        std::function<BOOL()> call;
        DWORD expected;
    };
    const Case cases[] = {
        {"unknown type",
         [&] { return ReportEventA(source, 3, 0, 1, nullptr, 0, 0, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"strings without pointer",
         [&] {
             return ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, nullptr,
                                 nullptr);
         },
         ERROR_INVALID_PARAMETER},
        {"a null string",
         [&] {
             return ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 2, 0, withNull,
                                 nullptr);
         },
         ERROR_INVALID_PARAMETER},
        {"data without pointer",
         [&] {
             return ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 0, 4, nullptr,
                                 nullptr);
         },
         ERROR_INVALID_PARAMETER},
        {"not a source handle",
         [&] {
             return ReportEventA(HKEY_LOCAL_MACHINE, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 0, 0,
                                 nullptr, nullptr);
         },
         ERROR_INVALID_HANDLE},
        {"register without a name", [&] { return RegisterEventSourceA(nullptr, "") != nullptr; },
         ERROR_INVALID_PARAMETER},
        {"register on another machine",
         [&] { return RegisterEventSourceA("\\\\host", "Src") != nullptr; },
         ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.name;
        EXPECT_EQ(GetLastError(), c.expected) << c.name;
    }
    EXPECT_TRUE(readEvents(nullptr).empty());
    EXPECT_TRUE(DeregisterEventSource(source));
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(EventLogTest, ReadingStopsWhenTheCallbackSaysSo) {
    HANDLE source = RegisterEventSourceA(nullptr, "Src");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, static_cast<DWORD>(i),
                                 nullptr, 0, 0, nullptr, nullptr));
    }
    int calls = 0;
    TarnwickStore_ReadEvents(
        nullptr,
        [](const TarnwickEvent*, void* context) -> BOOL {
            ++*static_cast<int*>(context);
            return FALSE;
        },
        &calls);
    EXPECT_EQ(calls, 1);
    DeregisterEventSource(source);
}

}  // namespace
