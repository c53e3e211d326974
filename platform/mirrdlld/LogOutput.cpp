#include "LogOutput.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tnwklog {
namespace {

void appendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) {
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(u));
            out += hex;
        }
    }
}

// Writes all of [data, data+size) to fd; false with errno set on failure.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string errnoText(int err) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return text != nullptr ? std::string(text) : std::string("error ") + std::to_string(err);
}

}  // namespace

std::string formatLine(const timespec& when, unsigned long threadId, std::string_view filterName,
                       int level, std::string_view settingName, std::string_view file, int line,
                       std::string_view text, std::size_t* bodyStart) {
    std::tm tm{};
    localtime_r(&when.tv_sec, &tm);
    char stamp[64];
    std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    const long offsetMinutes = tm.tm_gmtoff / 60;
    const long absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::snprintf(stamp + n, sizeof stamp - n, ".%03ld%c%02ld:%02ld", when.tv_nsec / 1000000L,
                  offsetMinutes < 0 ? '-' : '+', absMinutes / 60, absMinutes % 60);

    std::string out;
    out.reserve(96 + filterName.size() + settingName.size() + file.size() + text.size());
    out += stamp;
    out.push_back(' ');
    if (bodyStart != nullptr) {
        *bodyStart = out.size();
    }
    out += std::to_string(threadId);
    out += " [";
    appendEscaped(out, filterName);
    out += "] ";
    out += std::to_string(level);
    if (!settingName.empty()) {
        out.push_back('(');
        appendEscaped(out, settingName);
        out.push_back(')');
    }
    out.push_back(' ');
    appendEscaped(out, file.empty() ? std::string_view("?") : file);
    out.push_back(':');
    out += std::to_string(line);
    out.push_back(' ');
    appendEscaped(out, text);
    out.push_back('\n');
    return out;
}

int syslogPriority(int level) {
    switch (level) {
        case 0:
            return LOG_CRIT;
        case 1:
            return LOG_ERR;
        case 2:
            return LOG_WARNING;
        case 3:
            return LOG_INFO;
        case 4:
            return LOG_NOTICE;
        default:
            return LOG_DEBUG;
    }
}

Output::~Output() {
    std::lock_guard<std::mutex> lock(mu_);
    closeLocked();
}

void Output::closeLocked() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (syslogOpen_) {
        closelog();
        syslogOpen_ = false;
    }
}

bool Output::set(std::string_view spec, std::string& error) {
    constexpr std::string_view kFilePrefix = "file:";
    Kind kind;
    std::string path;
    if (spec == "stderr") {
        kind = Kind::Stderr;
    } else if (spec == "syslog") {
        kind = Kind::Syslog;
    } else if (spec == "none") {
        kind = Kind::None;
    } else if (spec.substr(0, kFilePrefix.size()) == kFilePrefix) {
        kind = Kind::File;
        path = std::string(spec.substr(kFilePrefix.size()));
        if (path.empty()) {
            error = "log output \"file:\" needs a path";
            return false;
        }
        if (path.find('\0') != std::string::npos) {
            error = "log output path contains a NUL character";
            return false;
        }
    } else {
        error = "unknown log output \"" + std::string(spec) +
                "\" (expected stderr, syslog, file:PATH or none)";
        return false;
    }

    int fd = -1;
    if (kind == Kind::File) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = "cannot open log file \"" + path + "\": " + errnoText(errno);
            return false;
        }
    }

    std::lock_guard<std::mutex> lock(mu_);
    closeLocked();
    kind_ = kind;
    fd_ = fd;
    path_ = std::move(path);
    if (kind_ == Kind::Syslog) {
        syslogIdent_ = ident_;
        openlog(syslogIdent_.c_str(), LOG_PID, LOG_USER);
        syslogOpen_ = true;
    }
    return true;
}

void Output::setIdent(std::string_view ident) {
    std::lock_guard<std::mutex> lock(mu_);
    ident_ = std::string(ident);
    if (syslogOpen_) {
        closelog();
        syslogIdent_ = ident_;
        openlog(syslogIdent_.c_str(), LOG_PID, LOG_USER);
    }
}

bool Output::write(int level, std::string_view line, std::size_t bodyStart, std::string& error) {
    std::lock_guard<std::mutex> lock(mu_);
    switch (kind_) {
        case Kind::None:
            return true;
        case Kind::Syslog: {
            // syslog stamps the time itself; the message is passed as data, never as a format.
            std::string body(line.substr(bodyStart < line.size() ? bodyStart : 0));
            if (!body.empty() && body.back() == '\n') {
                body.pop_back();
            }
            syslog(syslogPriority(level), "%s", body.c_str());
            return true;
        }
        case Kind::Stderr:
            if (!writeAll(STDERR_FILENO, line.data(), line.size())) {
                error = "cannot write log output to stderr: " + errnoText(errno);
                return false;
            }
            return true;
        case Kind::File:
            if (!writeAll(fd_, line.data(), line.size())) {
                error = "cannot write log file \"" + path_ + "\": " + errnoText(errno);
                return false;
            }
            return true;
    }
    return true;
}

}  // namespace tnwklog
