// Helpers shared by the HAL tests: capture of written trace lines, temporary directories, waits.
#ifndef TARNWICK_HAL_TESTS_TESTSUPPORT_H
#define TARNWICK_HAL_TESTS_TESTSUPPORT_H

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mirrdlld/TnwkLogControl.h"

namespace haltest {

// Generous bound for anything a test waits for: it only guards against a hang.
inline constexpr std::chrono::milliseconds kHangGuard{10000};

struct LogLine {
    std::string filter;
    std::string group;
    int level = 0;
    std::string text;
    std::string file;
    int line = 0;
};

// Records every line the logging library writes while it exists.
class LogCapture {
  public:
    LogCapture() { m_id = TnwkLogAddObserver(&LogCapture::Observe, this); }
    ~LogCapture() { TnwkLogRemoveObserver(m_id); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

    // Lines at the level whose text contains the fragment.
    size_t Count(int level, const std::string& fragment) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t n = 0;
        for (const auto& l : m_lines) {
            if (l.level == level && l.text.find(fragment) != std::string::npos) ++n;
        }
        return n;
    }

    // Waits until `count` such lines were written (hang guard only).
    bool WaitFor(int level, const std::string& fragment, size_t count = 1) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kHangGuard, [&] {
            size_t n = 0;
            for (const auto& l : m_lines) {
                if (l.level == level && l.text.find(fragment) != std::string::npos) ++n;
            }
            return n >= count;
        });
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.clear();
    }

  private:
    static void Observe(const TnwkLogRecord* record, void* context) {
        auto* self = static_cast<LogCapture*>(context);
        LogLine line;
        line.filter = record->filterName != nullptr ? record->filterName : "";
        line.group = record->group != nullptr ? record->group : "";
        line.level = record->level;
        line.text = record->text != nullptr ? record->text : "";
        line.file = record->file != nullptr ? record->file : "";
        line.line = record->line;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_lines.push_back(std::move(line));
        }
        self->m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<LogLine> m_lines;
    int m_id = -1;
};

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hal_test_XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) != nullptr) m_path = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Polls a condition that another thread makes true (hang guard only).
inline bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace haltest

#endif
