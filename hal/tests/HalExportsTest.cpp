// The exports and the system manager: ACE counting of hal_Init / hal_Exit, the registry setting
// and the event-log source, a whole session against the virtual board.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Defines.h"
#include "Hal.h"
#include "SystemMgr.h"
#include "TestSupport.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/VirtualBoard.h"
#include "tarnwick_store.h"

using haltest::kHangGuard;
using MTCore::Core_TransInfo;
namespace ids = MTCore::ids;

namespace {

constexpr const char* kParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\mirrservice\\Parameters";
constexpr const char* kSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TarnwickHal";

struct RegValue {
    bool found = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

RegValue ReadValue(const char* keyPath, const char* name) {
    RegValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.found = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size) ==
                      ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return value;
}

DWORD AsDword(const RegValue& v) {
    DWORD d = 0;
    if (v.data.size() == sizeof d) std::memcpy(&d, v.data.data(), sizeof d);
    return d;
}

bool KeyExists(const char* keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void CreateKey(const char* keyPath) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        static_cast<LPSECURITY_ATTRIBUTES>(nullptr), &key, nullptr),
        static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);
}

void WriteValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        static_cast<LPSECURITY_ATTRIBUTES>(nullptr), &key, nullptr),
        static_cast<LSTATUS>(ERROR_SUCCESS));
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);
}

class HalExportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogSetOutput("none");
        ASSERT_FALSE(m_dir.Path().empty());
        const std::string store = m_dir.Path() + "/system.db";
        ::setenv("TARNWICK_SYSTEM_DB", store.c_str(), 1);
        ASSERT_EQ(TarnwickStore_Open(store.c_str()), static_cast<DWORD>(ERROR_SUCCESS));
        CTraceObject::SetLogDirectory(m_dir.Path().c_str());
        m_host.reset();
        m_board.reset();
        m_board.detach();  // the virtual board answers
        m_liveObjects = m_host.liveObjects();
        m_liveEvents = m_board.liveEvents();
    }
    void TearDown() override {
        for (Core_TransInfo* posted : m_host.drainPosted()) m_factory.MToem_DeleteObj(posted);
        EXPECT_EQ(m_host.liveObjects(), m_liveObjects) << "host objects left alive";
        EXPECT_EQ(m_board.liveEvents(), m_liveEvents) << "TAL events left alive";
        EXPECT_EQ(m_host.liveEndpoints(), 0u);
        EXPECT_FALSE(CSystemMgr::IsSystemCreated());
        TarnwickStore_Close();
        TnwkLogClearRules();
    }

    // Submits a request and returns what the host gets back.
    Core_TransInfo* RoundTrip(uint32_t id) {
        m_host.submit(m_factory.MToem_CreateObj(id));
        return m_host.waitPosted(kHangGuard);
    }
    void ExpectRoundTrip(uint32_t id, uint32_t answerId, int32_t result = 0) {
        Core_TransInfo* answer = RoundTrip(id);
        ASSERT_NE(answer, nullptr) << std::hex << id;
        EXPECT_EQ(answer->eventId, answerId);
        EXPECT_EQ(answer->resultCode, result);
        m_factory.MToem_DeleteObj(answer);
    }
    // req_PAL_STOPPAL as the host sends it before unloading; waits until its completion has gone
    // through the pump (delivered, or held while the PAL thread was still running).
    void StopPal() {
        haltest::LogCapture log;
        m_host.submit(m_factory.MToem_CreateObj(ids::req_PAL_STOPPAL));
        ASSERT_TRUE(haltest::WaitUntil([&] {
            return m_host.postedCount() > 0 ||
                   log.Count(TRACE_ERROR, "Unable to send cmp_PAL_STOPPAL") > 0;
        }));
        for (Core_TransInfo* posted : m_host.drainPosted()) m_factory.MToem_DeleteObj(posted);
    }

    haltest::TempDir m_dir;
    MTCore::HostSide& m_host = MTCore::HostSide::instance();
    tal::BoardSide& m_board = tal::BoardSide::instance();
    MTCore::MT_OEM m_factory;
    size_t m_liveObjects = 0;
    size_t m_liveEvents = 0;
};

TEST_F(HalExportsTest, ExitWithoutInitOnlyCountsAce) {
    EXPECT_EQ(hal_Exit(), -1);
    EXPECT_FALSE(KeyExists(kSourceKey));
    EXPECT_FALSE(tal::VirtualBoard::instance().running());
}

TEST_F(HalExportsTest, SessionAgainstTheVirtualBoardWithASecondInit) {
    ASSERT_EQ(hal_Init(), 0);
    EXPECT_TRUE(CSystemMgr::IsSystemCreated());
    // A second init changes nothing but the ACE count.
    EXPECT_EQ(hal_Init(), -1);
    EXPECT_TRUE(CSystemMgr::IsSystemCreated());

    ExpectRoundTrip(ids::req_PAL_STARTPAL, ids::cmp_PAL_STARTPAL);
    ExpectRoundTrip(ids::req_PAL_GETHWINFO, ids::cmp_PAL_GETHWINFO);
    ExpectRoundTrip(ids::req_PAL_REQHNDLS, ids::cmp_PAL_REQHNDLS);
    ExpectRoundTrip(ids::req_PAL_PPAUSE, ids::cmp_PAL_PPAUSE);
    ExpectRoundTrip(ids::req_PAL_ACTIVATEPORT, ids::cmp_PAL_ACTIVATEPORT);
    ExpectRoundTrip(0x3a000077, 0x3c000078, -102021);
    ExpectRoundTrip(ids::req_PAL_STOPPAL, ids::cmp_PAL_STOPPAL);

    // One initialisation is still outstanding after the first exit.
    EXPECT_EQ(hal_Exit(), 1);
    EXPECT_FALSE(CSystemMgr::IsSystemCreated());
    EXPECT_FALSE(tal::VirtualBoard::instance().running());
    EXPECT_EQ(hal_Exit(), 0);
    EXPECT_EQ(hal_Exit(), -1);
}

