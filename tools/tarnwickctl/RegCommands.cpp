// tarnwickctl reg: query, add, delete, export and import in reg.exe's syntax and output.
#include <sys/stat.h>
#include <tarnwick_store.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Commands.h"
#include "RegData.h"
#include "RegFile.h"

namespace tarnwick::ctl {

namespace {

const char* const kNotFound = "The system was unable to find the specified registry key or value.";
const char* const kSuccess = "The operation completed successfully.";
const char* const kCancelled = "The operation was cancelled by the user.";

// Closes a key handle when it goes out of scope.
class Key {
  public:
    Key() = default;
    ~Key() {
        if (handle_ != nullptr) RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    PHKEY out() { return &handle_; }
    HKEY get() const { return handle_; }

  private:
    HKEY handle_ = nullptr;
};

LONG readValues(HKEY key, std::vector<RegFileValue>& values) {
    values.clear();
    DWORD maxName = 0, maxData = 0;
    LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &maxName, &maxData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<char> name(maxName + 1);
    std::vector<BYTE> data(maxData > 0 ? maxData : 1);
    for (DWORD i = 0;;) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        rc = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) {  // changed meanwhile by another process: grow and retry
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<std::size_t>(data.size() * 2, dataSize));
            continue;
        }
        if (rc != ERROR_SUCCESS) return rc;
        values.push_back({std::string(name.data(), nameSize), type,
                          std::vector<BYTE>(data.begin(), data.begin() + dataSize), false});
        ++i;
    }
}

LONG readSubkeys(HKEY key, std::vector<std::string>& names) {
    names.clear();
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.emplace_back(name, size);
    }
}

std::string valueLine(const RegFileValue& value) {
    return "    " + (value.name.empty() ? std::string("(Default)") : value.name) + "    " +
           typeName(value.type) + "    " + showData(value.type, value.data);
}

int failWith(LONG rc) {
    if (rc == ERROR_FILE_NOT_FOUND) {
        printError(kNotFound);
    } else {
        printSystemError(static_cast<DWORD>(rc));
    }
    return 1;
}

std::optional<KeyName> keyArgument(const std::string& text) {
    std::string error;
    auto key = parseKeyName(text, error);
    if (!key) printError(error);
    return key;
}

// Walks the tree below key depth first; visit(path, handle) returns an error code to stop.
template <class Visit>
LONG walk(HKEY key, const std::string& path, Visit&& visit) {
    if (LONG rc = visit(path, key); rc != ERROR_SUCCESS) return rc;
    std::vector<std::string> children;
    if (LONG rc = readSubkeys(key, children); rc != ERROR_SUCCESS) return rc;
    for (const auto& child : children) {
        Key sub;
        LONG rc = RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, sub.out());
        if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
        if (rc != ERROR_SUCCESS) return rc;
        if (rc = walk(sub.get(), path + "\\" + child, visit); rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace

int regQuery(const RegQueryOptions& options) {
    auto name = keyArgument(options.key);
    if (!name) return 1;
    if (options.value && options.defaultValue) {
        printError("Use /v NAME or /ve, not both.");
        return 1;
    }
    Key key;
    if (LONG rc = RegOpenKeyExA(name->root, name->subkey.c_str(), 0, KEY_READ, key.out());
        rc != ERROR_SUCCESS) {
        return failWith(rc);
    }
    bool oneValue = options.value.has_value() || options.defaultValue;
    std::string wanted = options.value.value_or("");
    auto matches = [&](const RegFileValue& v) {
        if (v.name.size() != wanted.size()) return false;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(v.name[i])) !=
                std::toupper(static_cast<unsigned char>(wanted[i]))) {
                return false;
            }
        }
        return true;
    };
    std::ostringstream out;

    if (options.recursive) {
        int found = 0;
        LONG rc = walk(key.get(), name->full(), [&](const std::string& path, HKEY k) -> LONG {
            std::vector<RegFileValue> values;
            if (LONG r = readValues(k, values); r != ERROR_SUCCESS) return r;
            if (!oneValue) {
                out << "\n" << path << "\n";
                for (const auto& v : values) out << valueLine(v) << "\n";
                return ERROR_SUCCESS;
            }
            for (const auto& v : values) {
                if (matches(v)) {
                    out << "\n" << path << "\n" << valueLine(v) << "\n";
                    ++found;
                }
            }
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS) return failWith(rc);
        if (oneValue) out << "\nEnd of search: " << found << " match(es) found.\n";
        std::cout << out.str();
        return oneValue && found == 0 ? 1 : 0;
    }

    std::vector<RegFileValue> values;
    if (LONG rc = readValues(key.get(), values); rc != ERROR_SUCCESS) return failWith(rc);
    out << "\n" << name->full() << "\n";
    if (oneValue) {
        bool shown = false;
        for (const auto& v : values) {
            if (matches(v)) {
                out << valueLine(v) << "\n";
                shown = true;
            }
        }
        if (!shown) {
            if (!options.defaultValue) return failWith(ERROR_FILE_NOT_FOUND);
            out << "    (Default)    REG_SZ    (value not set)\n";
        }
        out << "\n";
        std::cout << out.str();
        return 0;
    }
    for (const auto& v : values) out << valueLine(v) << "\n";
    std::vector<std::string> children;
    if (LONG rc = readSubkeys(key.get(), children); rc != ERROR_SUCCESS) return failWith(rc);
    out << "\n";
    for (const auto& child : children) out << name->full() << "\\" << child << "\n";
    std::cout << out.str();
    return 0;
}

