// CTraceObject: filters and settings, level filtering, panic and logging-error files, event dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Defines.h"
#include "TestSupport.h"
#include "TraceObject.h"
#include "mirrdlld/TnwkLog.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"

using haltest::LogCapture;
using haltest::TempDir;
using MTCore::Core_TransInfo;
using MTCore::MT_HandleUtils;

namespace {

class TestTraceObject : public CTraceObject {
  public:
    explicit TestTraceObject(const char* name) : CTraceObject(0, "HAL Tests") {
        SetFilterName("%s", name);
    }
    void DumpStatus() override { ++dumpStatusCalls; }
    int dumpStatusCalls = 0;
};

uint32_t MakeHandle(uint32_t type, uint32_t board, uint32_t span, uint32_t line, uint32_t media) {
    uint32_t h = 0;
    MT_HandleUtils::MThutl_SetHandleType(h, type);
    MT_HandleUtils::MThutl_SetBoardID(h, board);
    MT_HandleUtils::MThutl_SetSpanID(h, span);
    MT_HandleUtils::MThutl_SetFullId(h, line);
    MT_HandleUtils::MThutl_SetMediaResourceType(h, media);
    return h;
}

std::string HandleText(uint32_t handle) {
    char buffer[128];
    CTraceObject::FormatHandle(buffer, sizeof buffer, handle);
    return buffer;
}

std::string Dump(const Core_TransInfo* event) {
    std::vector<char> buffer(hal::kTraceBufferSize);
    const size_t n = CTraceObject::DumpEvent(buffer.data(), buffer.size(), event);
    EXPECT_EQ(n, std::strlen(buffer.data()));
    return buffer.data();
}

// Text of a handle as the dump must print it.
std::string ExpectedHandle(uint32_t handle, const char* type) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "(%09d:B[%02d], S[%02d], %s R[%03d])",
                  static_cast<int>(handle),
                  static_cast<int>(MT_HandleUtils::MThutl_GetBoardID(handle)),
                  static_cast<int>(MT_HandleUtils::MThutl_GetSpanID(handle)), type,
                  static_cast<int>(MT_HandleUtils::MThutl_GetSpanLineID(handle)));
    return buffer;
}

class TraceObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TnwkLogSetOutput("none");
        ASSERT_FALSE(m_logDir.Path().empty());
        CTraceObject::SetLogDirectory(m_logDir.Path().c_str());
    }
    void TearDown() override {
        TnwkLogClearRules();
        CTraceObject::SetLogDirectory(
            CTraceObject::BuildLogDirectory(std::getenv(hal::kLogRootVariable)).c_str());
    }
    std::string PanicFile() const { return m_logDir.Path() + "/" + hal::kPanicFileName; }
    std::string ErrorFile() const { return m_logDir.Path() + "/" + hal::kLoggingErrorFileName; }

    TempDir m_logDir;
};

// ---- Filter, settings and level filtering ----------------------------------------------------

TEST_F(TraceObjectTest, DefaultSettingsWantErrorsButNotFunctionTraces) {
    TestTraceObject object("DefaultsObject");
    struct {
        int level;
        bool wanted;
    } const cases[] = {{0, true},  {1, true},  {2, true},  {3, false}, {4, true},  {5, false},
                       {6, false}, {7, false}, {8, false}, {9, false}, {10, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(object.IsInterested(c.level), c.wanted) << "level " << c.level;
    }
}

TEST_F(TraceObjectTest, LinesCarryFilterNameGroupAndSourceLocation) {
    LogCapture capture;
    TestTraceObject object("LocatedObject");
    object.Trace("some/file.cpp", 42, TRACE_ERROR, "value %d of %s", 7, "seven");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].filter, "LocatedObject");
    EXPECT_EQ(lines[0].group, "HAL Tests");
    EXPECT_EQ(lines[0].level, TRACE_ERROR);
    EXPECT_EQ(lines[0].text, "value 7 of seven");
    EXPECT_EQ(lines[0].file, "some/file.cpp");
    EXPECT_EQ(lines[0].line, 42);
}

