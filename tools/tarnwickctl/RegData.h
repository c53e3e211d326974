// How `tarnwickctl reg` names keys and shows and reads value data, in reg.exe's conventions.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::ctl {

// A key given on the command line or in a file: root and the path below it.
struct KeyName {
    HKEY root = nullptr;
    std::string rootName;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"
    std::string subkey;    // without leading or trailing backslash; empty for the root itself

    std::string full() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
};

// Accepts HKLM, HKEY_LOCAL_MACHINE, HKCU and HKEY_CURRENT_USER in any case, followed by an
// optional path. Returns nothing and sets error for anything else.
std::optional<KeyName> parseKeyName(const std::string& text, std::string& error);

// "REG_SZ" and so on; unknown types show as "REG_UNKNOWN".
std::string typeName(DWORD type);
// The type named by /t (case-insensitive), or nothing.
std::optional<DWORD> typeFromName(const std::string& name);

// Data as reg query shows them: strings up to their NUL, multi-strings joined by "\0", numbers as
// 0x hexadecimal, anything else as upper-case hexadecimal bytes.
std::string showData(DWORD type, const std::vector<BYTE>& data);

// Data for reg add /d. separator splits REG_MULTI_SZ ("\0" by default). Returns nothing and sets
// error when data does not fit the type.
std::optional<std::vector<BYTE>> parseData(DWORD type, const std::string& text,
                                           const std::string& separator, std::string& error);

}  // namespace tarnwick::ctl
