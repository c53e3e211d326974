// The commands of tarnwickctl. Each returns the process exit code: 0 success, 1 failure.
// Results go to standard output, errors (always beginning "ERROR: " or "[SC] ") to standard
// error; questions are asked on standard output and answered on standard input.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::ctl {

struct RegQueryOptions {
    std::string key;
    std::optional<std::string> value;  // /v
    bool defaultValue = false;         // /ve
    bool recursive = false;            // /s
};
int regQuery(const RegQueryOptions& options);

struct RegAddOptions {
    std::string key;
    std::optional<std::string> value;  // /v
    bool defaultValue = false;         // /ve
    std::string type = "REG_SZ";       // /t
    std::string separator = "\\0";     // /s
    std::optional<std::string> data;   // /d
    bool force = false;                // /f
};
int regAdd(const RegAddOptions& options);

struct RegDeleteOptions {
    std::string key;
    std::optional<std::string> value;  // /v
    bool defaultValue = false;         // /ve
    bool allValues = false;            // /va
    bool force = false;                // /f
};
int regDelete(const RegDeleteOptions& options);

int regExport(const std::string& key, const std::string& file, bool overwrite);
int regImport(const std::string& file);

int scQuery(const std::string& name);
// settings: sc.exe's "option= value" pairs (binPath=, type=, start=, error=, DisplayName=).
int scCreate(const std::string& name, const std::vector<std::string>& settings);
int scStart(const std::string& name);
int scStop(const std::string& name);
int scDelete(const std::string& name);
int scSetState(const std::string& name, const std::string& state);

int eventLog(const std::optional<std::string>& source);

// Shared by the commands.
void printError(const std::string& message);
// "ERROR: " and the system's text for code, then the store's reason when there is one.
void printSystemError(DWORD code);
// Asks question (without a line break) and returns true for an answer beginning with y or Y.
bool confirm(const std::string& question);
std::string systemText(DWORD code);

}  // namespace tarnwick::ctl
