// Miscellaneous system functions of the Win32 subset.
#include <windows.h>

#include <chrono>
#include <thread>

extern "C" void Sleep(DWORD dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