int regAdd(const RegAddOptions& options) {
    auto name = keyArgument(options.key);
    if (!name) return 1;
    if (options.value && options.defaultValue) {
        printError("Use /v NAME or /ve, not both.");
        return 1;
    }
    bool setsValue = options.value.has_value() || options.defaultValue;
    if (!setsValue && options.data) {
        printError("/d needs /v NAME or /ve to name the value.");
        return 1;
    }
    auto type = typeFromName(options.type);
    if (!type) {
        printError("Invalid value type \"" + options.type +
                   "\" for /t: use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, "
                   "REG_BINARY or REG_NONE.");
        return 1;
    }
    std::vector<BYTE> data;
    if (setsValue) {
        std::string error;
        auto parsed = parseData(*type, options.data.value_or(""), options.separator, error);
        if (!parsed) {
            printError(error);
            return 1;
        }
        data = std::move(*parsed);
    }
    std::string valueName = options.value.value_or("");

    if (setsValue && !options.force) {
        Key existing;
        if (RegOpenKeyExA(name->root, name->subkey.c_str(), 0, KEY_QUERY_VALUE, existing.out()) ==
                ERROR_SUCCESS &&
            RegQueryValueExA(existing.get(), valueName.c_str(), nullptr, nullptr, nullptr,
                             nullptr) == ERROR_SUCCESS) {
            std::string shown = valueName.empty() ? "(Default)" : valueName;
            if (!confirm("Value " + shown + " exists, overwrite(Yes/No)? ")) {
                std::cout << kCancelled << "\n";
                return 1;
            }
        }
    }
    Key key;
    if (LONG rc = RegCreateKeyExA(name->root, name->subkey.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.out(), nullptr);
        rc != ERROR_SUCCESS) {
        return failWith(rc);
    }
    if (setsValue) {
        if (LONG rc = RegSetValueExA(key.get(), valueName.c_str(), 0, *type, data.data(),
                                     static_cast<DWORD>(data.size()));
            rc != ERROR_SUCCESS) {
            return failWith(rc);
        }
    }
    std::cout << kSuccess << "\n";
    return 0;
}

int regDelete(const RegDeleteOptions& options) {
    auto name = keyArgument(options.key);
    if (!name) return 1;
    int chosen =
        (options.value ? 1 : 0) + (options.defaultValue ? 1 : 0) + (options.allValues ? 1 : 0);
    if (chosen > 1) {
        printError("Use only one of /v NAME, /ve and /va.");
        return 1;
    }
    Key key;
    if (LONG rc = RegOpenKeyExA(name->root, name->subkey.c_str(), 0, KEY_ALL_ACCESS, key.out());
        rc != ERROR_SUCCESS) {
        return failWith(rc);
    }
    if (chosen == 0) {
        if (name->subkey.empty()) {
            printError("A root key cannot be deleted.");
            return 1;
        }
        if (!options.force &&
            !confirm("Permanently delete the registry key " + name->full() + " (Yes/No)? ")) {
            std::cout << kCancelled << "\n";
            return 1;
        }
        if (LONG rc = RegDeleteTreeA(name->root, name->subkey.c_str()); rc != ERROR_SUCCESS) {
            return failWith(rc);
        }
    } else if (options.allValues) {
        if (!options.force &&
            !confirm("Delete all values under the registry key " + name->full() + " (Yes/No)? ")) {
            std::cout << kCancelled << "\n";
            return 1;
        }
        std::vector<RegFileValue> values;
        if (LONG rc = readValues(key.get(), values); rc != ERROR_SUCCESS) return failWith(rc);
        for (const auto& v : values) {
            LONG rc = RegDeleteValueA(key.get(), v.name.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return failWith(rc);
        }
    } else {
        std::string valueName = options.value.value_or("");
        if (LONG rc =
                RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr);
            rc != ERROR_SUCCESS) {
            return failWith(rc);
        }
        std::string shown = valueName.empty() ? "(Default)" : valueName;
        if (!options.force && !confirm("Delete the registry value " + shown + " (Yes/No)? ")) {
            std::cout << kCancelled << "\n";
            return 1;
        }
        if (LONG rc = RegDeleteValueA(key.get(), valueName.c_str()); rc != ERROR_SUCCESS) {
            return failWith(rc);
        }
    }
    std::cout << kSuccess << "\n";
    return 0;
}

