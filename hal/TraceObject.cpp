#include "TraceObject.h"

#include <ace/ACE.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Defines.h"
#include "mirrdlld/TnwkLog.h"
#include "mtcore/Events.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"

using MTCore::Core_TransInfo;
using MTCore::MT_HandleUtils;

namespace {

// Appends formatted pieces to a fixed buffer. After each piece the position advances by what was
// actually written (vsnprintf reports what it would have written; that is clamped), so the
// buffer is never overrun and stays terminated. Once only the terminator fits, it is full.
class DumpWriter {
  public:
    DumpWriter(char* buffer, size_t size) : m_pos(buffer), m_left(size) {
        if (m_left > 0) *m_pos = '\0';
    }

    bool Full() const { return m_left <= 1; }
    size_t Written() const { return m_written; }

    void Append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (m_left == 0) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(m_pos, m_left, format, args);
        va_end(args);
        if (n < 0) {
            *m_pos = '\0';
            return;
        }
        const size_t advance = std::min(static_cast<size_t>(n), m_left - 1);
        m_pos += advance;
        m_left -= advance;
        m_written += advance;
    }

  private:
    char* m_pos;
    size_t m_left;
    size_t m_written = 0;
};

void AppendHandle(DumpWriter& out, uint32_t handle) {
    char typeText[48];
    const uint32_t type = MT_HandleUtils::MThutl_GetHandleType(handle);
    const char* text = typeText;
    switch (type) {
        case MTCore::eMT_HANDLE_BOARD:
            text = "BD";
            break;
        case MTCore::eMT_HANDLE_SPAN:
            text = "SP";
            break;
        case MTCore::eMT_HANDLE_LINE:
            text = "LN";
            break;
        case MTCore::eMT_HANDLE_RESOURCE:
            switch (MT_HandleUtils::MThutl_GetMediaResourceType(handle)) {
                case MTCore::eMT_MEDIA_RX_STREAM:
                    text = "RX";
                    break;
                case MTCore::eMT_MEDIA_TX_STREAM:
                    text = "TX";
                    break;
                case MTCore::eMT_MEDIA_PLAYER:
                    text = "PL";
                    break;
                case MTCore::eMT_MEDIA_RECORDER:
                    text = "RC";
                    break;
                case MTCore::eMT_MEDIA_SIGNAL_DETECTOR:
                    text = "SD";
                    break;
                case MTCore::eMT_MEDIA_SIGNAL_GENERATOR:
                    text = "SG";
                    break;
                default:
                    text = "VS";
                    break;
            }
            break;
        default:
            std::snprintf(typeText, sizeof typeText, "Unknown Handle type %d",
                          static_cast<int>(type));
            break;
    }
    out.Append("(%09d:B[%02d], S[%02d], %s R[%03d])", static_cast<int>(handle),
               static_cast<int>(MT_HandleUtils::MThutl_GetBoardID(handle)),
               static_cast<int>(MT_HandleUtils::MThutl_GetSpanID(handle)), text,
               static_cast<int>(MT_HandleUtils::MThutl_GetSpanLineID(handle)));
}

void AppendBoardInfo(DumpWriter& out, const MTCore::Pal_Ev_HwInfoElem& board) {
    out.Append("logicalID(%d) boardDescription(%s) noOfSpans(%d)", board.logicalID,
               board.boardDescription.c_str(), board.noOfSpans);
    const size_t spans = std::min(board.spanTypes.size(), board.lines.size());
    for (size_t i = 0; i < spans && !out.Full(); ++i) {
        out.Append(" (%d, %d)lines(%d)", board.spanTypes[i].first, board.spanTypes[i].second,
                   board.lines[i]);
    }
    out.Append(
        " noOfVoiceResources(%d) serialNo(%s) boardEnabled(%s) hostBusFormat(%s) "
        "bdTechnologyName(%s)",
        board.noOfVoiceResources, board.serialNo.c_str(), board.boardEnabled ? "TRUE" : "FALSE",
        board.hostBusFormat.c_str(), board.bdTechnologyName.c_str());
    out.Append(
        " tdmBusMediaType(%s) tdmBusTechnologyName(%s) pcdFileName(%s) boardRevision(%s) "
        "boardNetType(%s)",
        board.tdmBusMediaType.c_str(), board.tdmBusTechnologyName.c_str(),
        board.pcdFileName.c_str(), board.boardRevision.c_str(), board.boardNetType.c_str());
}

