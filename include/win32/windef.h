/*
 * Win32 base types, as the system's code spells them.
 *
 * Sizes follow the Windows data model, not the host's: DWORD and LONG are 32 bits wide, handles
 * are pointer sized. Everything here is plain C so that C and C++ sources include it alike.
 */
#ifndef TARNWICK_WIN32_WINDEF_H
#define TARNWICK_WIN32_WINDEF_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define TARNWICK_WIN32_EXPORT __attribute__((visibility("default")))
#else
#define TARNWICK_WIN32_EXPORT
#endif

/* Calling convention and import markers: empty or visibility only on this platform. */
#define WINAPI
#define APIENTRY
#define WINBASEAPI TARNWICK_WIN32_EXPORT
#define WINADVAPI TARNWICK_WIN32_EXPORT

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef VOID
#define VOID void
#endif

#define MAX_PATH 260

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD;
typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef int LONG;
typedef unsigned int ULONG;
typedef char CHAR;
typedef long long LONGLONG;
typedef unsigned long long ULONGLONG;
typedef unsigned long long DWORD64;
typedef unsigned long long QWORD;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;

typedef BYTE* PBYTE;
typedef BYTE* LPBYTE;
typedef WORD* PWORD;
typedef WORD* LPWORD;
typedef DWORD* PDWORD;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef BOOL* PBOOL;
typedef BOOL* LPBOOL;
typedef CHAR* PSTR;
typedef CHAR* LPSTR;
typedef const CHAR* PCSTR;
typedef const CHAR* LPCSTR;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE* LPHANDLE;
typedef HANDLE HLOCAL;
typedef void* PSID;

typedef LONG LSTATUS;
typedef DWORD ACCESS_MASK;

#define DECLARE_HANDLE(name) \
    struct name##__ {        \
        int unused;          \
    };                       \
    typedef struct name##__* name

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

/* Generic and standard access rights shared by registry keys and services. */
#define DELETE 0x00010000U
#define READ_CONTROL 0x00020000U
#define WRITE_DAC 0x00040000U
#define WRITE_OWNER 0x00080000U
#define SYNCHRONIZE 0x00100000U
#define STANDARD_RIGHTS_REQUIRED 0x000F0000U
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000U
#define MAXIMUM_ALLOWED 0x02000000U
#define GENERIC_READ 0x80000000U
#define GENERIC_WRITE 0x40000000U
#define GENERIC_EXECUTE 0x20000000U
#define GENERIC_ALL 0x10000000U

/* Language identifiers (FormatMessageA accepts any; texts are English). */
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT)

#endif
