#include <tarnwick_store.h>

#include <iostream>
#include <string>

#include "Commands.h"

namespace tarnwick::ctl {

std::string systemText(DWORD code) {
    char text[512];
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, code, 0, text, sizeof text, nullptr);
    if (n == 0) return "Error code " + std::to_string(code) + ".";
    return std::string(text, n);
}

void printError(const std::string& message) {
    std::cerr << "ERROR: " << message << "\n";
}

void printSystemError(DWORD code) {
    printError(systemText(code));
    std::string reason = TarnwickStore_LastErrorText();
    if (!reason.empty()) printError(reason);
}

bool confirm(const std::string& question) {
    std::cout << question << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cout << "\n";
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace tarnwick::ctl