void AppendMakeCall(DumpWriter& out, const MTCore::Ev_req_PAL_MAKECALL& request) {
    const char* phoneNumber = "";
    const char* ani = "";
    unsigned analysis = 0;
    unsigned makecallEvents = 0;
    if (request.callParams != nullptr) {
        for (const auto& [key, text] : request.callParams->textParams()) {
            if (key == MTCore::eCP_ANI) {
                ani = text.c_str();
            } else if (key == MTCore::eCP_PHONE_NUMBER || key == MTCore::eCP_DIALED_NUMBER) {
                phoneNumber = text.c_str();
            }
        }
        for (const auto& [key, value] : request.callParams->intParams()) {
            if (key == MTCore::eCP_ANALYSIS) {
                analysis = value != 0 ? 1 : 0;
            } else if (key == MTCore::eCP_MAKECALL_EVENTS) {
                makecallEvents = value != 0 ? 1 : 0;
            }
        }
    }
    out.Append("phoneNumber<%s>, ANI<%s>, Analysis<0x%x>, makecall_events<0x%x>, CR<0x%x>",
               phoneNumber, ani, analysis, makecallEvents, request.CR);
}

// The payload text of the kinds that have one. The object's dynamic type is checked, so an
// object that carries a known id without its payload prints no payload rather than garbage.
void AppendPayload(DumpWriter& out, const Core_TransInfo& event) {
    namespace pal = hal::pal;
    switch (event.eventId) {
        case pal::req_PAL_GSEND:
            if (auto* e = dynamic_cast<const MTCore::Ev_req_PAL_GSEND*>(&event)) {
                out.Append("[%s]", e->signalString.c_str());
            }
            break;
        case pal::req_PAL_DDETECT:
            if (auto* e = dynamic_cast<const MTCore::Ev_req_PAL_DDETECT*>(&event)) {
                for (const auto& [id, text] : e->patterns) {
                    if (out.Full()) break;
                    out.Append("Pattern%d<%s> ", static_cast<int>(id), text.c_str());
                }
            }
            break;
        case pal::cmp_PAL_DDETECT:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_DDETECT*>(&event)) {
                out.Append("Pattern%d<%s> ", static_cast<int>(e->patternId), e->pattern.c_str());
            }
            break;
        case pal::cmp_PAL_GETHWINFO:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_GETHWINFO*>(&event)) {
                out.Append(": noOfBoards(%d) info:", e->noOfBoards);
                for (const auto& board : e->hwInfoList) {
                    if (out.Full()) break;
                    AppendBoardInfo(out, board);
                }
            }
            break;
        case pal::cmp_PAL_REQHNDLS:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_REQHNDLS*>(&event)) {
                out.Append(": handles ");
                for (const uint32_t handle : e->handles) {
                    if (out.Full()) break;
                    AppendHandle(out, handle);
                }
            }
            break;
        case pal::cmp_PAL_RRECORD:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_RRECORD*>(&event)) {
                out.Append("term %d bytes %d silLen %d", e->term, e->bytes, e->silLen);
            }
            break;
        case pal::cmp_PAL_PPLAY:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_PPLAY*>(&event)) {
                out.Append("bargeIn %d bytes %d time %d", static_cast<int>(e->bargeIn), e->bytes,
                           e->time);
            }
            break;
        case pal::req_PAL_MAKECALL:
            if (auto* e = dynamic_cast<const MTCore::Ev_req_PAL_MAKECALL*>(&event)) {
                AppendMakeCall(out, *e);
            }
            break;
        case pal::cmp_PAL_MAKECALL:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_MAKECALL*>(&event)) {
                out.Append("cpInfo<%d>, reason<%d>, CR<0x%x>", e->cpInfo, e->reason, e->CR);
            }
            break;
        case pal::req_PAL_DROPCALL:
            if (auto* e = dynamic_cast<const MTCore::Ev_req_PAL_DROPCALL*>(&event)) {
                out.Append("terminationCode<0x%x>, CR<0x%x>",
                           static_cast<unsigned>(e->terminationCode), e->CR);
            }
            break;
        case pal::cmp_PAL_DROPCALL:
            if (auto* e = dynamic_cast<const MTCore::Ev_cmp_PAL_DROPCALL*>(&event)) {
                out.Append("CR<0x%x>", e->CR);
            }
            break;
        case pal::ntf_PAL_DISCONNECT:
            if (auto* e = dynamic_cast<const MTCore::Ev_ntf_PAL_DISCONNECT*>(&event)) {
                out.Append("reason<0x%x>, CR<0x%x>", static_cast<unsigned>(e->reason), e->CR);
            }
            break;
        case pal::ntf_PAL_CALLOFFERED:
            if (auto* e = dynamic_cast<const MTCore::Ev_ntf_PAL_CALLOFFERED*>(&event)) {
                out.Append("CR<0x%x>", e->CR);
            }
            break;
        case pal::ntf_PAL_MEDIADETECT:
            if (auto* e = dynamic_cast<const MTCore::Ev_ntf_PAL_MEDIADETECT*>(&event)) {
                out.Append("mediaType<%s>", CTraceObject::MediaTypeName(e->mediaType));
            }
            break;
        default:
            break;
    }
}

