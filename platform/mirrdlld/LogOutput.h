// Where written log lines go, and what a line looks like.
#ifndef TARNWICK_MIRRDLLD_LOGOUTPUT_H
#define TARNWICK_MIRRDLLD_LOGOUTPUT_H

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace tnwklog {

// One message in the library's line layout, ending in '\n':
//   2025-03-04T10:11:12.345+01:00 12345 [ShimPALMgr] 7(FILTER_FUNCTION_ENTER) Pump.cpp:42 text
// that is local time (ISO-8601, milliseconds, offset), thread id, filter name in brackets, level
// with its setting name when it has one, source file and line, text. Control characters in any
// field are written as \n, \r, \t or \xHH so that a message is always exactly one line.
// `bodyStart` receives the offset of the thread id (the line without its time stamp).
std::string formatLine(const timespec& when, unsigned long threadId, std::string_view filterName,
                       int level, std::string_view settingName, std::string_view file, int line,
                       std::string_view text, std::size_t* bodyStart = nullptr);

// The syslog priority for a level: 0 critical, 1 error, 2 warning, 3 info, 4 notice, 5+ debug.
int syslogPriority(int level);

// The output sink: "stderr", "syslog", "file:PATH" (appending) or "none". Thread-safe; each line
// goes out in one write so that lines of concurrent writers never interleave.
class Output {
  public:
    Output() = default;
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Switches to the named sink. On failure (unknown name, file that cannot be opened) returns
    // false with the reason in `error`, and the sink is unchanged.
    bool set(std::string_view spec, std::string& error);
    // The syslog identity (the application name); takes effect at the next opening of syslog.
    void setIdent(std::string_view ident);
    // Writes one formatted line. False with the reason in `error` when the sink refused it.
    bool write(int level, std::string_view line, std::size_t bodyStart, std::string& error);

  private:
    enum class Kind { Stderr, Syslog, File, None };
    void closeLocked();

    mutable std::mutex mu_;
    Kind kind_ = Kind::Stderr;
    int fd_ = -1;
    std::string path_;
    std::string ident_ = "tnwklog";
    std::string syslogIdent_;  // what openlog() was given; must outlive the syslog connection
    bool syslogOpen_ = false;
};

}  // namespace tnwklog

#endif