TEST_F(TraceObjectTest, UnwantedLevelIsNotWrittenAndItsArgumentsAreNotEvaluated) {
    LogCapture capture;
    struct Probe : TestTraceObject {
        Probe() : TestTraceObject("ProbeObject") {}
        int evaluated = 0;
        int Count() { return ++evaluated; }
        void Run() {
            HAL_TRACE(TRACE_INFO, "info %d", Count());
            HAL_TRACE(TRACE_FUNCTION_ENTER, "enter %d", Count());
            HAL_TRACE(TRACE_WARNING, "warning %d", Count());
        }
    } probe;
    probe.Run();
    EXPECT_EQ(probe.evaluated, 1);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].text, "warning 1");

    // Switched on at run time, the level is written.
    TnwkLogSetSetting("ProbeObject", TRACE_INFO, 1);
    probe.Trace(__FILE__, __LINE__, TRACE_INFO, "now wanted");
    EXPECT_EQ(capture.Count(TRACE_INFO, "now wanted"), 1u);
}

TEST_F(TraceObjectTest, FunctionTraceWritesEntryAndExitWithResult) {
    LogCapture capture;
    struct Traced : TestTraceObject {
        Traced() : TestTraceObject("TracedObject") {}
        int Work() {
            HAL_FUNCTION_TRACE("Traced::Work");
            HAL_FUNCTION_RESULT(12);
            return 12;
        }
        void Plain() { HAL_FUNCTION_TRACE("Traced::Plain"); }
    } traced;
    traced.Work();
    EXPECT_TRUE(capture.Lines().empty()) << "entry and exit levels are off by default";

    TnwkLogSetSetting("TracedObject", TRACE_FUNCTION_ENTER, 1);
    TnwkLogSetSetting("TracedObject", TRACE_FUNCTION_EXIT, 1);
    traced.Work();
    traced.Plain();
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].level, TRACE_FUNCTION_ENTER);
    EXPECT_EQ(lines[0].text, "Traced::Work");
    EXPECT_EQ(lines[1].level, TRACE_FUNCTION_EXIT);
    EXPECT_EQ(lines[1].text, "Traced::Work(12)");
    EXPECT_EQ(lines[2].text, "Traced::Plain");
    EXPECT_EQ(lines[3].level, TRACE_FUNCTION_EXIT);
    EXPECT_EQ(lines[3].text, "Traced::Plain");
}

TEST_F(TraceObjectTest, StatusSettingSwitchedOnCallsDumpStatus) {
    TestTraceObject object("StatusObject");
    TnwkLogSetSetting("StatusObject", TRACE_STATE_CHANGE, 1);
    EXPECT_EQ(object.dumpStatusCalls, 0);
    TnwkLogSetSetting("StatusObject", TRACE_STATUS, 1);
    EXPECT_EQ(object.dumpStatusCalls, 1);
    TnwkLogSetSetting("StatusObject", TRACE_STATUS, 0);
    EXPECT_EQ(object.dumpStatusCalls, 1);
}

TEST_F(TraceObjectTest, LongLineIsCutToTheBuffer) {
    LogCapture capture;
    TestTraceObject object("LongLineObject");
    const std::string longText(3 * hal::kTraceBufferSize, 'x');
    object.Trace(__FILE__, __LINE__, TRACE_ERROR, "%s", longText.c_str());
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].text.size(), hal::kTraceBufferSize - 1);
}

// ---- Panic and logging-error files -----------------------------------------------------------

TEST_F(TraceObjectTest, PanicLineGoesToThePanicFileEvenWhenTheFilterDoesNotWantLevelZero) {
    LogCapture capture;
    TestTraceObject object("PanicObject");
    TnwkLogSetSetting("PanicObject", TRACE_PANIC, 0);
    object.Trace("src/Panic.cpp", 77, TRACE_PANIC, "disaster %d", 3);
    EXPECT_TRUE(capture.Lines().empty());

    const std::string content = haltest::ReadFile(PanicFile());
    EXPECT_NE(content.find("\tFILTER_PANIC\tsrc/Panic.cpp Line 77\tdisaster 3\n"),
              std::string::npos)
        << content;
    // Starts with the timestamp, a date.
    ASSERT_GE(content.size(), 4u);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(content[0]))) << content;
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 1);

    // Wanted, the line reaches both; lines are appended.
    TnwkLogSetSetting("PanicObject", TRACE_PANIC, 1);
    object.Trace("src/Panic.cpp", 78, TRACE_PANIC, "again");
    EXPECT_EQ(capture.Count(TRACE_PANIC, "again"), 1u);
    const std::string after = haltest::ReadFile(PanicFile());
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 2);
    EXPECT_NE(after.find("Line 78\tagain\n"), std::string::npos);
}

