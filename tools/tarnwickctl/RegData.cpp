#include "RegData.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnwick::ctl {

namespace {

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct TypeEntry {
    DWORD type;
    const char* name;
};
const TypeEntry kTypes[] = {
    {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

// A number written in decimal or with 0x in hexadecimal, up to max.
bool parseNumber(const std::string& text, unsigned long long max, unsigned long long& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' ||
        std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    value = std::strtoull(hex ? text.c_str() + 2 : text.c_str(), &end, hex ? 16 : 10);
    return errno == 0 && end != nullptr && *end == '\0' && value <= max &&
           end != (hex ? text.c_str() + 2 : text.c_str());
}

}  // namespace

std::optional<KeyName> parseKeyName(const std::string& text, std::string& error) {
    if (text.rfind("\\\\", 0) == 0) {
        error = "Remote registries are not supported: \"" + text + "\".";
        return std::nullopt;
    }
    std::string rest = text;
    while (!rest.empty() && rest.back() == '\\') rest.pop_back();
    std::size_t slash = rest.find('\\');
    std::string root = upper(rest.substr(0, slash));
    KeyName key;
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        key.root = HKEY_LOCAL_MACHINE;
        key.rootName = "HKEY_LOCAL_MACHINE";
    } else if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        key.root = HKEY_CURRENT_USER;
        key.rootName = "HKEY_CURRENT_USER";
    } else {
        error = "Invalid key name \"" + text +
                "\": it must begin with HKLM, HKEY_LOCAL_MACHINE, HKCU or HKEY_CURRENT_USER.";
        return std::nullopt;
    }
    if (slash != std::string::npos) key.subkey = rest.substr(slash + 1);
    return key;
}

std::string typeName(DWORD type) {
    for (const auto& entry : kTypes) {
        if (entry.type == type) return entry.name;
    }
    return "REG_UNKNOWN";
}

std::optional<DWORD> typeFromName(const std::string& name) {
    std::string wanted = upper(name);
    for (const auto& entry : kTypes) {
        if (wanted == entry.name && entry.type != REG_LINK && entry.type != REG_DWORD_BIG_ENDIAN) {
            return entry.type;
        }
    }
    return std::nullopt;
}

std::string showData(DWORD type, const std::vector<BYTE>& data) {
    char buffer[32];
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::string text(data.begin(), data.end());
            return text.substr(0, text.find('\0'));
        }
        case REG_MULTI_SZ: {
            std::string shown;
            std::size_t start = 0;
            while (start < data.size()) {
                std::size_t end = start;
                while (end < data.size() && data[end] != 0) ++end;
                if (end == start) break;  // the empty string that ends the list
                if (!shown.empty()) shown += "\\0";
                shown.append(reinterpret_cast<const char*>(data.data()) + start, end - start);
                start = end + 1;
            }
            return shown;
        }
        case REG_DWORD:
            if (data.size() == 4) {
                DWORD number = 0;
                std::memcpy(&number, data.data(), 4);
                std::snprintf(buffer, sizeof buffer, "0x%x", number);
                return buffer;
            }
            break;
        case REG_QWORD:
            if (data.size() == 8) {
                unsigned long long number = 0;
                std::memcpy(&number, data.data(), 8);
                std::snprintf(buffer, sizeof buffer, "0x%llx", number);
                return buffer;
            }
            break;
        default:
            break;
    }
    std::string hex;
    for (BYTE b : data) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        hex += buffer;
    }
    return hex;
}

std::optional<std::vector<BYTE>> parseData(DWORD type, const std::string& text,
                                           const std::string& separator, std::string& error) {
    std::vector<BYTE> data;
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            data.assign(text.begin(), text.end());
            data.push_back(0);
            return data;
        case REG_MULTI_SZ: {
            if (separator.empty()) {
                error = "The separator given with /s is empty.";
                return std::nullopt;
            }
            std::size_t start = 0;
            while (!text.empty()) {
                std::size_t end = text.find(separator, start);
                std::string part =
                    text.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (part.empty()) {
                    error = "Invalid data \"" + text +
                            "\" for /d: REG_MULTI_SZ cannot hold empty strings.";
                    return std::nullopt;
                }
                data.insert(data.end(), part.begin(), part.end());
                data.push_back(0);
                if (end == std::string::npos) break;
                start = end + separator.size();
            }
            data.push_back(0);
            return data;
        }
        case REG_DWORD:
        case REG_QWORD: {
            bool dword = type == REG_DWORD;
            unsigned long long value = 0;
            if (!text.empty() && !parseNumber(text, dword ? 0xFFFFFFFFULL : ~0ULL, value)) {
                error = "Invalid data \"" + text + "\" for /d: " + typeName(type) +
                        " needs a decimal number or a 0x hexadecimal number up to " +
                        (dword ? "0xffffffff." : "0xffffffffffffffff.");
                return std::nullopt;
            }
            data.resize(dword ? 4 : 8);
            if (dword) {
                auto number = static_cast<DWORD>(value);
                std::memcpy(data.data(), &number, 4);
            } else {
                std::memcpy(data.data(), &value, 8);
            }
            return data;
        }
        default: {
            // REG_BINARY and REG_NONE: pairs of hexadecimal digits.
            if (text.size() % 2 != 0) {
                error = "Invalid data \"" + text + "\" for /d: " + typeName(type) +
                        " needs pairs of hexadecimal digits.";
                return std::nullopt;
            }
            for (std::size_t i = 0; i < text.size(); i += 2) {
                if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
                    !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
                    error = "Invalid data \"" + text + "\" for /d: " + typeName(type) +
                            " needs pairs of hexadecimal digits.";
                    return std::nullopt;
                }
                data.push_back(static_cast<BYTE>(std::stoul(text.substr(i, 2), nullptr, 16)));
            }
            return data;
        }
    }
}

}  // namespace tarnwick::ctl
