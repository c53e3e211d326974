// Round trips of a payload-free request: the host submits, the virtual board answers at once, the
// host receives the completion. Once through the running HAL (its two threads and translators),
// once through a trivial pass-through on the same host and board stand-ins, so the difference is
// what the HAL adds.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "Hal.h"
#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_OEM.h"
#include "mtcore/MT_PalApi.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"
#include "tarnwick_store.h"

namespace {

constexpr auto kWait = std::chrono::seconds(10);
namespace ids = MTCore::ids;

// A throw-away system store for the HAL's registry setting.
struct Environment {
    Environment() {
        char pattern[] = "/tmp/hal_bench_XXXXXX";
        if (char* dir = ::mkdtemp(pattern)) directory = dir;
        const std::string store = directory + "/system.db";
        ::setenv("TARNWICK_SYSTEM_DB", store.c_str(), 1);
        TarnwickStore_Open(store.c_str());
        TnwkLogSetOutput("none");
        tal::BoardSide::instance().detach();
    }
    ~Environment() {
        TarnwickStore_Close();
        std::string store = directory + "/system.db";
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((store + suffix).c_str());
        ::rmdir(directory.c_str());
    }
    std::string directory;
};

Environment& environment() {
    static Environment env;
    return env;
}

// Submits one request and waits for its answer; false when none came.
bool roundTrip(MTCore::HostSide& host, MTCore::MT_OEM& oem, uint32_t id) {
    host.submit(oem.MToem_CreateObj(id));
    MTCore::Core_TransInfo* answer = host.waitPosted(kWait);
    if (answer == nullptr) return false;
    oem.MToem_DeleteObj(answer);
    return true;
}

void BM_RoundTripThroughHal(benchmark::State& state) {
    environment();
    auto& host = MTCore::HostSide::instance();
    MTCore::MT_OEM oem;
    if (hal_Init() != 0) {
        state.SkipWithError("hal_Init failed");
        hal_Exit();
        return;
    }
    // Open the delivery of all traffic: started, handles requested.
    roundTrip(host, oem, ids::req_PAL_STARTPAL);
    roundTrip(host, oem, ids::req_PAL_REQHNDLS);
    for (auto _ : state) {
        if (!roundTrip(host, oem, ids::req_PAL_PPAUSE)) {
            state.SkipWithError("no completion");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    roundTrip(host, oem, ids::req_PAL_STOPPAL);
    hal_Exit();
    for (auto* late : host.drainPosted()) oem.MToem_DeleteObj(late);
}
BENCHMARK(BM_RoundTripThroughHal)->UseRealTime()->MinTime(1.0);

// The least a HAL could do: one thread turns each request into a TAL event carrying it, another
// turns each TAL completion into the host's completion.
void BM_RoundTripPassThrough(benchmark::State& state) {
    environment();
    auto& host = MTCore::HostSide::instance();
    MTCore::MT_OEM oem;
    if (TAL_Init() != 0) {
        state.SkipWithError("TAL_Init failed");
        return;
    }
    auto* pal = new MTCore::MT_PAL();
    std::atomic<bool> stop{false};
    std::thread requests([&] {
        for (;;) {
            MTCore::Core_TransInfo* request = pal->MTpal_GetNextEvent();
            if (request->eventId == ids::req_PAL_STOPPAL) {
                oem.MToem_DeleteObj(request);
                return;
            }
            TAL_EVENT ev = TAL_Event_Create(0x6001);
            TAL_Event_SetACT(ev, request);
            TAL_SendEvent(ev);
        }
    });
    std::thread completions([&] {
        while (!stop.load()) {
            TAL_EVENT ev = 0;
            const int result = TAL_WaitEvent(100, &ev);
            if (result == TAL_ERR_STOPPED) return;
            if (result != TAL_OK) continue;
            auto* request = static_cast<MTCore::Core_TransInfo*>(TAL_Event_GetACT(ev));
            TAL_Event_Destroy(ev);
            if (request == nullptr) continue;
            pal->MTpal_PostEventToServer(oem.MToem_CreateCompletionObj(request));
            oem.MToem_DeleteObj(request);
        }
    });
    for (auto _ : state) {
        if (!roundTrip(host, oem, ids::req_PAL_PPAUSE)) {
            state.SkipWithError("no completion");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    host.submit(oem.MToem_CreateObj(ids::req_PAL_STOPPAL));
    requests.join();
    stop = true;
    TAL_Fini();
    completions.join();
    delete pal;
    for (auto* late : host.drainPosted()) oem.MToem_DeleteObj(late);
}
BENCHMARK(BM_RoundTripPassThrough)->UseRealTime()->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
