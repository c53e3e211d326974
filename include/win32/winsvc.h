/*
 * Win32 service control subset over the system store.
 *
 * There are no service processes: a service is a record in the store with its configuration and
 * its current state. StartServiceA moves a service straight to SERVICE_RUNNING and ControlService
 * with SERVICE_CONTROL_STOP straight to SERVICE_STOPPED. QueryServiceStatus reads the store on
 * every call, so a state set by another process (for instance `tarnwickctl sc set-state`) is seen
 * by a program that polls.
 *
 * CreateServiceA also writes the service's key "SYSTEM\CurrentControlSet\Services\<name>" (Type,
 * Start, ErrorControl, ImagePath, DisplayName), and the removal of a service deletes that key with
 * everything under it, as Windows does. DeleteService removes a stopped service at once; a
 * service in any other state is marked for deletion and removed when it reaches
 * SERVICE_STOPPED (opening it meanwhile gives ERROR_SERVICE_MARKED_FOR_DELETE).
 *
 * Functions returning BOOL or a handle report failures through GetLastError. Only the local
 * machine's active database exists: another machine name gives ERROR_CALL_NOT_IMPLEMENTED.
 */
#ifndef TARNWICK_WIN32_WINSVC_H
#define TARNWICK_WIN32_WINSVC_H

#include "windef.h"
#include "winerror.h"

#ifdef __cplusplus
extern "C" {
#endif

DECLARE_HANDLE(SC_HANDLE);
typedef SC_HANDLE* LPSC_HANDLE;

#define SERVICES_ACTIVE_DATABASEA "ServicesActive"

/* Service control manager access rights. */
#define SC_MANAGER_CONNECT 0x0001U
#define SC_MANAGER_CREATE_SERVICE 0x0002U
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004U
#define SC_MANAGER_LOCK 0x0008U
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010U
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020U
#define SC_MANAGER_ALL_ACCESS                                                        \
    (STANDARD_RIGHTS_REQUIRED | SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE |     \
     SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_LOCK | SC_MANAGER_QUERY_LOCK_STATUS | \
     SC_MANAGER_MODIFY_BOOT_CONFIG)

/* Service access rights. */
#define SERVICE_QUERY_CONFIG 0x0001U
#define SERVICE_CHANGE_CONFIG 0x0002U
#define SERVICE_QUERY_STATUS 0x0004U
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008U
#define SERVICE_START 0x0010U
#define SERVICE_STOP 0x0020U
#define SERVICE_PAUSE_CONTINUE 0x0040U
#define SERVICE_INTERROGATE 0x0080U
#define SERVICE_USER_DEFINED_CONTROL 0x0100U
#define SERVICE_ALL_ACCESS                                                                \
    (STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG |            \
     SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_START | SERVICE_STOP | \
     SERVICE_PAUSE_CONTINUE | SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL)

/* Service types. */
#define SERVICE_KERNEL_DRIVER 0x00000001U
#define SERVICE_FILE_SYSTEM_DRIVER 0x00000002U
#define SERVICE_WIN32_OWN_PROCESS 0x00000010U
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020U
#define SERVICE_INTERACTIVE_PROCESS 0x00000100U

/* Start types. */
#define SERVICE_BOOT_START 0x00000000U
#define SERVICE_SYSTEM_START 0x00000001U
#define SERVICE_AUTO_START 0x00000002U
#define SERVICE_DEMAND_START 0x00000003U
#define SERVICE_DISABLED 0x00000004U

/* Error control. */
#define SERVICE_ERROR_IGNORE 0x00000000U
#define SERVICE_ERROR_NORMAL 0x00000001U
#define SERVICE_ERROR_SEVERE 0x00000002U
#define SERVICE_ERROR_CRITICAL 0x00000003U

/* Current states. */
#define SERVICE_STOPPED 0x00000001U
#define SERVICE_START_PENDING 0x00000002U
#define SERVICE_STOP_PENDING 0x00000003U
#define SERVICE_RUNNING 0x00000004U
#define SERVICE_CONTINUE_PENDING 0x00000005U
#define SERVICE_PAUSE_PENDING 0x00000006U
#define SERVICE_PAUSED 0x00000007U

/* Controls. Only SERVICE_CONTROL_STOP and SERVICE_CONTROL_INTERROGATE are accepted. */
#define SERVICE_CONTROL_STOP 0x00000001U
#define SERVICE_CONTROL_PAUSE 0x00000002U
#define SERVICE_CONTROL_CONTINUE 0x00000003U
#define SERVICE_CONTROL_INTERROGATE 0x00000004U
#define SERVICE_CONTROL_SHUTDOWN 0x00000005U

/* Controls accepted, as reported in SERVICE_STATUS. */
#define SERVICE_ACCEPT_STOP 0x00000001U
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002U
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004U

typedef struct _SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

WINADVAPI SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                          DWORD dwDesiredAccess);
WINADVAPI SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName,
                                        DWORD dwDesiredAccess);
/* Names compare without regard to case; a name must be non-empty, at most 256 characters and
 * free of '/' and '\\'. Load order group, tag, dependencies, account and password are accepted
 * and ignored (lpdwTagId, when given, receives 0). */
WINADVAPI SC_HANDLE WINAPI CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName,
                                          LPCSTR lpDisplayName, DWORD dwDesiredAccess,
                                          DWORD dwServiceType, DWORD dwStartType,
                                          DWORD dwErrorControl, LPCSTR lpBinaryPathName,
                                          LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                          LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                                          LPCSTR lpPassword);
WINADVAPI BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
/* Arguments are accepted and ignored: no process is started. */
WINADVAPI BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs,
                                    LPCSTR* lpServiceArgVectors);
/* lpServiceStatus receives the status after the control, also when the control is refused for
 * the service's state. */
WINADVAPI BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                     LPSERVICE_STATUS lpServiceStatus);
WINADVAPI BOOL WINAPI DeleteService(SC_HANDLE hService);
WINADVAPI BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject);

#ifdef __cplusplus
}
#endif

#endif