TEST_F(TraceObjectTest, OtherLevelsNeverReachThePanicFile) {
    TestTraceObject object("QuietObject");
    object.Trace(__FILE__, __LINE__, TRACE_ERROR, "an error");
    EXPECT_FALSE(std::filesystem::exists(PanicFile()));
}

TEST_F(TraceObjectTest, LoggingErrorsGoToTheLoggingErrorFile) {
    CTraceObject::LoggingErrorCallback(1, 2, "cannot write", "lib/Log.cpp", 9);
    const std::string content = haltest::ReadFile(ErrorFile());
    EXPECT_NE(content.find("\tLOGGING_ERROR\tlib/Log.cpp Line 9\tcannot write\n"),
              std::string::npos)
        << content;
    // Missing texts do not crash the callback.
    CTraceObject::LoggingErrorCallback(0, 0, nullptr, nullptr, 0);
    EXPECT_NE(haltest::ReadFile(ErrorFile()).find("(null)"), std::string::npos);
}

TEST_F(TraceObjectTest, OverlongPanicLineIsCutButStaysOneLine) {
    TestTraceObject object("CutObject");
    const std::string longText(2 * hal::kTraceBufferSize, 'y');
    object.Trace(__FILE__, __LINE__, TRACE_PANIC, "%s", longText.c_str());
    const std::string content = haltest::ReadFile(PanicFile());
    EXPECT_EQ(content.size(), hal::kTraceBufferSize - 1);
    EXPECT_EQ(content.back(), '\n');
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 1);
}

TEST_F(TraceObjectTest, MissingDirectoryIsSkippedSilently) {
    const std::string missing = m_logDir.Path() + "/does/not/exist";
    CTraceObject::SetLogDirectory(missing.c_str());
    TestTraceObject object("MissingDirObject");
    object.Trace(__FILE__, __LINE__, TRACE_PANIC, "nowhere to go");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(TraceLogDirectory, IsRaviPathFollowedByDat) {
    EXPECT_EQ(CTraceObject::BuildLogDirectory(nullptr), "/dat");
    EXPECT_EQ(CTraceObject::BuildLogDirectory(""), "/dat");
    EXPECT_EQ(CTraceObject::BuildLogDirectory("/opt/ravi"), "/opt/ravi/dat");
}

TEST(TraceLogDirectory, PathsLongerThan259CharactersAreRefused) {
    const std::string saved = CTraceObject::LogDirectory();
    char path[hal::kPathBufferSize];
    // "<dir>/<file>" of exactly 259 characters fits; one more does not.
    const std::string file = "f.txt";
    const std::string fits(259 - 1 - file.size(), 'd');
    CTraceObject::SetLogDirectory(fits.c_str());
    ASSERT_TRUE(CTraceObject::LogFilePath(path, sizeof path, file.c_str()));
    EXPECT_EQ(std::strlen(path), 259u);

    const std::string tooLong = fits + "d";
    CTraceObject::SetLogDirectory(tooLong.c_str());
    EXPECT_FALSE(CTraceObject::LogFilePath(path, sizeof path, file.c_str()));
    EXPECT_STREQ(path, "");

    const std::string huge(1000, 'h');
    CTraceObject::SetLogDirectory(huge.c_str());
    EXPECT_FALSE(CTraceObject::LogFilePath(path, sizeof path, file.c_str()));

    CTraceObject::SetLogDirectory(saved.c_str());
}

// ---- Handle text and media names ---------------------------------------------------------------

TEST(TraceHandleText, NamesEachHandleKind) {
    struct Case {
        uint32_t type;
        uint32_t media;
        const char* text;
    };
    const Case cases[] = {
        {MTCore::eMT_HANDLE_BOARD, 0, "BD"},
        {MTCore::eMT_HANDLE_SPAN, 0, "SP"},
        {MTCore::eMT_HANDLE_LINE, 0, "LN"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x801, "RX"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x802, "TX"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x8000, "PL"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x4000, "RC"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x2000, "SD"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x1000, "SG"},
        {MTCore::eMT_HANDLE_RESOURCE, 0x8800, "VS"},  // player with voice stream
        {MTCore::eMT_HANDLE_RESOURCE, 0x4800, "VS"},
        {MTCore::eMT_HANDLE_RESOURCE, 0, "VS"},
    };
    for (const Case& c : cases) {
        const uint32_t h = MakeHandle(c.type, 3, 2, 17, c.media);
        EXPECT_EQ(HandleText(h), ExpectedHandle(h, c.text)) << std::hex << c.type << "/" << c.media;
    }
}

TEST(TraceHandleText, ExactLayout) {
    const uint32_t h = MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 2, 5, 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "(%09u:B[01], S[02], LN R[005])", h);
    EXPECT_EQ(HandleText(h), expected);
    EXPECT_EQ(HandleText(0), "(000000000:B[00], S[00], BD R[000])");
}

