// Event log of the Win32 subset: records in the system store and copies in syslog.
#include <syslog.h>
#include <tarnwick_store.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "Runtime.h"

using namespace tarnwick::win32;

namespace {

bool knownType(WORD type) {
    switch (type) {
        case EVENTLOG_SUCCESS:
        case EVENTLOG_ERROR_TYPE:
        case EVENTLOG_WARNING_TYPE:
        case EVENTLOG_INFORMATION_TYPE:
        case EVENTLOG_AUDIT_SUCCESS:
        case EVENTLOG_AUDIT_FAILURE:
            return true;
        default:
            return false;
    }
}

int syslogPriority(WORD type) {
    switch (type) {
        case EVENTLOG_ERROR_TYPE:
            return LOG_ERR;
        case EVENTLOG_WARNING_TYPE:
            return LOG_WARNING;
        case EVENTLOG_AUDIT_SUCCESS:
        case EVENTLOG_AUDIT_FAILURE:
            return LOG_NOTICE;
        default:
            return LOG_INFO;
    }
}

BOOL fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

struct EventRow {
    TarnwickEvent event{};
    std::string source;
    std::vector<std::string> strings;
    std::vector<const char*> pointers;
    std::vector<BYTE> data;
};

}  // namespace

extern "C" {

HANDLE RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
    if (lpUNCServerName != nullptr && *lpUNCServerName != '\0') {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (lpSourceName == nullptr || *lpSourceName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> lock(Runtime::instance().mutex());
    return Runtime::instance().addEventSource(lpSourceName);
}

BOOL DeregisterEventSource(HANDLE hEventLog) {
    std::lock_guard<std::recursive_mutex> lock(Runtime::instance().mutex());
    return Runtime::instance().removeEventSource(hEventLog) ? TRUE : fail(ERROR_INVALID_HANDLE);
}

BOOL ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                  WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
    (void)lpUserSid;
    std::optional<std::string> source;
    {
        std::lock_guard<std::recursive_mutex> lock(Runtime::instance().mutex());
        source = Runtime::instance().eventSource(hEventLog);
    }
    if (!source) return fail(ERROR_INVALID_HANDLE);
    if (!knownType(wType) || (wNumStrings > 0 && lpStrings == nullptr) ||
        (dwDataSize > 0 && lpRawData == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::string packed;  // each string followed by its NUL
    std::string message;
    for (WORD i = 0; i < wNumStrings; ++i) {
        if (lpStrings[i] == nullptr) return fail(ERROR_INVALID_PARAMETER);
        packed.append(lpStrings[i]);
        packed.push_back('\0');
        if (i > 0) message.push_back(' ');
        message.append(lpStrings[i]);
    }

    LONG rc = withStore([&](SystemStore& store) -> LONG {
        return store.write([&]() -> LONG {
            auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
            Statement s = store.prepare(
                "INSERT INTO events(time, source, fold, type, category, event_id, pid, "
                "num_strings, strings, data) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
            s.bind(1, static_cast<std::int64_t>(seconds))
                .bind(2, *source)
                .bind(3, foldName(*source))
                .bind(4, wType)
                .bind(5, wCategory)
                .bind(6, dwEventID)
                .bind(7, static_cast<std::int64_t>(::getpid()))
                .bind(8, wNumStrings)
                .bindBlob(9, packed.data(), packed.size())
                .bindBlob(10, lpRawData, dwDataSize)
                .run();
            return ERROR_SUCCESS;
        });
    });
    // The text is passed as an argument, never as the format.
    syslog(LOG_USER | syslogPriority(wType), "%s[%u]: %s", source->c_str(), dwEventID,
           message.c_str());
    if (rc != ERROR_SUCCESS) return fail(static_cast<DWORD>(rc));
    return TRUE;
}

DWORD TarnwickStore_ReadEvents(const char* source, TarnwickEventCallback callback, void* context) {
    if (callback == nullptr) return ERROR_INVALID_PARAMETER;
    std::vector<EventRow> rows;
    LONG rc = withStore([&](SystemStore& store) -> LONG {
        return store.read([&]() -> LONG {
            Statement all = store.prepare(
                "SELECT id, time, type, category, event_id, pid, source, num_strings, strings, "
                "data FROM events ORDER BY id");
            Statement bySource = store.prepare(
                "SELECT id, time, type, category, event_id, pid, source, num_strings, strings, "
                "data FROM events WHERE fold = ? ORDER BY id");
            Statement& s = source != nullptr ? bySource : all;
            if (source != nullptr) s.bind(1, foldName(source));
            while (s.step()) {
                EventRow row;
                row.event.recordNumber = static_cast<unsigned long long>(s.integer(0));
                row.event.timeWritten = s.integer(1);
                row.event.eventType = static_cast<WORD>(s.integer(2));
                row.event.category = static_cast<WORD>(s.integer(3));
                row.event.eventId = static_cast<DWORD>(s.integer(4));
                row.event.processId = static_cast<DWORD>(s.integer(5));
                row.source = s.text(6);
                auto count = static_cast<std::size_t>(s.integer(7));
                std::vector<BYTE> packed = s.blob(8);
                std::size_t start = 0;
                for (std::size_t i = 0; i < packed.size() && row.strings.size() < count; ++i) {
                    if (packed[i] == 0) {
                        row.strings.emplace_back(
                            reinterpret_cast<const char*>(packed.data()) + start, i - start);
                        start = i + 1;
                    }
                }
                row.strings.resize(count);
                row.data = s.blob(9);
                rows.push_back(std::move(row));
            }
            return ERROR_SUCCESS;
        });
    });
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    for (auto& row : rows) {
        for (const auto& text : row.strings) row.pointers.push_back(text.c_str());
        row.event.source = row.source.c_str();
        row.event.numStrings = static_cast<WORD>(row.strings.size());
        row.event.strings = row.pointers.data();
        row.event.data = row.data.empty() ? nullptr : row.data.data();
        row.event.dataSize = static_cast<DWORD>(row.data.size());
        if (!callback(&row.event, context)) break;
    }
    return ERROR_SUCCESS;
}

}  // extern "C"
