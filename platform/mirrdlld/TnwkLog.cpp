// The leveled trace facility: filters, settings and their rules, output and observers.
//
// Two layers: the interest table (InterestTable.h) answers TnwkLogIsInterested without a lock;
// everything else about a filter (names, settings, callback) lives in a map under `State::mu`,
// and every change of a filter's values is published to the table while that mutex is held.
// User callbacks (setting callbacks, observers, the error callback) are always called with no
// lock of the library held, so they may call back into it.
#include "mirrdlld/TnwkLog.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "InterestTable.h"
#include "LogOutput.h"
#include "LogSettings.h"
#include "mirrdlld/TnwkLogControl.h"

// The template built by TnwkLogFilterNew and copied by TnwkLogAddFilter.
struct TnwkLogFilter {
    std::string name;
    std::string group;
    bool enabled = true;
    TnwkLogSettingCallback callback = nullptr;
    void* context = nullptr;
};

namespace {

using tnwklog::Rule;

constexpr int kLevels = 32;
static_assert(TNWKLOG_MAX_FILTERS == tnwklog::InterestTable<2 * TNWKLOG_MAX_FILTERS>::kMaxEntries);

struct Setting {
    bool defined = false;
    std::string name;
};

// Something user code is called for (a filter's setting callback, an observer). `busy` counts the
// calls in flight and `removed` stops new ones; removal waits until the calls in flight on other
// threads are over, so that a removed filter's context is never used after its removal returns.
struct Callee {
    int busy = 0;
    bool removed = false;
};

struct Filter : Callee {
    const void* key = nullptr;
    std::string name;
    std::string group;
    bool enabled = true;
    TnwkLogSettingCallback callback = nullptr;
    void* context = nullptr;
    std::array<Setting, kLevels> settings{};
    std::uint32_t values = 0;
};

struct Observer : Callee {
    int id = 0;
    TnwkLogObserver fn = nullptr;
    void* context = nullptr;
};

// A setting callback to make once the lock is released.
struct PendingCallback {
    std::shared_ptr<Filter> filter;
    int level;
    int value;
};

struct State {
    std::mutex initMu;  // TnwkLogInit only

    std::mutex mu;  // filters, rules, every Filter field, the interest table's writers
    std::condition_variable calleeIdle;
    std::unordered_map<const void*, std::shared_ptr<Filter>> filters;
    std::vector<Rule> rules;

    std::mutex obsMu;  // observers and their Callee fields
    std::condition_variable observerIdle;
    std::vector<std::shared_ptr<Observer>> observers;
    int nextObserverId = 1;

