// A scripted host session against a loaded HAL plugin.
#ifndef TARNWICK_SIM_SESSION_H
#define TARNWICK_SIM_SESSION_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mtcore/TransInfo.h"

namespace sim {

// The four exports of the HAL, bound by name.
struct HalExports {
    int (*init)() = nullptr;
    int (*exit)() = nullptr;
    int (*getLogLevel)() = nullptr;
    void (*setLogLevel)(int) = nullptr;
};

// Loads the plugin with dlopen and binds its exports; on failure returns an empty optional and
// sets `error` to the loader's text.
std::optional<HalExports> loadHal(const std::string& path, void*& library, std::string& error);

struct Options {
    std::chrono::milliseconds timeout{10000};  // for each awaited completion
    std::optional<uint32_t> alarmSpan;         // raise and clear an alarm on this span of board 1
    bool quiet = false;                        // only the summary
    bool wide = false;                         // event lines printed whole
};

// What the host learned about one board.
struct BoardSummary {
    int32_t logicalId = 0;
    std::string description;
    std::string netType;
    std::vector<int32_t> lines;  // per span
    std::size_t handles = 0;
};

class Session {
  public:
    Session(HalExports hal, Options options, std::FILE* out);
    // Runs the whole session; returns the process exit code (0 when every awaited completion came
    // and nothing leaked).
    int run();

  private:
    void print(const char* direction, const std::string& text);
    void installObservers();
    void removeObservers();
    // Submits a request and waits for the posted object with `expectedId`; other posted objects
    // are counted and freed on the way. Returns the object (the caller frees it with
    // MToem_DeleteObj) or null on timeout, which counts as a failure.
    MTCore::Core_TransInfo* request(MTCore::Core_TransInfo* req, uint32_t expectedId);
    // Waits for a posted object with that id (freeing others); null on timeout.
    MTCore::Core_TransInfo* await(uint32_t expectedId);
    void learnHardware(const MTCore::Core_TransInfo* completion);
    void summary();
    bool alarmRoundTrip(uint32_t span);

    HalExports hal_;
    Options options_;
    std::FILE* out_;
    std::mutex printMutex_;
    int observerId_ = -1;
    std::vector<BoardSummary> boards_;
    std::map<int32_t, std::size_t> handlesPerBoard_;
    std::vector<uint32_t> lineHandles_;
    std::size_t failures_ = 0;
    std::size_t notifications_ = 0;
};

}  // namespace sim

#endif