TEST(TraceHandleText, UnknownHandleTypeIsNamedWithItsValue) {
    const uint32_t h = MakeHandle(0x40000000u, 1, 1, 1, 0);
    EXPECT_EQ(HandleText(h), ExpectedHandle(h, "Unknown Handle type 1073741824"));
}

TEST(TraceMediaType, NamesAndUndefined) {
    const char* const names[] = {"eNI_UNKNOWN",  "eNI_DISCARDED", "eNI_CADENCE",     "eNI_FAX",
                                 "eNI_FAX_CNG",  "eNI_FAX_CED",   "eNI_IN_PROGRESS", "eNI_PVD",
                                 "eNI_MEDIA_NA", "eNI_PAMD"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_STREQ(CTraceObject::MediaTypeName(i + 1), names[i]);
    }
    EXPECT_STREQ(CTraceObject::MediaTypeName(0), "Undefined");
    EXPECT_STREQ(CTraceObject::MediaTypeName(11), "Undefined");
    EXPECT_STREQ(CTraceObject::MediaTypeName(-1), "Undefined");
}

// ---- Event dump --------------------------------------------------------------------------------

// The header part of a dump: "%s(%s, %s)" then the handle text.
std::string Header(const Core_TransInfo& e, const char* type = "BD") {
    std::string text = MTCore::oem_ReturnEvtIdString(e.eventId);
    text += "(";
    text += e.resultCode == 0 ? "0" : MTCore::oem_ReturnErrorString(e.resultCode);
    text += ", ";
    text += e.detailCode == 0 ? "0" : MTCore::oem_ReturnErrorString(e.detailCode);
    text += ")";
    return text + ExpectedHandle(e.handle, type);
}

TEST(TraceEventDump, NoObject) {
    EXPECT_EQ(Dump(nullptr), "No Core_TransInfo event");
}

TEST(TraceEventDump, HeaderPrintsZeroCodesAsZeroAndNamesOthers) {
    Core_TransInfo stop(MTCore::ids::req_PAL_STOPPAL);
    EXPECT_EQ(Dump(&stop), "req_PAL_STOPPAL(0, 0)(000000000:B[00], S[00], BD R[000])");

    Core_TransInfo answer(MTCore::ids::cmp_PAL_STOPPAL);
    answer.resultCode = hal::kUnsupportedResultCode;
    answer.detailCode = hal::kUnsupportedDetailCode;
    answer.handle = MakeHandle(MTCore::eMT_HANDLE_SPAN, 2, 1, 0, 0);
    EXPECT_EQ(Dump(&answer), Header(answer, "SP"));
    EXPECT_NE(Dump(&answer).find("MT_ERR_UNSUPPORTED_EVENT"), std::string::npos);
}

