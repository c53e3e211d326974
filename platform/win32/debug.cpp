// Debugger output: the sink is chosen by TARNWICK_DEBUG_OUTPUT on every call.
#include <fcntl.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

// Keeps the texts of one process's threads whole in the sink.
std::mutex g_outputMutex;

void writeAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        ssize_t written = ::write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // Debug output is best effort: a broken sink must not disturb the caller.
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

}  // namespace

extern "C" void OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString == nullptr) return;
    const char* sink = std::getenv("TARNWICK_DEBUG_OUTPUT");
    if (sink == nullptr) return;
    std::string_view choice(sink);
    std::size_t length = std::strlen(lpOutputString);
    std::lock_guard<std::mutex> lock(g_outputMutex);
    if (choice == "stderr") {
        writeAll(STDERR_FILENO, lpOutputString, length);
    } else if (choice.substr(0, 5) == "file:" && choice.size() > 5) {
        int fd = ::open(sink + 5, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        writeAll(fd, lpOutputString, length);
        ::close(fd);
    }
}
