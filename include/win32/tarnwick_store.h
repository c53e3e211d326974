/*
 * The system store behind the Win32 subset: what tools and tests need beyond the Win32 API.
 *
 * The store is one SQLite file holding the registry, the services and the event log. Its path is
 * the environment variable TARNWICK_SYSTEM_DB; without it /var/lib/tarnwick/system.db for root,
 * else $XDG_STATE_HOME/tarnwick/system.db (or ~/.local/state/tarnwick/system.db). The default
 * locations' directories are created; the directory of a path given explicitly must exist.
 * A process opens the store on its first call and keeps it open. A file that is not a store, or
 * is of a newer version, is never changed: every call fails with ERROR_REGISTRY_CORRUPT. A file
 * without write permission (for anyone, root included) is opened read-only: reads work and writes
 * fail with ERROR_ACCESS_DENIED.
 */
#ifndef TARNWICK_WIN32_TARNWICK_STORE_H
#define TARNWICK_WIN32_TARNWICK_STORE_H

#include "windef.h"
#include "winerror.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens (creating if needed) the store at path, or at the default path when path is null, and
 * makes it the process's store. The previous store is closed first, and every key and service
 * handle opened on it becomes invalid. Returns ERROR_SUCCESS or the error code; after a failure
 * the process stays on that path, and later calls try to open it again and fail alike. */
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_Open(const char* path);
/* Closes the process's store (handles become invalid) and forgets a path given to
 * TarnwickStore_Open; the next call opens the default store. */
TARNWICK_WIN32_EXPORT void TarnwickStore_Close(void);
/* Why the last call of this thread that used the store could not use it: the path and the
 * reason, or an empty text when that call had no trouble with the store. Valid until the
 * thread's next call into the subset. */
TARNWICK_WIN32_EXPORT const char* TarnwickStore_LastErrorText(void);
/* Copies the path of the store this process uses (or would open) into buffer. Returns the length
 * of the path without the NUL; when size is too small nothing is copied and the result is the
 * size needed (with the NUL). Returns 0 when no default path can be determined. */
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_GetPath(char* buffer, DWORD size);

/* Groups the calls that follow on this thread, up to TarnwickStore_EndTransaction, into one
 * transaction of the store, so that a tool can apply a whole file or read a consistent tree.
 * Other threads of the process wait meanwhile; other processes wait on the store's lock. Calls do
 * not nest. TarnwickStore_EndTransaction commits when commit is TRUE, else undoes everything done
 * since the begin; it returns the error code of the commit. */
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_BeginTransaction(void);
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_EndTransaction(BOOL commit);

/* Sets any service state (SERVICE_STOPPED to SERVICE_PAUSED), as a service process would report
 * it; for tests and simulations. A service marked for deletion is removed when it reaches
 * SERVICE_STOPPED. Returns ERROR_SUCCESS, ERROR_SERVICE_DOES_NOT_EXIST, ERROR_INVALID_PARAMETER
 * for a state out of range, or a store error. */
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_SetServiceState(const char* serviceName, DWORD state);

/* One recorded event. Texts are NUL-terminated; everything is valid during the callback only. */
typedef struct TarnwickEvent {
    unsigned long long recordNumber; /* increasing in the order events were written */
    long long timeWritten;           /* seconds since 1970-01-01 UTC */
    WORD eventType;                  /* EVENTLOG_*_TYPE */
    WORD category;
    DWORD eventId;
    DWORD processId;
    const char* source;
    WORD numStrings;
    const char* const* strings;
    const BYTE* data;
    DWORD dataSize;
} TarnwickEvent;

/* Return FALSE to stop the walk. */
typedef BOOL (*TarnwickEventCallback)(const TarnwickEvent* event, void* context);

/* Calls back for every recorded event, oldest first, or only for those whose source equals
 * source without regard to case when source is not null. The events are read before the first
 * callback, so the callback may use the store. Returns ERROR_SUCCESS or a store error. */
TARNWICK_WIN32_EXPORT DWORD TarnwickStore_ReadEvents(const char* source,
                                                     TarnwickEventCallback callback, void* context);

#ifdef __cplusplus
}
#endif

#endif