TEST(TraceEventDump, PayloadTexts) {
    struct Case {
        std::string name;
        std::unique_ptr<Core_TransInfo> event;
        std::string payload;
    };
    std::vector<Case> cases;
    auto add = [&](std::string name, Core_TransInfo* e, std::string payload) {
        cases.push_back({std::move(name), std::unique_ptr<Core_TransInfo>(e), std::move(payload)});
    };

    auto* gsend = new MTCore::Ev_req_PAL_GSEND;
    gsend->eventId = MTCore::ids::req_PAL_GSEND;
    gsend->signalString = "12#";
    add("gsend", gsend, "[12#]");

    auto* ddetect = new MTCore::Ev_req_PAL_DDETECT;
    ddetect->eventId = MTCore::ids::req_PAL_DDETECT;
    ddetect->patterns = {{2, "1*"}, {1, "#"}};
    add("ddetect", ddetect, "Pattern2<1*> Pattern1<#> ");

    auto* ddetectDone = new MTCore::Ev_cmp_PAL_DDETECT;
    ddetectDone->eventId = MTCore::ids::cmp_PAL_DDETECT;
    ddetectDone->patternId = 3;
    ddetectDone->pattern = "55";
    add("ddetect completion", ddetectDone, "Pattern3<55> ");

    auto* hw = new MTCore::Ev_cmp_PAL_GETHWINFO;
    hw->eventId = MTCore::ids::cmp_PAL_GETHWINFO;
    hw->noOfBoards = 2;
    MTCore::Pal_Ev_HwInfoElem board;
    board.logicalID = 1;
    board.boardDescription = "Quad E1";
    board.noOfSpans = 2;
    board.spanTypes = {{1, 2}, {3, 4}, {5, 6}};  // one more span type than line counts
    board.lines = {30, 31};
    board.noOfVoiceResources = 60;
    board.serialNo = "SN1";
    board.boardEnabled = true;
    board.hostBusFormat = "PCI";
    board.bdTechnologyName = "TECH";
    board.tdmBusMediaType = "H100";
    board.tdmBusTechnologyName = "BUS";
    board.pcdFileName = "pcd";
    board.boardRevision = "B";
    board.boardNetType = "E1";
    hw->hwInfoList.push_back(board);
    MTCore::Pal_Ev_HwInfoElem second;
    second.logicalID = -1;
    hw->hwInfoList.push_back(second);
    add("hardware info", hw,
        ": noOfBoards(2) info:"
        "logicalID(1) boardDescription(Quad E1) noOfSpans(2) (1, 2)lines(30) (3, 4)lines(31)"
        " noOfVoiceResources(60) serialNo(SN1) boardEnabled(TRUE) hostBusFormat(PCI)"
        " bdTechnologyName(TECH) tdmBusMediaType(H100) tdmBusTechnologyName(BUS)"
        " pcdFileName(pcd) boardRevision(B) boardNetType(E1)"
        "logicalID(-1) boardDescription() noOfSpans(0) noOfVoiceResources(0) serialNo()"
        " boardEnabled(FALSE) hostBusFormat() bdTechnologyName() tdmBusMediaType()"
        " tdmBusTechnologyName() pcdFileName() boardRevision() boardNetType()");

    auto* handles = new MTCore::Ev_cmp_PAL_REQHNDLS;
    handles->eventId = MTCore::ids::cmp_PAL_REQHNDLS;
    const uint32_t line = MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 1, 4, 0);
    const uint32_t player = MakeHandle(MTCore::eMT_HANDLE_RESOURCE, 1, 1, 9, 0x8000);
    handles->handles = {line, player};
    add("handles", handles,
        ": handles " + ExpectedHandle(line, "LN") + ExpectedHandle(player, "PL"));

    auto* record = new MTCore::Ev_cmp_PAL_RRECORD;
    record->eventId = MTCore::ids::cmp_PAL_RRECORD;
    record->term = 2;
    record->bytes = 8000;
    record->silLen = -1;
    add("record", record, "term 2 bytes 8000 silLen -1");

    auto* play = new MTCore::Ev_cmp_PAL_PPLAY;
    play->eventId = MTCore::ids::cmp_PAL_PPLAY;
    play->bargeIn = 1;
    play->bytes = 4000;
    play->time = 500;
    add("play", play, "bargeIn 1 bytes 4000 time 500");

    MTCore::CallParameterSet callParams;
    callParams.setText(MTCore::eCP_ANI, "5551000");
    callParams.setText(MTCore::eCP_DIALED_NUMBER, "5552003");
    callParams.setText(MTCore::eCP_PHONE_NUMBER, "5552002");
    callParams.setInt(MTCore::eCP_ANALYSIS, 9);
    callParams.setInt(MTCore::eCP_MAKECALL_EVENTS, 0);
    auto* makeCall = new MTCore::Ev_req_PAL_MAKECALL;
    makeCall->eventId = MTCore::ids::req_PAL_MAKECALL;
    makeCall->callParams = &callParams;
    makeCall->CR = 0x1f;
    add("make call", makeCall,
        "phoneNumber<5552003>, ANI<5551000>, Analysis<0x1>, makecall_events<0x0>, CR<0x1f>");

    MTCore::CallParameterSet eventsOnly;
    eventsOnly.setText(MTCore::eCP_PHONE_NUMBER, "42");
    eventsOnly.setInt(MTCore::eCP_MAKECALL_EVENTS, 0x40);
    auto* makeCall2 = new MTCore::Ev_req_PAL_MAKECALL;
    makeCall2->eventId = MTCore::ids::req_PAL_MAKECALL;
    makeCall2->callParams = &eventsOnly;
    add("make call, number only", makeCall2,
        "phoneNumber<42>, ANI<>, Analysis<0x0>, makecall_events<0x1>, CR<0x0>");

    auto* makeCallBare = new MTCore::Ev_req_PAL_MAKECALL;
    makeCallBare->eventId = MTCore::ids::req_PAL_MAKECALL;
    makeCallBare->CR = 7;
    add("make call without parameters", makeCallBare,
        "phoneNumber<>, ANI<>, Analysis<0x0>, makecall_events<0x0>, CR<0x7>");

    auto* made = new MTCore::Ev_cmp_PAL_MAKECALL;
    made->eventId = MTCore::ids::cmp_PAL_MAKECALL;
    made->cpInfo = 3;
    made->reason = -2;
    made->CR = 0xab;
    add("make call completion", made, "cpInfo<3>, reason<-2>, CR<0xab>");

    auto* drop = new MTCore::Ev_req_PAL_DROPCALL;
    drop->eventId = MTCore::ids::req_PAL_DROPCALL;
    drop->terminationCode = 4;
    drop->CR = 0x10;
    add("drop", drop, "terminationCode<0x4>, CR<0x10>");

    auto* dropped = new MTCore::Ev_cmp_PAL_DROPCALL;
    dropped->eventId = MTCore::ids::cmp_PAL_DROPCALL;
    dropped->CR = 0x11;
    add("drop completion", dropped, "CR<0x11>");

    auto* disconnect = new MTCore::Ev_ntf_PAL_DISCONNECT;
    disconnect->eventId = MTCore::ids::ntf_PAL_DISCONNECT;
    disconnect->reason = 1;
    disconnect->CR = 0x12;
    add("disconnect", disconnect, "reason<0x1>, CR<0x12>");

    auto* offered = new MTCore::Ev_ntf_PAL_CALLOFFERED;
    offered->eventId = MTCore::ids::ntf_PAL_CALLOFFERED;
    offered->callerId = "not printed";
    offered->CR = 0x13;
    add("call offered", offered, "CR<0x13>");

    auto* media = new MTCore::Ev_ntf_PAL_MEDIADETECT;
    media->eventId = MTCore::ids::ntf_PAL_MEDIADETECT;
    media->mediaType = 1;
    add("media detect", media, "mediaType<eNI_UNKNOWN>");

    auto* mediaOther = new MTCore::Ev_ntf_PAL_MEDIADETECT;
    mediaOther->eventId = MTCore::ids::ntf_PAL_MEDIADETECT;
    mediaOther->mediaType = 11;
    add("media detect undefined", mediaOther, "mediaType<Undefined>");

    auto* startPal = new MTCore::Ev_req_PAL_STARTPAL;
    startPal->eventId = MTCore::ids::req_PAL_STARTPAL;
    startPal->startString = "not printed";
    add("kind without a dump payload", startPal, "");

    // A known id on an object without its payload prints no payload.
    add("bare object with a payload id", new Core_TransInfo(MTCore::ids::cmp_PAL_REQHNDLS), "");

    for (const Case& c : cases) {
        EXPECT_EQ(Dump(c.event.get()), Header(*c.event) + c.payload) << c.name;
    }
}

