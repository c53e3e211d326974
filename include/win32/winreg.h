/*
 * Win32 registry subset over the system store.
 *
 * Behaviour kept from Windows because the system relies on it:
 * - key and value names compare without regard to (ASCII) case and keep the case they were
 *   created with; paths separate keys with backslashes; a key name is at most 255 characters;
 * - subkeys enumerate in case-insensitive name order, values in the order they were created;
 * - a missing key or value gives ERROR_FILE_NOT_FOUND; a buffer that is too small gives
 *   ERROR_MORE_DATA and stores the size needed; enumeration past the end gives
 *   ERROR_NO_MORE_ITEMS;
 * - every handle remembers the rights it was opened with: querying and enumerating values need
 *   KEY_QUERY_VALUE, enumerating subkeys KEY_ENUMERATE_SUB_KEYS, setting and deleting values
 *   KEY_SET_VALUE, creating a new subkey KEY_CREATE_SUB_KEY on the parent handle; a missing
 *   right gives ERROR_ACCESS_DENIED;
 * - a handle whose key has been deleted (by this or another process) fails with
 *   ERROR_KEY_DELETED; a closed or unknown handle with ERROR_INVALID_HANDLE;
 * - data are stored byte for byte as given: REG_SZ data written as Windows callers write them
 *   include the terminating NUL, and are returned with it.
 *
 * Each call is one transaction of the store, so it is atomic towards other threads and
 * processes. When the store cannot be used the call returns ERROR_REGISTRY_CORRUPT (not a store,
 * or of a newer version), ERROR_PATH_NOT_FOUND (its directory is missing), ERROR_ACCESS_DENIED
 * (read-only store or file permissions) or ERROR_BUSY (locked by another process for too long);
 * TarnwickStore_LastErrorText (tarnwick_store.h) then holds the reason. The registry functions
 * return their error code and, as on Windows, leave GetLastError alone.
 */
#ifndef TARNWICK_WIN32_WINREG_H
#define TARNWICK_WIN32_WINREG_H

#include "windef.h"
#include "winerror.h"

#ifdef __cplusplus
extern "C" {
#endif

DECLARE_HANDLE(HKEY);
typedef HKEY* PHKEY;
typedef ACCESS_MASK REGSAM;

/* Predefined keys. Only HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER exist in the store; the others
 * give ERROR_INVALID_HANDLE. */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))

/* Key access rights. */
#define KEY_QUERY_VALUE 0x0001U
#define KEY_SET_VALUE 0x0002U
#define KEY_CREATE_SUB_KEY 0x0004U
#define KEY_ENUMERATE_SUB_KEYS 0x0008U
#define KEY_NOTIFY 0x0010U
#define KEY_CREATE_LINK 0x0020U
#define KEY_WOW64_64KEY 0x0100U
#define KEY_WOW64_32KEY 0x0200U
#define KEY_READ                                                                      \
    ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & \
     (~SYNCHRONIZE))
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & (~SYNCHRONIZE))
#define KEY_EXECUTE ((KEY_READ) & (~SYNCHRONIZE))
#define KEY_ALL_ACCESS                                                             \
    ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | \
      KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK) &                     \
     (~SYNCHRONIZE))

/* Options and dispositions of RegCreateKeyExA. Every key is persistent here; a volatile key is
 * accepted and kept like any other. */
#define REG_OPTION_RESERVED 0x00000000U
#define REG_OPTION_NON_VOLATILE 0x00000000U
#define REG_OPTION_VOLATILE 0x00000001U
#define REG_CREATED_NEW_KEY 0x00000001U
#define REG_OPENED_EXISTING_KEY 0x00000002U

/* Value types. */
#define REG_NONE 0U
#define REG_SZ 1U
#define REG_EXPAND_SZ 2U
#define REG_BINARY 3U
#define REG_DWORD 4U
#define REG_DWORD_LITTLE_ENDIAN 4U
#define REG_DWORD_BIG_ENDIAN 5U
#define REG_LINK 6U
#define REG_MULTI_SZ 7U
#define REG_QWORD 11U
#define REG_QWORD_LITTLE_ENDIAN 11U

/* Opens an existing key. A null or empty lpSubKey opens a new handle to hKey itself. */
WINADVAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                       REGSAM samDesired, PHKEY phkResult);
/* Creates a key, with any missing keys above it, or opens it if it exists;
 * *lpdwDisposition (optional) tells which. lpClass is ignored. */
WINADVAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                         DWORD dwOptions, REGSAM samDesired,
                                         const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                         PHKEY phkResult, LPDWORD lpdwDisposition);
WINADVAPI LSTATUS WINAPI RegCloseKey(HKEY hKey);

/* A null or empty value name names the key's default value. With lpData null only the type and
 * size are returned. */
WINADVAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
WINADVAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                        const BYTE* lpData, DWORD cbData);
WINADVAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

/* *lpcchName: buffer size in characters including the NUL on entry, name length without the NUL
 * on success, size needed (with the NUL) on ERROR_MORE_DATA. lpClass and lpftLastWriteTime are
 * optional; the class is always empty. */
WINADVAPI LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                       LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                       PFILETIME lpftLastWriteTime);
/* Name buffer as for RegEnumKeyExA; data as for RegQueryValueExA. */
WINADVAPI LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                       LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                                       LPBYTE lpData, LPDWORD lpcbData);
/* Every output is optional. Lengths of names are in characters without the NUL, data in bytes. */
WINADVAPI LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass,
                                          LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                          LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                          LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                                          LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                          PFILETIME lpftLastWriteTime);

/* Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise), with its values. An empty
 * lpSubKey deletes the key of hKey itself; a predefined key cannot be deleted. */
WINADVAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
/* Deletes the values and the subkeys of the key (lpSubKey null: of hKey itself, which stays;
 * otherwise the subkey itself is deleted too), in one transaction. */
WINADVAPI LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
/* Copies the values and subkeys of hKeySrc (or of its subkey lpSubKey) into hKeyDest, replacing
 * values of the same name, in one transaction. The source handle needs KEY_READ, the destination
 * KEY_SET_VALUE and KEY_CREATE_SUB_KEY. The source is read whole before anything is written, so
 * copying a key into its own subtree ends. */
WINADVAPI LSTATUS WINAPI RegCopyTreeA(HKEY hKeySrc, LPCSTR lpSubKey, HKEY hKeyDest);

#ifdef __cplusplus
}
#endif

#endif
