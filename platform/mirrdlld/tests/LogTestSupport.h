// Helpers shared by the logging library's tests.
#ifndef TARNWICK_MIRRDLLD_TESTS_LOGTESTSUPPORT_H
#define TARNWICK_MIRRDLLD_TESTS_LOGTESTSUPPORT_H

#include <mutex>
#include <string>
#include <vector>

#include "mirrdlld/TnwkLog.h"
#include "mirrdlld/TnwkLogControl.h"

namespace tnwklog_test {

// A copy of one observed record.
struct Seen {
    std::string filterName;
    std::string group;
    int level;
    std::string text;
    std::string file;
    int line;
    unsigned long threadId;
};

// Records what the observers see, for the lifetime of the object.
class Capture {
  public:
    Capture() { id_ = TnwkLogAddObserver(&Capture::observe, this); }
    ~Capture() { TnwkLogRemoveObserver(id_); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    int id() const { return id_; }
    std::vector<Seen> seen() const {
        std::lock_guard<std::mutex> lock(mu_);
        return seen_;
    }
    // Records of one filter only, so that lines of other filters in the process do not disturb.
    std::vector<Seen> of(const std::string& filterName) const {
        std::vector<Seen> out;
        for (const Seen& s : seen()) {
            if (s.filterName == filterName) {
                out.push_back(s);
            }
        }
        return out;
    }

  private:
    static void observe(const TnwkLogRecord* r, void* context) {
        auto* self = static_cast<Capture*>(context);
        std::lock_guard<std::mutex> lock(self->mu_);
        self->seen_.push_back(
            {r->filterName, r->group, r->level, r->text, r->file, r->line, r->threadId});
    }

    mutable std::mutex mu_;
    std::vector<Seen> seen_;
    int id_ = -1;
};

// Registers a filter under the address of this object and removes it on destruction.
class TestFilter {
  public:
    TestFilter(const char* name, const char* group, TnwkLogSettingCallback callback = nullptr,
               void* context = nullptr, int enable = 1) {
        TNWKLOG_FILTER f = TnwkLogFilterNew(name, group, enable, 0, callback, context);
        added_ = f != nullptr && TnwkLogAddFilter(key(), f) == 0;
        TnwkLogFilterDelete(f);
    }
    ~TestFilter() { TnwkLogRemoveFilter(key()); }
    TestFilter(const TestFilter&) = delete;
    TestFilter& operator=(const TestFilter&) = delete;

    const void* key() const { return this; }
    bool added() const { return added_; }

  private:
    bool added_ = false;
};

// The settings every trace object of the HAL registers: (level, name, default).
struct SettingDef {
    int level;
    const char* name;
    int defaultValue;
};
inline const std::vector<SettingDef>& halSettings() {
    static const std::vector<SettingDef> defs = {
        {0, "FILTER_PANIC", 1},
        {1, "FILTER_ERROR", 1},
        {2, "FILTER_WARNING", 1},
        {3, "FILTER_INFO", 0},
        {4, "FILTER_UNPROCESSED_EVENT", 1},
        {7, "FILTER_FUNCTION_ENTER", 0},
        {8, "FILTER_FUNCTION_EXIT", 0},
        {9, "FILTER_STATUS", 0},
        {10, "FILTER_STATE_CHANGE", 0},
    };
    return defs;
}
inline bool appendHalSettings(const void* key) {
    for (const SettingDef& d : halSettings()) {
        if (TnwkLogFilterAppendSetting(key, d.level, d.name, d.defaultValue) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace tnwklog_test

#endif