// The log directory, built at library load from "RAVI_PATH". A fixed buffer rather than a
// std::string so that traces written while the process shuts down never touch a destroyed
// object. An over-long directory is remembered as unusable: no file is written then.
char g_logDirectory[hal::kPathBufferSize];
bool g_logDirectoryUsable = false;

const bool g_logDirectoryBuilt = [] {
    CTraceObject::SetLogDirectory(
        CTraceObject::BuildLogDirectory(std::getenv(hal::kLogRootVariable)).c_str());
    return true;
}();

// Appends one line to a file of the log directory; a file that cannot be opened is skipped.
// Layout: timestamp, tab, the word, tab, file, " Line ", number, tab, message.
void AppendFileLine(const char* fileName, const char* word, const char* file, int line,
                    const char* message) {
    char path[hal::kPathBufferSize];
    if (!CTraceObject::LogFilePath(path, sizeof path, fileName)) return;

    ACE_TCHAR timestamp[64];
    if (ACE::timestamp(timestamp, sizeof timestamp / sizeof timestamp[0]) == nullptr) {
        timestamp[0] = '\0';
    }
    char text[hal::kTraceBufferSize];
    int n = std::snprintf(text, sizeof text, "%s%s%s%s%s Line %d%s%s\n", timestamp, "\t", word,
                          "\t", TraceText(file), line, "\t", TraceText(message));
    if (n < 0) return;
    if (static_cast<size_t>(n) >= sizeof text) {
        // Cut, but keep the line a line.
        text[sizeof text - 2] = '\n';
        n = static_cast<int>(sizeof text - 1);
    }
    if (FILE* f = std::fopen(path, "a")) {
        std::fwrite(text, 1, static_cast<size_t>(n), f);
        std::fclose(f);
    }
}

struct SettingDefault {
    int level;
    const char* name;
    int defaultValue;
};

constexpr SettingDefault kDefaultSettings[] = {
    {TRACE_PANIC, "FILTER_PANIC", 1},
    {TRACE_ERROR, "FILTER_ERROR", 1},
    {TRACE_WARNING, "FILTER_WARNING", 1},
    {TRACE_INFO, "FILTER_INFO", 0},
    {TRACE_UNPROCESSED_EVENT, "FILTER_UNPROCESSED_EVENT", 1},
    {TRACE_FUNCTION_ENTER, "FILTER_FUNCTION_ENTER", 0},
    {TRACE_FUNCTION_EXIT, "FILTER_FUNCTION_EXIT", 0},
    {TRACE_STATUS, "FILTER_STATUS", 0},
    {TRACE_STATE_CHANGE, "FILTER_STATE_CHANGE", 0},
};

}  // namespace

CTraceObject::CTraceObject(int id, const char* group) : m_key(this) {
    if (!TnwkLogInitialized()) {
        TnwkLogInit(hal::kLogApplicationName, &CTraceObject::LoggingErrorCallback, 0, 1);
    }
    TNWKLOG_FILTER filter =
        TnwkLogFilterNew("Trace Object", group, 1, id, &CTraceObject::SettingCallback, this);
    if (filter == nullptr) return;
    TnwkLogAddFilter(m_key, filter);
    TnwkLogFilterDelete(filter);
    for (const SettingDefault& setting : kDefaultSettings) {
        TnwkLogFilterAppendSetting(m_key, setting.level, setting.name, setting.defaultValue);
    }
}

CTraceObject::~CTraceObject() {
    TnwkLogRemoveFilter(m_key);
}

void CTraceObject::TraceHook() {}

void CTraceObject::DumpStatus() {}

