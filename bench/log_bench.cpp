// Cost of the interest test that guards every trace call, against spdlog's test of a disabled
// level in the same program.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <vector>

#include "mirrdlld/TnwkLog.h"
#include "mirrdlld/TnwkLogControl.h"

namespace {

// Registers `count` filters with the trace object's settings (level 7 off); removes them at the
// end.
class Filters {
  public:
    explicit Filters(std::size_t count) : keys_(count) {
        TnwkLogSetOutput("none");
        TNWKLOG_FILTER t = TnwkLogFilterNew("Trace Object", "TIM Events", 1, 0, nullptr, nullptr);
        for (char& k : keys_) {
            TnwkLogAddFilter(&k, t);
            TnwkLogFilterAppendSetting(&k, 1, "FILTER_ERROR", 1);
            TnwkLogFilterAppendSetting(&k, 7, "FILTER_FUNCTION_ENTER", 0);
        }
        TnwkLogFilterDelete(t);
    }
    ~Filters() {
        for (char& k : keys_) {
            TnwkLogRemoveFilter(&k);
        }
    }
    Filters(const Filters&) = delete;
    Filters& operator=(const Filters&) = delete;

    const std::vector<char>& keys() const { return keys_; }

  private:
    std::vector<char> keys_;
};

void BM_TnwkLogIsInterested_FilteredOut(benchmark::State& state) {
    Filters filters(1);
    const void* key = &filters.keys()[0];
    for (auto _ : state) {
        benchmark::DoNotOptimize(TnwkLogIsInterested(key, 7));
    }
}
BENCHMARK(BM_TnwkLogIsInterested_FilteredOut);

// The HAL registers about 150 filters; each call asks for another one, as traced code does.
void BM_TnwkLogIsInterested_FilteredOut_150Filters(benchmark::State& state) {
    Filters filters(150);
    const auto& keys = filters.keys();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TnwkLogIsInterested(&keys[i], 7));
        i = (i + 1 == keys.size()) ? 0 : i + 1;
    }
}
BENCHMARK(BM_TnwkLogIsInterested_FilteredOut_150Filters);

void BM_TnwkLogIsInterested_Wanted(benchmark::State& state) {
    Filters filters(1);
    const void* key = &filters.keys()[0];
    for (auto _ : state) {
        benchmark::DoNotOptimize(TnwkLogIsInterested(key, 1));
    }
}
BENCHMARK(BM_TnwkLogIsInterested_Wanted);

void BM_TnwkLogIsInterested_FilteredOut_Threads(benchmark::State& state) {
    static Filters* filters = nullptr;
    if (state.thread_index() == 0) {
        filters = new Filters(150);
    }
    // The harness starts every thread's loop together, after thread 0's setup.
    for (auto _ : state) {
        benchmark::DoNotOptimize(TnwkLogIsInterested(
            &filters->keys()[static_cast<std::size_t>(state.thread_index())], 7));
    }
    if (state.thread_index() == 0) {
        delete filters;
        filters = nullptr;
    }
}
BENCHMARK(BM_TnwkLogIsInterested_FilteredOut_Threads)->Threads(2);

void BM_SpdlogShouldLog_Disabled(benchmark::State& state) {
    auto logger =
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>());
    logger->set_level(spdlog::level::info);
    for (auto _ : state) {
        benchmark::DoNotOptimize(logger->should_log(spdlog::level::debug));
    }
}
BENCHMARK(BM_SpdlogShouldLog_Disabled);

}  // namespace

BENCHMARK_MAIN();
