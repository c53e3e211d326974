// The system manager's registry work, kept apart from the ACE-based code: it is written against
// the Win32 registry API exactly as on Windows.
#include <windows.h>

#include <string>

#include "Defines.h"
#include "SystemMgr.h"

void CSystemMgr::LoadRxDataPollDuration() {
    SetRxDataPollDuration(hal::kRxDataPollDurationDefault);

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, hal::kServiceParametersKey, 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        // Taken as 32 bits whatever the value's type; a shorter value fills the low bytes.
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExA(key, hal::kRxDataPollDurationValue, nullptr, &type,
                             reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS) {
            SetRxDataPollDuration(value);
        }
        RegCloseKey(key);
    }

    // Write the setting back, so that a missing value appears with its default.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, hal::kServiceParametersKey, 0, KEY_WRITE, &key) ==
        ERROR_SUCCESS) {
        const DWORD value = RxDataPollDuration();
        RegSetValueExA(key, hal::kRxDataPollDurationValue, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
}

void CSystemMgr::RegisterEventSource() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, hal::kEventLogSourceKey, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        static_cast<LPSECURITY_ATTRIBUTES>(nullptr), &key,
                        &disposition) != ERROR_SUCCESS) {
        return;
    }
    // An existing source is left as the administrator set it up.
    if (disposition == REG_CREATED_NEW_KEY) {
        const std::string messageFile =
            std::string(hal::kEventMessageFilePrefix) + hal::kEventMessageFileName;
        RegSetValueExA(key, hal::kEventMessageFileValue, 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(messageFile.c_str()),
                       static_cast<DWORD>(messageFile.size() + 1));
        const DWORD types = hal::kTypesSupported;
        RegSetValueExA(key, hal::kTypesSupportedValue, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    RegCloseKey(key);
}
