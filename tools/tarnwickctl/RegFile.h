// Registry files in the format of "Windows Registry Editor Version 5.00" (and the older
// "REGEDIT4"), as the administrator's tools of Windows write and read them.
//
// Text in the store is this system's multibyte text (UTF-8); a version 5 file is UTF-16LE. Bytes
// that are not valid UTF-8 travel through the file as the UTF-16 code units U+DC80..U+DCFF, so
// that every value comes back byte for byte.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::ctl {

struct RegFileValue {
    std::string name;  // empty for the default value ("@")
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool remove = false;  // "name"=- : delete the value
};

struct RegFileKey {
    std::string path;     // as written between the brackets, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\X"
    bool remove = false;  // [-path] : delete the key with everything below it
    std::vector<RegFileValue> values;
};

struct RegFileDocument {
    std::vector<RegFileKey> keys;
};

// A file that cannot be read; line counts from 1.
class RegFileError : public std::runtime_error {
  public:
    RegFileError(std::size_t line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
    std::size_t line() const { return line_; }

  private:
    std::size_t line_;
};

// The file's bytes as the Windows tools write them: UTF-16LE with a byte order mark, CRLF line
// ends, long hexadecimal data wrapped with a trailing backslash.
std::string writeRegFile(const RegFileDocument& document);

// Reads a version 5 file in UTF-16LE (with its byte order mark) or UTF-8, or a REGEDIT4 file.
// Throws RegFileError naming the line for anything it does not understand; nothing is guessed.
RegFileDocument parseRegFile(std::string_view bytes);

// UTF-8 to UTF-16 and back, keeping invalid bytes as described above.
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);

}  // namespace tarnwick::ctl