int regExport(const std::string& keyText, const std::string& file, bool overwrite) {
    auto name = keyArgument(keyText);
    if (!name) return 1;
    struct stat st {};
    if (!overwrite && ::stat(file.c_str(), &st) == 0 &&
        !confirm("File " + file + " already exists. Overwrite (Yes/No)? ")) {
        std::cout << kCancelled << "\n";
        return 1;
    }
    // One transaction, so that the file shows the tree as it was at one moment.
    if (DWORD rc = TarnwickStore_BeginTransaction(); rc != ERROR_SUCCESS)
        return failWith(static_cast<LONG>(rc));
    RegFileDocument document;
    LONG rc;
    {
        Key key;
        rc = RegOpenKeyExA(name->root, name->subkey.c_str(), 0, KEY_READ, key.out());
        if (rc == ERROR_SUCCESS) {
            rc = walk(key.get(), name->full(), [&](const std::string& path, HKEY k) -> LONG {
                RegFileKey entry;
                entry.path = path;
                LONG r = readValues(k, entry.values);
                document.keys.push_back(std::move(entry));
                return r;
            });
        }
    }
    TarnwickStore_EndTransaction(FALSE);
    if (rc != ERROR_SUCCESS) return failWith(rc);

    // Written beside the target and renamed over it, so a failure never leaves half a file.
    std::string bytes = writeRegFile(document);
    std::string temporary = file + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            int error = errno;
            std::remove(temporary.c_str());
            printError("Cannot write " + file + ": " + std::strerror(error));
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        int error = errno;
        std::remove(temporary.c_str());
        printError("Cannot write " + file + ": " + std::strerror(error));
        return 1;
    }
    std::cout << kSuccess << "\n";
    return 0;
}

int regImport(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        printError("Cannot read " + file + ": " + std::strerror(errno));
        return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    RegFileDocument document;
    try {
        document = parseRegFile(content.str());
    } catch (const RegFileError& e) {
        printError("Cannot import " + file + ": " + e.what() + ". Nothing was changed.");
        return 1;
    }

    // All or nothing: the whole file is applied in one transaction.
    if (DWORD rc = TarnwickStore_BeginTransaction(); rc != ERROR_SUCCESS) {
        return failWith(static_cast<LONG>(rc));
    }
    auto abandon = [&](const std::string& where, LONG rc) {
        TarnwickStore_EndTransaction(FALSE);
        printError("Cannot import " + file + " at " + where + ": " +
                   systemText(static_cast<DWORD>(rc)) + " Nothing was changed.");
        std::string reason = TarnwickStore_LastErrorText();
        if (!reason.empty()) printError(reason);
        return 1;
    };
    for (const auto& entry : document.keys) {
        std::string error;
        auto name = parseKeyName(entry.path, error);
        if (!name) return abandon("[" + entry.path + "]", ERROR_INVALID_PARAMETER);
        if (entry.remove) {
            if (name->subkey.empty()) return abandon("[-" + entry.path + "]", ERROR_ACCESS_DENIED);
            LONG rc = RegDeleteTreeA(name->root, name->subkey.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
                return abandon("[-" + entry.path + "]", rc);
            }
            continue;
        }
        Key key;
        if (LONG rc = RegCreateKeyExA(name->root, name->subkey.c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.out(),
                                      nullptr);
            rc != ERROR_SUCCESS) {
            return abandon("[" + entry.path + "]", rc);
        }
        for (const auto& value : entry.values) {
            std::string where = "[" + entry.path + "] " + (value.name.empty() ? "@" : value.name);
            LONG rc = value.remove ? RegDeleteValueA(key.get(), value.name.c_str())
                                   : RegSetValueExA(key.get(), value.name.c_str(), 0, value.type,
                                                    value.data.data(),
                                                    static_cast<DWORD>(value.data.size()));
            if (rc != ERROR_SUCCESS && !(value.remove && rc == ERROR_FILE_NOT_FOUND)) {
                return abandon(where, rc);
            }
        }
    }
    if (DWORD rc = TarnwickStore_EndTransaction(TRUE); rc != ERROR_SUCCESS) {
        printError("Cannot import " + file + ": " + systemText(rc) + " Nothing was changed.");
        return 1;
    }
    std::cout << kSuccess << "\n";
    return 0;
}

}  // namespace tarnwick::ctl