// ---- Buffer accounting -------------------------------------------------------------------------

// Dumps into a buffer with a guard zone behind it and checks the zone stays untouched.
std::string GuardedDump(const Core_TransInfo* event, size_t size) {
    constexpr size_t kGuard = 64;
    std::vector<char> buffer(size + kGuard, '\x5a');
    const size_t n = CTraceObject::DumpEvent(buffer.data(), size, event);
    for (size_t i = size; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], '\x5a') << "overrun at " << i << " for size " << size;
    }
    if (size == 0) {
        EXPECT_EQ(n, 0u);
        return "";
    }
    EXPECT_LT(n, size);
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(n, std::strlen(buffer.data()));
    return std::string(buffer.data(), n);
}

TEST(TraceEventDump, LongHandleListStopsWhenTheBufferIsFull) {
    MTCore::Ev_cmp_PAL_REQHNDLS handles;
    handles.eventId = MTCore::ids::cmp_PAL_REQHNDLS;
    for (uint32_t i = 0; i < 2000; ++i) {
        handles.handles.push_back(MakeHandle(MTCore::eMT_HANDLE_LINE, 1, 1, i % 2048, 0));
    }
    const std::string text = GuardedDump(&handles, hal::kTraceBufferSize);
    EXPECT_EQ(text.size(), hal::kTraceBufferSize - 1);
    EXPECT_EQ(text.rfind(Header(handles) + ": handles ", 0), 0u);
    // Every handle printed before the buffer ran out is complete and in order.
    const std::string first = ExpectedHandle(handles.handles[0], "LN");
    const std::string second = ExpectedHandle(handles.handles[1], "LN");
    EXPECT_NE(text.find(first + second), std::string::npos);
}