TEST_F(HalExportsTest, InitAfterExitStartsAgain) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(hal_Init(), 0) << round;
        ExpectRoundTrip(ids::req_PAL_STARTPAL, ids::cmp_PAL_STARTPAL);
        StopPal();
        EXPECT_EQ(hal_Exit(), 0) << round;
    }
}

TEST_F(HalExportsTest, MissingPollValueIsCreatedWithItsDefault) {
    CreateKey(kParametersKey);
    ASSERT_EQ(hal_Init(), 0);
    EXPECT_EQ(CSystemMgr::RxDataPollDuration(), 50u);
    StopPal();
    EXPECT_EQ(hal_Exit(), 0);
    const RegValue v = ReadValue(kParametersKey, "RxDataPollDuration");
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(AsDword(v), 50u);
}

TEST_F(HalExportsTest, ExistingPollValueIsTakenAsThirtyTwoBitsAndWrittenBackAsDword) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        DWORD expected;
    };
    const Case cases[] = {
        {"dword", REG_DWORD, {120, 0, 0, 0}, 120},
        {"binary of four bytes", REG_BINARY, {0x10, 0x01, 0, 0}, 0x110},
        {"short binary fills the low bytes", REG_BINARY, {7}, 7},
        {"string too long for the buffer keeps the default",
         REG_SZ,
         {'1', '2', '3', '4', '5', '6', '7', 0},
         50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteValue(kParametersKey, "RxDataPollDuration", c.type, c.data.data(),
                   static_cast<DWORD>(c.data.size()));
        ASSERT_EQ(hal_Init(), 0);
        EXPECT_EQ(CSystemMgr::RxDataPollDuration(), c.expected);
        StopPal();
        EXPECT_EQ(hal_Exit(), 0);
        const RegValue v = ReadValue(kParametersKey, "RxDataPollDuration");
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(AsDword(v), c.expected);
    }
}

TEST_F(HalExportsTest, MissingParametersKeyKeepsTheDefaultAndWritesNothing) {
    const DWORD odd = 7;
    WriteValue("SYSTEM\\CurrentControlSet\\Services\\mirrservice", "Other", REG_DWORD, &odd,
               sizeof odd);
    ASSERT_EQ(hal_Init(), 0);
    EXPECT_EQ(CSystemMgr::RxDataPollDuration(), 50u);
    StopPal();
    EXPECT_EQ(hal_Exit(), 0);
    EXPECT_FALSE(KeyExists(kParametersKey));
}

TEST_F(HalExportsTest, NewEventLogSourceGetsItsMessageFileAndTypes) {
    ASSERT_FALSE(KeyExists(kSourceKey));
    ASSERT_EQ(hal_Init(), 0);
    StopPal();
    EXPECT_EQ(hal_Exit(), 0);
    const RegValue file = ReadValue(kSourceKey, "EventMessageFile");
    ASSERT_TRUE(file.found);
    EXPECT_EQ(file.type, static_cast<DWORD>(REG_EXPAND_SZ));
    const std::string expected = "%RAVI_PATH%\\sys\\mt_tarnwick_hal.dll";
    ASSERT_EQ(file.data.size(), expected.size() + 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data.data())), expected);
    const RegValue types = ReadValue(kSourceKey, "TypesSupported");
    ASSERT_TRUE(types.found);
    EXPECT_EQ(types.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(AsDword(types), 7u);
}

TEST_F(HalExportsTest, ExistingEventLogSourceIsLeftAsItIs) {
    const char custom[] = "C:\\custom\\messages.dll";
    WriteValue(kSourceKey, "EventMessageFile", REG_SZ, custom, sizeof custom);
    const DWORD other = 3;
    WriteValue(kSourceKey, "CategoryCount", REG_DWORD, &other, sizeof other);
    ASSERT_EQ(hal_Init(), 0);
    StopPal();
    EXPECT_EQ(hal_Exit(), 0);
    const RegValue file = ReadValue(kSourceKey, "EventMessageFile");
    EXPECT_EQ(file.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data.data())), custom);
    EXPECT_EQ(AsDword(ReadValue(kSourceKey, "CategoryCount")), 3u);
    EXPECT_FALSE(ReadValue(kSourceKey, "TypesSupported").found);
}

TEST(HalLogLevel, IsAlwaysOne) {
    EXPECT_EQ(hal_GetLogLevel(), 1);
    hal_SetLogLevel(7);
    EXPECT_EQ(hal_GetLogLevel(), 1);
    hal_SetLogLevel(0);
    EXPECT_EQ(hal_GetLogLevel(), 1);
}

}  // namespace
