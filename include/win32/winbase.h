/*
 * Win32 base services of the subset: the calling thread's last error, system error texts,
 * debugger output, the event log and Sleep.
 */
#ifndef TARNWICK_WIN32_WINBASE_H
#define TARNWICK_WIN32_WINBASE_H

#include "windef.h"
#include "winerror.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The last error is kept per thread. */
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100U
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200U
#define FORMAT_MESSAGE_FROM_STRING 0x00000400U
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800U
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000U
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000U
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFU

/* Only FORMAT_MESSAGE_FROM_SYSTEM is supported (other sources give ERROR_INVALID_PARAMETER).
 * The system texts have no inserts and end with a line break, which
 * FORMAT_MESSAGE_MAX_WIDTH_MASK removes. Returns the number of characters stored without the
 * NUL, or 0 with the last error set: ERROR_MR_MID_NOT_FOUND for a code without a text,
 * ERROR_INSUFFICIENT_BUFFER when nSize characters cannot hold text and NUL. With
 * FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really an LPSTR* that receives a buffer to be
 * released with LocalFree. Arguments is never read. */
WINBASEAPI DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                       DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                                       va_list* Arguments);
/* Releases a buffer allocated by FormatMessageA; returns NULL. */
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);

/* Writes the text unchanged to the sink named by the environment variable
 * TARNWICK_DEBUG_OUTPUT, read on every call: "stderr", or "file:PATH" (appended to, created if
 * missing); anything else, or no variable, discards it. */
WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString);

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds);

/* Event types. */
#define EVENTLOG_SUCCESS 0x0000U
#define EVENTLOG_ERROR_TYPE 0x0001U
#define EVENTLOG_WARNING_TYPE 0x0002U
#define EVENTLOG_INFORMATION_TYPE 0x0004U
#define EVENTLOG_AUDIT_SUCCESS 0x0008U
#define EVENTLOG_AUDIT_FAILURE 0x0010U

/* Event log. A registered source is a handle naming the source; the source need not be
 * registered in the registry. ReportEventA stores the record in the system store (read back with
 * TarnwickStore_ReadEvents or `tarnwickctl eventlog`) and sends it to syslog (facility LOG_USER;
 * error: LOG_ERR, warning: LOG_WARNING, audit: LOG_NOTICE, others: LOG_INFO) as
 * "SOURCE[EVENTID]: " followed by the strings separated by spaces. Only the local machine (a null
 * or empty server name) is supported. */
WINADVAPI HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
WINADVAPI BOOL WINAPI DeregisterEventSource(HANDLE hEventLog);
/* Fails with ERROR_INVALID_PARAMETER for an unknown event type, a string pointer that is null, or
 * data without a pointer. lpUserSid is ignored. When the store cannot take the record the call
 * fails, but the record still goes to syslog. */
WINADVAPI BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID,
                                   PSID lpUserSid, WORD wNumStrings, DWORD dwDataSize,
                                   LPCSTR* lpStrings, LPVOID lpRawData);

#ifdef __cplusplus
}
#endif

#endif
