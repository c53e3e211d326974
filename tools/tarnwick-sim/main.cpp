// tarnwick-sim: plays the host framework. It loads the HAL plugin by name, starts it, drives a
// short session against the board (the virtual board by default) and prints every event that
// crosses the host/HAL and HAL/board boundaries, one line each.
#include <dlfcn.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Session.h"

namespace {

// build/bin/tarnwick-sim -> build/lib/mt_tarnwick_hal.so
std::string defaultPluginPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "mt_tarnwick_hal.so";
    return (self.parent_path().parent_path() / "lib" / "mt_tarnwick_hal.so").string();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Plays the host: loads the HAL plugin and drives a session against the board."};
    std::string plugin = defaultPluginPath();
    unsigned timeoutMs = 10000;
    uint32_t alarmSpan = 0;
    bool quiet = false;
    bool wide = false;
    app.add_option("--plugin", plugin, "path of the HAL plugin to load")->capture_default_str();
    app.add_option("--timeout-ms", timeoutMs, "how long to wait for each completion")
        ->check(CLI::Range(1u, 600000u))
        ->capture_default_str();
    auto* alarm = app.add_option("--alarm", alarmSpan,
                                 "raise and clear an alarm on this span of the first board")
                      ->check(CLI::Range(1u, 99u));
    app.add_flag("--quiet", quiet, "print the summary only");
    app.add_flag("--wide", wide, "print every event line whole (handle lists are long)");
    CLI11_PARSE(app, argc, argv);

    void* library = nullptr;
    std::string error;
    auto hal = sim::loadHal(plugin, library, error);
    if (!hal) {
        std::fprintf(stderr, "tarnwick-sim: %s\n", error.c_str());
        return 1;
    }

    sim::Options options;
    options.timeout = std::chrono::milliseconds(timeoutMs);
    options.quiet = quiet;
    options.wide = wide;
    if (alarm->count() > 0) options.alarmSpan = alarmSpan;

    const int result = sim::Session(*hal, options, stdout).run();
    // The plugin stays loaded: its threads are joined by hal_Exit, and unloading a library that
    // registered thread-local or at-exit state is not worth the risk at process end.
    return result;
}
