// tarnwickctl eventlog: the recorded events, oldest first, one per line.
#include <tarnwick_store.h>

#include <cstdio>
#include <ctime>
#include <iostream>

#include "Commands.h"

namespace tarnwick::ctl {

namespace {

const char* typeText(WORD type) {
    switch (type) {
        case EVENTLOG_ERROR_TYPE:
            return "Error";
        case EVENTLOG_WARNING_TYPE:
            return "Warning";
        case EVENTLOG_INFORMATION_TYPE:
            return "Information";
        case EVENTLOG_AUDIT_SUCCESS:
            return "Audit Success";
        case EVENTLOG_AUDIT_FAILURE:
            return "Audit Failure";
        default:
            return "Success";
    }
}

BOOL printEvent(const TarnwickEvent* event, void*) {
    char when[32] = "";
    auto seconds = static_cast<std::time_t>(event->timeWritten);
    std::tm local{};
    if (::localtime_r(&seconds, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    }
    std::string text;
    for (WORD i = 0; i < event->numStrings; ++i) {
        if (i > 0) text += ' ';
        text += event->strings[i];
    }
    if (event->dataSize > 0) {
        text += text.empty() ? "[data " : " [data ";
        char hex[4];
        for (DWORD i = 0; i < event->dataSize; ++i) {
            std::snprintf(hex, sizeof hex, "%02X", event->data[i]);
            text += hex;
        }
        text += "]";
    }
    char head[128];
    std::snprintf(head, sizeof head, "%6llu  %s  %-13s  ", event->recordNumber, when,
                  typeText(event->eventType));
    std::cout << head << event->source << "  " << event->eventId << "  " << text << "\n";
    return TRUE;
}

}  // namespace

int eventLog(const std::optional<std::string>& source) {
    std::cout << "Record  Date                 Type           Source  Event  Text\n";
    DWORD rc = TarnwickStore_ReadEvents(source ? source->c_str() : nullptr, printEvent, nullptr);
    if (rc != ERROR_SUCCESS) {
        printSystemError(rc);
        return 1;
    }
    return 0;
}

}  // namespace tarnwick::ctl
