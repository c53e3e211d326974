/*
 * The Win32 subset that the system uses, under Windows' own names. Where the real API exists
 * the build uses it instead of this directory.
 */
#ifndef TARNWICK_WIN32_WINDOWS_H
#define TARNWICK_WIN32_WINDOWS_H

#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "winreg.h"
#include "winsvc.h"

#endif
