#include "RegFile.h"

#include <cstdio>
#include <cstring>

namespace tarnwick::ctl {

namespace {

constexpr const char* kVersion5 = "Windows Registry Editor Version 5.00";
constexpr const char* kVersion4 = "REGEDIT4";
// Wrap hexadecimal data before a line would pass this many characters, as the Windows tools do.
constexpr std::size_t kLineWidth = 80;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0 when invalid.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

std::vector<BYTE> utf16Bytes(std::string_view text) {
    std::vector<BYTE> bytes;
    for (char16_t unit : toUtf16(text)) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Data that a quoted string shows exactly: one NUL, at the end, and no line breaks.
bool plainString(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
    }
    return true;
}

// out holds the value's line so far (its name and "=").
void appendHex(std::string& out, const std::string& prefix, const std::vector<BYTE>& data) {
    static const char digits[] = "0123456789abcdef";
    std::size_t lineStart = 0;
    out += prefix;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
        if (i + 1 < data.size()) {
            out += ',';
            if (out.size() - lineStart + 3 > kLineWidth - 2) {
                out += "\\\r\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

std::string valueLine(const RegFileValue& value) {
    std::string line = value.name.empty() ? "@" : quoted(value.name);
    line += '=';
    if (value.remove) return line + "-";
    char buffer[32];
    switch (value.type) {
        case REG_SZ:
            if (plainString(value.data)) {
                return line + quoted(std::string(value.data.begin(), value.data.end() - 1));
            }
            appendHex(line,
                      "hex(1):", utf16Bytes(std::string(value.data.begin(), value.data.end())));
            return line;
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ:
            std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
            appendHex(line, buffer, utf16Bytes(std::string(value.data.begin(), value.data.end())));
            return line;
        case REG_DWORD:
            if (value.data.size() == 4) {
                DWORD number = 0;
                std::memcpy(&number, value.data.data(), 4);
                std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
                return line + buffer;
            }
            break;
        case REG_BINARY:
            appendHex(line, "hex:", value.data);
            return line;
        default:
            break;
    }
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    appendHex(line, buffer, value.data);
    return line;
}

std::string trimmed(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool knownRoot(std::string_view path) {
    std::string root(path.substr(0, path.find('\\')));
    for (char& c : root) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return root == "HKEY_LOCAL_MACHINE" || root == "HKLM" || root == "HKEY_CURRENT_USER" ||
           root == "HKCU";
}

class Parser {
  public:
    Parser(std::string text) : text_(std::move(text)) {}

    RegFileDocument parse() {
        splitLines();
        std::size_t i = 0;
        while (i < lines_.size() && trimmed(lines_[i]).empty()) ++i;
        if (i == lines_.size()) throw RegFileError(1, "the file is empty");
        std::string header = trimmed(lines_[i]);
        if (header == kVersion5) {
            unicode_ = true;
        } else if (header == kVersion4) {
            unicode_ = false;
        } else {
            throw RegFileError(
                i + 1,
                std::string("not a registry file: the first line must be \"") + kVersion5 + "\"");
        }
        RegFileDocument document;
        for (++i; i < lines_.size(); ++i) {
            std::size_t lineNumber = i + 1;
            std::string line = trimmed(lines_[i]);
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                document.keys.push_back(keyLine(line, lineNumber));
                continue;
            }
            // A value may continue over lines that end with a backslash.
            while (!line.empty() && line.back() == '\\' && i + 1 < lines_.size()) {
                line.pop_back();
                line += trimmed(lines_[++i]);
            }
            if (document.keys.empty()) {
                throw RegFileError(lineNumber, "a value comes before any [key] line");
            }
            document.keys.back().values.push_back(valueLine(line, lineNumber));
        }
        return document;
    }

  private:
    void splitLines() {
        std::size_t start = 0;
        while (start <= text_.size()) {
            std::size_t end = text_.find('\n', start);
            if (end == std::string::npos) end = text_.size();
            std::string line = text_.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
            start = end + 1;
        }
    }

    RegFileKey keyLine(const std::string& line, std::size_t lineNumber) {
        if (line.back() != ']') throw RegFileError(lineNumber, "a key line must end with ']'");
        RegFileKey key;
        std::string path = line.substr(1, line.size() - 2);
        if (!path.empty() && path[0] == '-') {
            key.remove = true;
            path.erase(0, 1);
        }
        if (path.empty()) throw RegFileError(lineNumber, "the key name is empty");
        if (!knownRoot(path)) {
            throw RegFileError(lineNumber, "unsupported root key in \"" + path +
                                               "\" (use HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER)");
        }
        key.path = path;
        return key;
    }

    // Reads a quoted string starting at line[pos] (the opening quote); pos ends after it.
    static std::string quotedText(const std::string& line, std::size_t& pos,
                                  std::size_t lineNumber) {
        std::string out;
        for (++pos; pos < line.size(); ++pos) {
            char c = line[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\\') {
                if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"')) {
                    throw RegFileError(lineNumber,
                                       "invalid escape in a quoted string (only \\\\ and \\\")");
                }
                c = line[++pos];
            }
            out += c;
        }
        throw RegFileError(lineNumber, "a quoted string is not closed");
    }

    static std::vector<BYTE> hexBytes(const std::string& text, std::size_t lineNumber) {
        std::vector<BYTE> bytes;
        std::size_t pos = 0;
        auto skipBlanks = [&] {
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        };
        skipBlanks();
        if (pos == text.size()) return bytes;
        while (true) {
            skipBlanks();
            std::size_t start = pos;
            while (pos < text.size() && isHex(text[pos]) && pos - start < 2) ++pos;
            if (pos == start || (pos < text.size() && isHex(text[pos]))) {
                throw RegFileError(lineNumber, "hexadecimal data must be bytes like 0a,ff,...");
            }
            int value = 0;
            for (std::size_t k = start; k < pos; ++k) value = value * 16 + hexValue(text[k]);
            bytes.push_back(static_cast<BYTE>(value));
            skipBlanks();
            if (pos == text.size()) return bytes;
            if (text[pos] != ',') {
                throw RegFileError(lineNumber, "hexadecimal data must be bytes like 0a,ff,...");
            }
            ++pos;
            skipBlanks();
            if (pos == text.size()) return bytes;  // a trailing comma is tolerated
        }
    }

    RegFileValue valueLine(const std::string& line, std::size_t lineNumber) {
        RegFileValue value;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            value.name = quotedText(line, pos, lineNumber);
            if (value.name.empty()) {
                throw RegFileError(lineNumber, "a value name is empty (write @ for the default)");
            }
        } else {
            throw RegFileError(lineNumber, "expected a [key], a \"value\"=... or @=... line");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            throw RegFileError(lineNumber, "expected '=' after the value name");
        }
        std::string data = trimmed(std::string_view(line).substr(pos + 1));
        if (data == "-") {
            value.remove = true;
            return value;
        }
        if (!data.empty() && data[0] == '"') {
            std::size_t end = 0;
            std::string text = quotedText(data, end, lineNumber);
            if (!trimmed(std::string_view(data).substr(end)).empty()) {
                throw RegFileError(lineNumber, "unexpected text after a quoted string");
            }
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return value;
        }
        std::string lower = data;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.rfind("dword:", 0) == 0) {
            std::string digits = trimmed(std::string_view(data).substr(6));
            if (digits.empty() || digits.size() > 8) {
                throw RegFileError(lineNumber, "dword: needs 1 to 8 hexadecimal digits");
            }
            DWORD number = 0;
            for (char c : digits) {
                if (!isHex(c)) throw RegFileError(lineNumber, "dword: needs hexadecimal digits");
                number = number * 16 + static_cast<DWORD>(hexValue(c));
            }
            value.type = REG_DWORD;
            value.data.resize(4);
            std::memcpy(value.data.data(), &number, 4);
            return value;
        }
        if (lower.rfind("hex", 0) == 0) {
            std::size_t colon = lower.find(':');
            if (colon == std::string::npos) throw RegFileError(lineNumber, "hex data needs ':'");
            std::string kind = lower.substr(3, colon - 3);
            if (kind.empty()) {
                value.type = REG_BINARY;
            } else {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' ||
                    kind.size() > 10) {
                    throw RegFileError(lineNumber, "hex data type must be written hex(N):");
                }
                DWORD type = 0;
                for (std::size_t k = 1; k + 1 < kind.size(); ++k) {
                    if (!isHex(kind[k])) {
                        throw RegFileError(lineNumber, "hex data type must be hexadecimal");
                    }
                    type = type * 16 + static_cast<DWORD>(hexValue(kind[k]));
                }
                value.type = type;
            }
            value.data = hexBytes(data.substr(colon + 1), lineNumber);
            bool text =
                value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
            if (text && unicode_) {
                if (value.data.size() % 2 != 0) {
                    throw RegFileError(lineNumber,
                                       "text data in a version 5 file must be UTF-16 "
                                       "(an even number of bytes)");
                }
                std::u16string units;
                for (std::size_t k = 0; k < value.data.size(); k += 2) {
                    units.push_back(
                        static_cast<char16_t>(value.data[k] | (value.data[k + 1] << 8)));
                }
                std::string converted = fromUtf16(units);
                value.data.assign(converted.begin(), converted.end());
            }
            return value;
        }
        throw RegFileError(lineNumber, "unknown value data \"" + data +
                                           "\" (expected \"text\", dword:, hex: or hex(N):)");
    }

    std::string text_;
    std::vector<std::string> lines_;
    bool unicode_ = true;
};

}  // namespace

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        std::size_t length = decodeUtf8(text, i, c);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(0xDC00 | static_cast<unsigned char>(text[i])));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

std::string fromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c & 0xFF);  // a byte that was not valid UTF-8
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string writeRegFile(const RegFileDocument& document) {
    std::string text = std::string(kVersion5) + "\r\n\r\n";
    for (const auto& key : document.keys) {
        text += key.remove ? "[-" + key.path + "]\r\n" : "[" + key.path + "]\r\n";
        for (const auto& value : key.values) text += valueLine(value) + "\r\n";
        text += "\r\n";
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : toUtf16(text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

RegFileDocument parseRegFile(std::string_view bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            throw RegFileError(1, "the UTF-16 file has an odd number of bytes");
        }
        std::u16string units;
        for (std::size_t i = 2; i < bytes.size(); i += 2) {
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        text = fromUtf16(units);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        throw RegFileError(1, "UTF-16 big-endian files are not supported");
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = std::string(bytes.substr(3));
    } else {
        text = std::string(bytes);
    }
    return Parser(std::move(text)).parse();
}

}  // namespace tarnwick::ctl
