// The settings text of the logging library on arbitrary bytes: it answers 0 or -1, and a text it
// refuses changes no filter.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mirrdlld/TnwkLog.h"
#include "mirrdlld/TnwkLogControl.h"

namespace {

// Filters whose names and groups a mutated text is likely to hit: a short name, one with a
// space, one sharing its group with another.
struct Probe {
    const char* name;
    const char* group;
};
constexpr Probe kProbes[] = {
    {"A", "G"}, {"ShimPALMgr", "TIM Events"}, {"TIM Events", ""}, {"x y", "G"}};
constexpr int kLevels = 32;

const void* keyOf(std::size_t i) {
    return &kProbes[i];
}

void setUpOnce() {
    static const bool done = [] {
        if (TnwkLogSetOutput("none") != 0) std::abort();
        for (std::size_t i = 0; i < std::size(kProbes); ++i) {
            TNWKLOG_FILTER f =
                TnwkLogFilterNew(kProbes[i].name, kProbes[i].group, 1, 0, nullptr, nullptr);
            if (f == nullptr || TnwkLogAddFilter(keyOf(i), f) != 0) std::abort();
            TnwkLogFilterDelete(f);
            for (int level = 0; level < kLevels; ++level) {
                if (TnwkLogFilterAppendSetting(keyOf(i), level, "level", 0) != 0) std::abort();
            }
        }
        return true;
    }();
    (void)done;
}

// Every filter's settings, one bit per level.
std::string snapshot() {
    std::string state;
    for (std::size_t i = 0; i < std::size(kProbes); ++i) {
        for (int level = 0; level < kLevels; ++level) {
            state += TnwkLogIsInterested(keyOf(i), level) ? '1' : '0';
        }
    }
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUpOnce();
    // Every input starts from the same state: no rules, a varied but fixed pattern of settings.
    TnwkLogClearRules();
    for (int level = 0; level < kLevels; ++level) {
        TnwkLogSetSetting("*", level, level % 3 == 0);
    }
    TnwkLogClearRules();

    const std::string text(reinterpret_cast<const char*>(data), size);  // adds the NUL
    const std::string before = snapshot();
    const int result = TnwkLogApplySettings(text.c_str());
    if (result != 0 && result != -1) {
        std::fprintf(stderr, "TnwkLogApplySettings answered %d\n", result);
        std::abort();
    }
    if (result == -1 && snapshot() != before) {
        std::fprintf(stderr, "a refused settings text changed a filter\n");
        std::abort();
    }
    // Rules are kept until cleared; without this they would pile up over a fuzzing run.
    TnwkLogClearRules();
    return 0;
}