    tnwklog::Output output;
};

// Never destroyed: filters may be removed by objects destroyed after this library's statics.
State& state() {
    static State* s = new State;
    return *s;
}

constinit tnwklog::InterestTable<2 * TNWKLOG_MAX_FILTERS> g_table;
constinit std::atomic<bool> g_initialized{false};
constinit std::atomic<bool> g_enabled{true};
constinit std::atomic<TnwkLogErrorCallback> g_errorCallback{nullptr};

// Callees this thread is inside of, so that a callback removing its own filter or observer does
// not wait for itself.
thread_local std::vector<const Callee*> t_inside;

void waitUntilIdle(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   const Callee& callee) {
    cv.wait(lock, [&] {
        const auto own = std::count(t_inside.begin(), t_inside.end(), &callee);
        return callee.busy == own;
    });
}

unsigned long threadId() {
    static thread_local const auto tid = static_cast<unsigned long>(::gettid());
    return tid;
}

void reportError(const std::string& message, int line) {
    if (TnwkLogErrorCallback cb = g_errorCallback.load(std::memory_order_acquire)) {
        cb(0, 0, message.c_str(), __FILE__, line);
    }
}

bool validLevel(int level) {
    return level >= 0 && level < kLevels;
}

bool matches(const Rule& rule, const Filter& f) {
    return rule.pattern == "*" || rule.pattern == f.name || rule.pattern == f.group;
}

void setBit(std::uint32_t& values, int level, bool on) {
    const std::uint32_t bit = 1U << static_cast<unsigned>(level);
    values = on ? (values | bit) : (values & ~bit);
}

void publish(const Filter& f) {
    g_table.setMask(f.key, f.enabled ? f.values : 0U);
}

// Applies every stored rule for `level` (all levels when -1) to f, in the order they were set.
void applyStoredRules(State& s, Filter& f, int level) {
    for (const Rule& r : s.rules) {
        if ((level < 0 || r.level == level) && matches(r, f)) {
            setBit(f.values, r.level, r.value);
        }
    }
}

// Stores the rules (a later rule for the same name and level replaces an earlier one), applies
// them to the existing filters and returns the callbacks owed for values that changed, and the
// number of filters changed.
int addRules(State& s, const std::vector<Rule>& rules, std::vector<PendingCallback>& pending) {
    for (const Rule& r : rules) {
        std::erase_if(s.rules, [&](const Rule& old) {
            return old.level == r.level && old.pattern == r.pattern;
        });
        s.rules.push_back(r);
    }
    int changed = 0;
    for (auto& [key, f] : s.filters) {
        const std::uint32_t before = f->values;
        for (const Rule& r : rules) {
            if (matches(r, *f)) {
                setBit(f->values, r.level, r.value);
            }
        }
        const std::uint32_t diff = before ^ f->values;
        if (diff == 0) {
            continue;
        }
        ++changed;
        publish(*f);
        if (f->callback != nullptr) {
            for (int level = 0; level < kLevels; ++level) {
                if ((diff >> level) & 1U) {
                    pending.push_back({f, level, static_cast<int>((f->values >> level) & 1U)});
                }
            }
        }
    }
    return changed;
}

void runCallbacks(State& s, const std::vector<PendingCallback>& pending) {
    for (const PendingCallback& p : pending) {
        Filter& f = *p.filter;
        {
            std::lock_guard<std::mutex> lock(s.mu);
            if (f.removed) {
                continue;
            }
            ++f.busy;
        }
        t_inside.push_back(&f);
        f.callback(p.level, p.value, f.context);
        t_inside.pop_back();
        {
            std::lock_guard<std::mutex> lock(s.mu);
            --f.busy;
        }
        s.calleeIdle.notify_all();
    }
}

// Stops callbacks of f and waits for those in flight; f is already out of the map. s.mu held.
void retire(State& s, std::unique_lock<std::mutex>& lock, Filter& f) {
    f.removed = true;
    waitUntilIdle(lock, s.calleeIdle, f);
}

void notifyObservers(State& s, const TnwkLogRecord& record) {
    std::vector<std::shared_ptr<Observer>> snapshot;
    {
        std::lock_guard<std::mutex> lock(s.obsMu);
        if (s.observers.empty()) {
            return;
        }
        snapshot = s.observers;
    }
    for (const auto& o : snapshot) {
        {
            std::lock_guard<std::mutex> lock(s.obsMu);
            if (o->removed) {
                continue;
            }
            ++o->busy;
        }
        t_inside.push_back(o.get());
        o->fn(&record, o->context);
        t_inside.pop_back();
        {
            std::lock_guard<std::mutex> lock(s.obsMu);
            --o->busy;
        }
        s.observerIdle.notify_all();
    }
}

int applySettingsText(State& s, const char* text, std::string& error,
                      std::vector<PendingCallback>& pending) {
    std::vector<Rule> rules;
    if (!tnwklog::parseSettings(text, rules, error)) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(s.mu);
    addRules(s, rules, pending);
    return 0;
}

}  // namespace

