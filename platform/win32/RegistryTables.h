// The registry's tables in the system store: keys (a tree under the two predefined roots) and
// their values. Used inside a unit of work of SystemStore; nothing here checks handle rights.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SystemStore.h"

namespace tarnwick::win32 {

// Longest key name (one path component), and longest value name, in characters.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

// Splits a subkey path at backslashes. A trailing backslash is ignored; an empty component
// (leading or doubled backslash) gives ERROR_BAD_PATHNAME and an over-long one
// ERROR_INVALID_PARAMETER. A null or empty path gives no components.
LONG splitKeyPath(const char* path, std::vector<std::string>& parts);

struct ValueData {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class RegistryTables {
  public:
    explicit RegistryTables(SystemStore& store) : store_(store) {}

    bool keyExists(std::int64_t key);
    std::optional<std::int64_t> child(std::int64_t parent, std::string_view name);
    std::optional<std::int64_t> find(std::int64_t base, const std::vector<std::string>& parts);
    // Creates the missing keys of the path; returns the last key and whether it was created.
    std::pair<std::int64_t, bool> create(std::int64_t base, const std::vector<std::string>& parts);
    std::int64_t insertKey(std::int64_t parent, std::string_view name);
    bool hasSubkeys(std::int64_t key);
    // Deletes the key and its values; the caller has checked that it has no subkeys.
    void deleteKey(std::int64_t key);
    // Deletes everything below key and key's values; key itself too unless keepKey.
    void deleteTree(std::int64_t key, bool keepKey);

    std::optional<ValueData> value(std::int64_t key, std::string_view name);
    void setValue(std::int64_t key, std::string_view name, DWORD type, const BYTE* data,
                  std::size_t size);
    bool deleteValue(std::int64_t key, std::string_view name);
    // Marks the key as written now.
    void touch(std::int64_t key);

    // Copies values and subkeys of source into destination, replacing values of the same name.
    void copyTree(std::int64_t source, std::int64_t destination);

  private:
    void upsertValue(std::int64_t key, std::string_view name, DWORD type, const BYTE* data,
                     std::size_t size);

    SystemStore& store_;
};

// Nanoseconds since 1970 as a Win32 FILETIME (100 ns since 1601).
FILETIME toFileTime(std::int64_t unixNanoseconds);
std::int64_t unixNanosecondsNow();

}  // namespace tarnwick::win32