void CTraceObject::SetFilterName(const char* format, ...) const {
    char name[hal::kTraceBufferSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(name, sizeof name, format, args);
    va_end(args);
    if (n < 0) name[0] = '\0';
    TnwkLogSetFilterName(m_key, name);
}

void CTraceObject::AddSetting(int level, const char* name, int defaultValue) const {
    TnwkLogFilterAppendSetting(m_key, level, name, defaultValue);
}

bool CTraceObject::IsInterested(int level) const {
    return TnwkLogIsInterested(m_key, level) != 0;
}

void CTraceObject::Trace(const char* file, int line, int level, const char* format, ...) const {
    if (level != TRACE_PANIC && !IsInterested(level)) return;
    char text[hal::kTraceBufferSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) text[0] = '\0';
    Emit(file, line, level, text);
}

void CTraceObject::TraceEvent(const char* file, int line, int level,
                              const Core_TransInfo* event) const {
    if (level != TRACE_PANIC && !IsInterested(level)) return;
    char text[hal::kTraceBufferSize];
    DumpEvent(text, sizeof text, event);
    Emit(file, line, level, text);
}

void CTraceObject::Emit(const char* file, int line, int level, const char* text) const {
    if (level == TRACE_PANIC) {
        AppendFileLine(hal::kPanicFileName, "FILTER_PANIC", file, line, text);
    }
    if (IsInterested(level)) {
        TnwkLogLogMsg(m_key, level, text, file, line);
    }
}

size_t CTraceObject::DumpEvent(char* buffer, size_t size, const Core_TransInfo* event) {
    DumpWriter out(buffer, size);
    if (event == nullptr) {
        out.Append("No Core_TransInfo event");
        return out.Written();
    }
    out.Append(
        "%s(%s, %s)", TraceText(MTCore::oem_ReturnEvtIdString(event->eventId)),
        event->resultCode == 0 ? "0" : TraceText(MTCore::oem_ReturnErrorString(event->resultCode)),
        event->detailCode == 0 ? "0" : TraceText(MTCore::oem_ReturnErrorString(event->detailCode)));
    AppendHandle(out, event->handle);
    AppendPayload(out, *event);
    return out.Written();
}

size_t CTraceObject::FormatHandle(char* buffer, size_t size, uint32_t handle) {
    DumpWriter out(buffer, size);
    AppendHandle(out, handle);
    return out.Written();
}

const char* CTraceObject::MediaTypeName(int mediaType) {
    static constexpr const char* kNames[] = {
        "eNI_UNKNOWN", "eNI_DISCARDED",   "eNI_CADENCE", "eNI_FAX",      "eNI_FAX_CNG",
        "eNI_FAX_CED", "eNI_IN_PROGRESS", "eNI_PVD",     "eNI_MEDIA_NA", "eNI_PAMD",
    };
    if (mediaType >= 1 && mediaType <= static_cast<int>(std::size(kNames))) {
        return kNames[mediaType - 1];
    }
    return "Undefined";
}

std::string CTraceObject::BuildLogDirectory(const char* raviPath) {
    std::string directory = raviPath != nullptr ? raviPath : "";
    directory += hal::kLogSubdirectory;
    return directory;
}

const char* CTraceObject::LogDirectory() {
    return g_logDirectory;
}

void CTraceObject::SetLogDirectory(const char* directory) {
    const size_t length = directory != nullptr ? std::strlen(directory) : 0;
    g_logDirectoryUsable = length < sizeof g_logDirectory;
    if (!g_logDirectoryUsable) {
        g_logDirectory[0] = '\0';
        return;
    }
    if (length > 0) std::memcpy(g_logDirectory, directory, length);
    g_logDirectory[length] = '\0';
}

bool CTraceObject::LogFilePath(char* buffer, size_t size, const char* fileName) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (!g_logDirectoryUsable || fileName == nullptr) return false;
    const size_t limit = std::min(size, hal::kPathBufferSize);
    const int n = std::snprintf(buffer, limit, "%s/%s", g_logDirectory, fileName);
    // A cut path would name some other file: write nothing instead.
    if (n < 0 || static_cast<size_t>(n) >= limit) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

void CTraceObject::LoggingErrorCallback(int /*reserved1*/, int /*reserved2*/, const char* message,
                                        const char* file, int line) {
    AppendFileLine(hal::kLoggingErrorFileName, "LOGGING_ERROR", file, line, message);
}

void CTraceObject::SettingCallback(int setting, int value, void* context) {
    if (context != nullptr && setting == TRACE_STATUS && value != 0) {
        static_cast<CTraceObject*>(context)->DumpStatus();
    }
}