extern "C" {

int TnwkLogInitialized(void) {
    return g_initialized.load(std::memory_order_acquire) ? 1 : 0;
}

int TnwkLogInit(const char* applicationName, TnwkLogErrorCallback errorCallback, int /*reserved*/,
                int enable) {
    State& s = state();
    std::vector<std::string> errors;
    std::vector<PendingCallback> pending;
    try {
        std::lock_guard<std::mutex> initLock(s.initMu);
        if (g_initialized.load(std::memory_order_acquire)) {
            return 0;
        }
        g_errorCallback.store(errorCallback, std::memory_order_release);
        g_enabled.store(enable != 0, std::memory_order_release);
        s.output.setIdent(applicationName != nullptr && *applicationName != '\0' ? applicationName
                                                                                 : "tnwklog");
        if (const char* out = std::getenv("TNWKLOG_OUTPUT"); out != nullptr && *out != '\0') {
            std::string error;
            if (!s.output.set(out, error)) {
                errors.push_back("TNWKLOG_OUTPUT: " + error + "; output stays unchanged");
            }
        }
        if (const char* text = std::getenv("TNWKLOG_SETTINGS"); text != nullptr) {
            std::string error;
            if (applySettingsText(s, text, error, pending) != 0) {
                errors.push_back("TNWKLOG_SETTINGS: " + error + "; no setting applied");
            }
        }
        g_initialized.store(true, std::memory_order_release);
    } catch (...) {
        return -1;
    }
    runCallbacks(s, pending);
    for (const std::string& e : errors) {
        reportError(e, __LINE__);
    }
    return 0;
}

TNWKLOG_FILTER TnwkLogFilterNew(const char* name, const char* group, int enable, int /*reserved*/,
                                TnwkLogSettingCallback callback, void* context) {
    if (name == nullptr) {
        return nullptr;
    }
    try {
        auto* f = new TnwkLogFilter;
        f->name = name;
        f->group = group != nullptr ? group : "";
        f->enabled = enable != 0;
        f->callback = callback;
        f->context = context;
        return f;
    } catch (...) {
        return nullptr;
    }
}

void TnwkLogFilterDelete(TNWKLOG_FILTER filter) {
    delete filter;
}

int TnwkLogAddFilter(const void* key, TNWKLOG_FILTER filter) {
    if (key == nullptr || filter == nullptr) {
        return -1;
    }
    State& s = state();
    try {
        auto f = std::make_shared<Filter>();
        f->key = key;
        f->name = filter->name;
        f->group = filter->group;
        f->enabled = filter->enabled;
        f->callback = filter->callback;
        f->context = filter->context;

        std::unique_lock<std::mutex> lock(s.mu);
        applyStoredRules(s, *f, -1);
        auto it = s.filters.find(key);
        if (it == s.filters.end() && g_table.size() >= TNWKLOG_MAX_FILTERS) {
            lock.unlock();
            reportError("filter table full: at most " + std::to_string(TNWKLOG_MAX_FILTERS) +
                            " filters; filter \"" + filter->name + "\" not added",
                        __LINE__);
            return -1;
        }
        const std::uint32_t mask = f->enabled ? f->values : 0U;
        if (it != s.filters.end()) {
            // The key is reused: the old filter is replaced and its callbacks stop.
            std::shared_ptr<Filter> old = std::exchange(it->second, std::move(f));
            g_table.insert(key, mask);
            retire(s, lock, *old);
        } else {
            s.filters.emplace(key, std::move(f));  // may throw: before the table knows the key
            g_table.insert(key, mask);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

int TnwkLogRemoveFilter(const void* key) {
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mu);
    auto it = s.filters.find(key);
    if (it == s.filters.end()) {
        return -1;
    }
    std::shared_ptr<Filter> f = std::move(it->second);
    s.filters.erase(it);
    g_table.erase(key);
    retire(s, lock, *f);
    return 0;
}

int TnwkLogSetFilterName(const void* key, const char* name) {
    if (name == nullptr) {
        return -1;
    }
    State& s = state();
    try {
        std::lock_guard<std::mutex> lock(s.mu);
        auto it = s.filters.find(key);
        if (it == s.filters.end()) {
            return -1;
        }
        Filter& f = *it->second;
        f.name = name;
        applyStoredRules(s, f, -1);
        publish(f);
        return 0;
    } catch (...) {
        return -1;
    }
}

int TnwkLogFilterAppendSetting(const void* key, int level, const char* name, int defaultValue) {
    if (!validLevel(level) || name == nullptr) {
        return -1;
    }
    State& s = state();
    try {
        std::lock_guard<std::mutex> lock(s.mu);
        auto it = s.filters.find(key);
        if (it == s.filters.end()) {
            return -1;
        }
        Filter& f = *it->second;
        Setting& setting = f.settings[static_cast<std::size_t>(level)];
        setting.defined = true;
        setting.name = name;
        setBit(f.values, level, defaultValue != 0);
        applyStoredRules(s, f, level);
        publish(f);
        return 0;
    } catch (...) {
        return -1;
    }
}

int TnwkLogIsInterested(const void* key, int level) {
    if (!g_enabled.load(std::memory_order_relaxed)) {
        return 0;
    }
    return g_table.interested(key, static_cast<unsigned>(level)) ? 1 : 0;
}

int TnwkLogLogMsg(const void* key, int level, const char* text, const char* file, int line) {
    if (key == nullptr || text == nullptr || !validLevel(level)) {
        return -1;
    }
    State& s = state();
    try {
        std::string name;
        std::string group;
        std::string settingName;
        {
            std::lock_guard<std::mutex> lock(s.mu);
            auto it = s.filters.find(key);
            if (it == s.filters.end()) {
                return -1;
            }
            const Filter& f = *it->second;
            const bool interested = g_enabled.load(std::memory_order_relaxed) && f.enabled &&
                                    ((f.values >> level) & 1U) != 0;
            if (!interested) {
                return 0;  // filtered out: nothing to write, and nothing wrong
            }
            name = f.name;
            group = f.group;
            settingName = f.settings[static_cast<std::size_t>(level)].name;
        }

        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const unsigned long tid = threadId();
        std::size_t bodyStart = 0;
        const std::string lineText =
            tnwklog::formatLine(now, tid, name, level, settingName, file != nullptr ? file : "",
                                line, text, &bodyStart);
        std::string error;
        const bool written = s.output.write(level, lineText, bodyStart, error);
        if (!written) {
            reportError(error, __LINE__);
        }

        const TnwkLogRecord record{
            name.c_str(), group.c_str(), level, text, file != nullptr ? file : "", line, tid};
        notifyObservers(s, record);
        return written ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int TnwkLogSetSetting(const char* nameOrGroup, int level, int value) {
    if (nameOrGroup == nullptr || *nameOrGroup == '\0' || !validLevel(level)) {
        return -1;
    }
    State& s = state();
    std::vector<PendingCallback> pending;
    int changed = 0;
    try {
        std::lock_guard<std::mutex> lock(s.mu);
        changed = addRules(s, {Rule{nameOrGroup, level, value != 0}}, pending);
    } catch (...) {
        return -1;
    }
    runCallbacks(s, pending);
    return changed;
}

int TnwkLogApplySettings(const char* text) {
    if (text == nullptr) {
        return -1;
    }
    State& s = state();
    std::vector<PendingCallback> pending;
    try {
        std::string error;
        if (applySettingsText(s, text, error, pending) != 0) {
            return -1;
        }
    } catch (...) {
        return -1;
    }
    runCallbacks(s, pending);
    return 0;
}

void TnwkLogClearRules(void) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mu);
    s.rules.clear();
}

int TnwkLogSetOutput(const char* output) {
    if (output == nullptr) {
        return -1;
    }
    try {
        std::string error;
        return state().output.set(output, error) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int TnwkLogAddObserver(TnwkLogObserver observer, void* context) {
    if (observer == nullptr) {
        return -1;
    }
    State& s = state();
    try {
        auto o = std::make_shared<Observer>();
        o->fn = observer;
        o->context = context;
        std::lock_guard<std::mutex> lock(s.obsMu);
        o->id = s.nextObserverId;
        s.nextObserverId = s.nextObserverId == INT_MAX ? 1 : s.nextObserverId + 1;
        s.observers.push_back(o);
        return o->id;
    } catch (...) {
        return -1;
    }
}

void TnwkLogRemoveObserver(int id) {
    State& s = state();
    std::unique_lock<std::mutex> lock(s.obsMu);
    auto it = std::find_if(s.observers.begin(), s.observers.end(),
                           [id](const auto& o) { return o->id == id; });
    if (it == s.observers.end()) {
        return;
    }
    std::shared_ptr<Observer> o = std::move(*it);
    s.observers.erase(it);
    o->removed = true;
    waitUntilIdle(lock, s.observerIdle, *o);
}

}  // extern "C"
