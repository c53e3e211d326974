// Board library throughput: the HAL sends every request and receives every answer through it.
//
// BM_TalStoreSingleThread   create, 3 parameters, walk, destroy on one thread (no queue)
// BM_TalDeliverRoundTrip    one thread: create + 3 parameters + deliver; the other: wait + walk
//                           + destroy (the library's own cost between two threads)
// BM_TalVirtualBoardRoundTrip  one thread: create + 3 parameters + TAL_SendEvent; the virtual
//                           board answers each with its completion; the other: wait + walk +
//                           destroy (the whole way a generic request takes)
// items_per_second is events (round trips) per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <semaphore>
#include <thread>

#include "tal/BoardSide.h"
#include "tal/tal.h"

namespace {

// How far the producing thread may run ahead of the consumer.
constexpr std::ptrdiff_t kWindow = 256;

TAL_EVENT build(uint32_t id, uint32_t n) {
    TAL_EVENT ev = TAL_Event_Create(id);
    TAL_Event_SetACT(ev, reinterpret_cast<void*>(uintptr_t{n} + 1));
    TAL_Event_SetHandle(ev, TAL_Handle_Create(TAL_HT_LINE, 1, 0, 0, n & 0xff));
    TAL_Event_SetParameters(ev, 0x500010, TAL_TYPE_STRING, 0, "5551234",     //
                            0x500011, TAL_TYPE_INT, 0, static_cast<int>(n),  //
                            0x500012, TAL_TYPE_BYTE, 0, 1, 0);
    return ev;
}

uint32_t walk(TAL_EVENT ev) {
    uint32_t cursor = 0, id, type, count, sum = 0;
    while (const void* v = TAL_Event_GetNextParameter(ev, &cursor, &id, &type, &count)) {
        sum += id + type + count +
               (type == TAL_TYPE_INT ? static_cast<uint32_t>(*static_cast<const int32_t*>(v)) : 0);
    }
    return sum;
}

void BM_TalStoreSingleThread(benchmark::State& state) {
    uint32_t n = 0;
    for (auto _ : state) {
        TAL_EVENT ev = build(0x500b, n++);
        benchmark::DoNotOptimize(walk(ev));
        TAL_Event_Destroy(ev);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TalStoreSingleThread);

// Runs the consumer loop on the benchmark's thread while `produce(n)` runs on another.
template <class Produce>
void roundTrips(benchmark::State& state, Produce produce) {
    const auto total = static_cast<uint32_t>(state.max_iterations);
    std::counting_semaphore<kWindow> window(kWindow);
    std::thread producer([&] {
        for (uint32_t n = 0; n < total; ++n) {
            window.acquire();
            produce(n);
        }
    });
    for (auto _ : state) {
        TAL_EVENT ev = 0;
        if (TAL_WaitEvent(10000, &ev) != TAL_OK) {
            state.SkipWithError("an event did not arrive");
            break;
        }
        benchmark::DoNotOptimize(walk(ev));
        TAL_Event_Destroy(ev);
        window.release();
    }
    producer.join();
    state.SetItemsProcessed(state.iterations());
}

void BM_TalDeliverRoundTrip(benchmark::State& state) {
    auto& board = tal::BoardSide::instance();
    board.reset();
    roundTrips(state, [&](uint32_t n) { board.deliverRaw(build(0x203001, n)); });
    board.reset();
}
BENCHMARK(BM_TalDeliverRoundTrip)->UseRealTime();

void BM_TalVirtualBoardRoundTrip(benchmark::State& state) {
    auto& board = tal::BoardSide::instance();
    board.reset();
    TAL_Init();
    roundTrips(state, [](uint32_t n) { TAL_SendEvent(build(0x500b, n)); });
    TAL_Fini();
    board.reset();
}
BENCHMARK(BM_TalVirtualBoardRoundTrip)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