TEST(TraceEventDump, NeverOverrunsSmallBuffers) {
    MTCore::Ev_cmp_PAL_GETHWINFO hw;
    hw.eventId = MTCore::ids::cmp_PAL_GETHWINFO;
    MTCore::Pal_Ev_HwInfoElem board;
    board.boardDescription = std::string(5000, 'b');
    board.spanTypes.assign(300, {1, 1});
    board.lines.assign(300, 24);
    hw.hwInfoList.assign(5, board);
    hw.noOfBoards = 5;

    MTCore::Ev_req_PAL_DDETECT detect;
    detect.eventId = MTCore::ids::req_PAL_DDETECT;
    detect.patterns.assign(2000, {1, std::string(20, '5')});

    MTCore::Ev_req_PAL_GSEND gsend;
    gsend.eventId = MTCore::ids::req_PAL_GSEND;
    gsend.signalString = std::string(20000, '1');

    const std::string full = Dump(&gsend);
    for (const size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{10}, size_t{57}, size_t{300},
                              hal::kTraceBufferSize}) {
        GuardedDump(&hw, size);
        GuardedDump(&detect, size);
        const std::string cut = GuardedDump(&gsend, size);
        if (size > 0) {
            EXPECT_EQ(cut, full.substr(0, size - 1));
        }
        GuardedDump(nullptr, size);
    }
}

TEST(TraceEventDump, TraceEventWritesTheDumpAtItsLevel) {
    LogCapture capture;
    TnwkLogSetOutput("none");
    TestTraceObject object("DumpingObject");
    Core_TransInfo stop(MTCore::ids::req_PAL_STOPPAL);
    object.TraceEvent("f.cpp", 1, TRACE_ERROR, &stop);
    object.TraceEvent("f.cpp", 2, TRACE_INFO, &stop);  // not wanted
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, Dump(&stop));
    EXPECT_EQ(lines[0].level, TRACE_ERROR);
}

}  // namespace
