#include "Session.h"

#include <dlfcn.h>

#include <cstring>

#include "mirrdlld/TnwkLogControl.h"
#include "mtcore/EventCatalog.h"
#include "mtcore/Events.h"
#include "mtcore/HostSide.h"
#include "mtcore/MT_HandleUtils.h"
#include "mtcore/MT_OEM.h"
#include "tal/BoardSide.h"
#include "tal/HardwareBoard.h"

namespace sim {

namespace {

// The pump writes what it receives from the host at level 6 and what it sends to the host at
// level 5, in the HAL's dump format, under its own filter name.
constexpr const char* kPumpFilter = "ShimPALMgr";
constexpr int kLevelEventSent = 5;
constexpr int kLevelEventReceived = 6;

// Longest event text printed unless --wide is given (a handle list runs to kilobytes).
constexpr std::size_t kNarrowWidth = 160;

// The board's code for the alarm the session raises (a loss of signal on the span).
constexpr int32_t kSimAlarmCode = 100;

// An id that no translator serves: the HAL answers it as unsupported.
constexpr uint32_t kUnsupportedRequest = 0x3ac800feu;

MTCore::MT_OEM& factory() {
    static MTCore::MT_OEM oem;
    return oem;
}

void release(MTCore::Core_TransInfo* object) {
    factory().MToem_DeleteObj(object);
}

template <class T>
T* create(uint32_t id) {
    MTCore::Core_TransInfo* object = factory().MToem_CreateObj(id);
    T* typed = dynamic_cast<T*>(object);
    if (typed == nullptr) release(object);
    return typed;
}

}  // namespace

std::optional<HalExports> loadHal(const std::string& path, void*& library, std::string& error) {
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* text = dlerror();
        error = text != nullptr ? text : "cannot load " + path;
        return std::nullopt;
    }
    HalExports hal;
    hal.init = reinterpret_cast<int (*)()>(dlsym(library, "hal_Init"));
    hal.exit = reinterpret_cast<int (*)()>(dlsym(library, "hal_Exit"));
    hal.getLogLevel = reinterpret_cast<int (*)()>(dlsym(library, "hal_GetLogLevel"));
    hal.setLogLevel = reinterpret_cast<void (*)(int)>(dlsym(library, "hal_SetLogLevel"));
    if (hal.init == nullptr || hal.exit == nullptr || hal.getLogLevel == nullptr ||
        hal.setLogLevel == nullptr) {
        error = path + ": not a HAL plugin (hal_Init, hal_Exit, hal_GetLogLevel, hal_SetLogLevel)";
        dlclose(library);
        library = nullptr;
        return std::nullopt;
    }
    return hal;
}

Session::Session(HalExports hal, Options options, std::FILE* out)
    : hal_(hal), options_(options), out_(out) {}

void Session::print(const char* direction, const std::string& text) {
    if (options_.quiet) return;
    std::string shown = text;
    if (!options_.wide && shown.size() > kNarrowWidth) {
        shown.resize(kNarrowWidth);
        shown += " ...";
    }
    std::lock_guard<std::mutex> lock(printMutex_);
    std::fprintf(out_, "%-14s %s\n", direction, shown.c_str());
    std::fflush(out_);
}

void Session::installObservers() {
    // Trace lines reach us through the observer; the library's own output would repeat them.
    TnwkLogSetOutput("none");
    observerId_ = TnwkLogAddObserver(
        [](const TnwkLogRecord* record, void* context) {
            auto* self = static_cast<Session*>(context);
            const char* text = record->text != nullptr ? record->text : "";
            const bool pump =
                record->filterName != nullptr && std::strcmp(record->filterName, kPumpFilter) == 0;
            if (pump && record->level == kLevelEventReceived) {
                self->print("host  -> HAL", text);
            } else if (pump && record->level == kLevelEventSent) {
                self->print("HAL   -> host", text);
            } else {
                std::string line = "[";
                line += record->filterName != nullptr ? record->filterName : "?";
                line += " L" + std::to_string(record->level) + "] " + text;
                self->print("trace", line);
            }
        },
        this);
    tal::BoardSide::instance().setMonitor(
        [this](tal::Direction direction, const tal::SentEvent& ev) {
            print(direction == tal::Direction::ToBoard ? "HAL   -> board" : "board -> HAL",
                  tal::describe(ev));
        });
}

void Session::removeObservers() {
    tal::BoardSide::instance().setMonitor(nullptr);
    if (observerId_ >= 0) TnwkLogRemoveObserver(observerId_);
    observerId_ = -1;
}

MTCore::Core_TransInfo* Session::await(uint32_t expectedId) {
    auto& host = MTCore::HostSide::instance();
    const auto deadline = std::chrono::steady_clock::now() + options_.timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        MTCore::Core_TransInfo* posted = host.waitPosted(left.count() > 0 ? left : left.zero());
        if (posted == nullptr) {
            ++failures_;
            print("!", std::string("no ") + MTCore::oem_ReturnEvtIdString(expectedId) +
                           " within the timeout");
            return nullptr;
        }
        if (posted->eventId == expectedId) return posted;
        if (MTCore::eventClassOf(posted->eventId) == MTCore::EventClass::Notification) {
            ++notifications_;
        }
        release(posted);
    }
}

MTCore::Core_TransInfo* Session::request(MTCore::Core_TransInfo* req, uint32_t expectedId) {
    if (req == nullptr) {
        ++failures_;
        return nullptr;
    }
    MTCore::HostSide::instance().submit(req);
    return await(expectedId);
}

void Session::learnHardware(const MTCore::Core_TransInfo* completion) {
    const auto* hw = dynamic_cast<const MTCore::Ev_cmp_PAL_GETHWINFO*>(completion);
    if (hw == nullptr) return;
    for (const auto& element : hw->hwInfoList) {
        BoardSummary board;
        board.logicalId = element.logicalID;
        board.description = element.boardDescription;
        board.netType = element.boardNetType;
        board.lines = element.lines;
        boards_.push_back(board);
    }
}

bool Session::alarmRoundTrip(uint32_t span) {
    // Raise, then clear, an alarm on a span of the first board; each change reaches the host as
    // ntf_PAL_ALARM.
    const int32_t board = boards_.empty() ? 1 : boards_.front().logicalId;
    bool ok = true;
    for (bool raised : {true, false}) {
        if (!tal::HardwareBoard::instance().setAlarm(static_cast<uint32_t>(board), span,
                                                     kSimAlarmCode, raised)) {
            print("!", "the virtual board has no span " + std::to_string(span) + " on board " +
                           std::to_string(board));
            ++failures_;
            return false;
        }
        MTCore::Core_TransInfo* ntf = await(MTCore::ids::ntf_PAL_ALARM);
        if (ntf == nullptr) {
            ok = false;
            continue;
        }
        ++notifications_;
        if (const auto* alarm = dynamic_cast<const MTCore::Ev_ntf_PAL_ALARM*>(ntf)) {
            print("host", std::string("alarm ") + std::to_string(alarm->alarmCode) +
                              (alarm->alarmState ? " raised" : " cleared") + " on board " +
                              std::to_string(board) + " span " + std::to_string(span));
        }
        release(ntf);
    }
    return ok;
}

void Session::summary() {
    std::fprintf(out_, "\nThe host learned %zu board(s):\n", boards_.size());
    for (const auto& board : boards_) {
        std::size_t lines = 0;
        for (int32_t n : board.lines) lines += static_cast<std::size_t>(n > 0 ? n : 0);
        std::fprintf(out_, "  board %d  %-28s %-7s spans %zu  lines %zu  handles granted %zu\n",
                     board.logicalId, board.description.c_str(), board.netType.c_str(),
                     board.lines.size(), lines, handlesPerBoard_[board.logicalId]);
        for (std::size_t i = 0; i < board.lines.size(); ++i) {
            std::fprintf(out_, "    span %zu: %d lines\n", i + 1, board.lines[i]);
        }
    }
    std::fprintf(out_, "Notifications received: %zu\n", notifications_);
}

int Session::run() {
    auto& host = MTCore::HostSide::instance();
    auto& board = tal::BoardSide::instance();
    board.detach();  // the virtual board answers
    installObservers();

    const int init = hal_.init();
    print("host", "hal_Init() = " + std::to_string(init));
    if (init != 0) {
        print("host", "hal_Exit() = " + std::to_string(hal_.exit()));
        removeObservers();
        return 1;
    }

    // Start the PAL.
    if (auto* start = create<MTCore::Ev_req_PAL_STARTPAL>(MTCore::ids::req_PAL_STARTPAL)) {
        start->startContext = 2026;
        start->startString = "tarnwick-sim";
        release(request(start, MTCore::ids::cmp_PAL_STARTPAL));
    }

    // Learn the hardware.
    if (auto* completion = request(factory().MToem_CreateObj(MTCore::ids::req_PAL_GETHWINFO),
                                   MTCore::ids::cmp_PAL_GETHWINFO)) {
        learnHardware(completion);
        release(completion);
    }

    // Handles for every board (board 1 when the hardware told us of none, which still opens the
    // delivery of all traffic).
    std::vector<int32_t> ids;
    for (const auto& b : boards_) ids.push_back(b.logicalId);
    if (ids.empty()) ids.push_back(1);
    for (int32_t id : ids) {
        auto* req = create<MTCore::Ev_req_PAL_REQHNDLS>(MTCore::ids::req_PAL_REQHNDLS);
        if (req == nullptr) continue;
        req->boardLogicalId = static_cast<uint8_t>(id);
        if (auto* completion = request(req, MTCore::ids::cmp_PAL_REQHNDLS)) {
            if (const auto* handles =
                    dynamic_cast<const MTCore::Ev_cmp_PAL_REQHNDLS*>(completion)) {
                handlesPerBoard_[id] = handles->handles.size();
                for (uint32_t h : handles->handles) {
                    if (MTCore::MT_HandleUtils::MThutl_GetHandleType(h) ==
                        MTCore::eMT_HANDLE_LINE) {
                        lineHandles_.push_back(h);
                    }
                }
            }
            release(completion);
        }
    }

    // A few requests without payload on the first line, then one that nothing serves.
    const uint32_t line = lineHandles_.empty() ? 0 : lineHandles_.front();
    for (uint32_t id : {MTCore::ids::req_PAL_ENINBOUND, MTCore::ids::req_PAL_GETCHSTATE,
                        MTCore::ids::req_PAL_DISINBOUND}) {
        MTCore::Core_TransInfo* req = factory().MToem_CreateObj(id);
        req->handle = line;
        release(request(req, MTCore::MToem_CompletionId(id)));
    }
    if (MTCore::Core_TransInfo* completion =
            request(factory().MToem_CreateObj(kUnsupportedRequest),
                    MTCore::MToem_CompletionId(kUnsupportedRequest))) {
        print("host", std::string("unsupported request answered with ") +
                          MTCore::oem_ReturnErrorString(completion->resultCode) + " / " +
                          MTCore::oem_ReturnErrorString(completion->detailCode));
        release(completion);
    }

    if (options_.alarmSpan) alarmRoundTrip(*options_.alarmSpan);

    // Return the handles and stop.
    for (int32_t id : ids) {
        auto* req = create<MTCore::Ev_req_PAL_RETHNDLS>(MTCore::ids::req_PAL_RETHNDLS);
        if (req == nullptr) continue;
        req->boardLogicalId = static_cast<uint32_t>(id);
        release(request(req, MTCore::ids::cmp_PAL_RETHNDLS));
    }
    release(request(factory().MToem_CreateObj(MTCore::ids::req_PAL_STOPPAL),
                    MTCore::ids::cmp_PAL_STOPPAL));

    const int exitResult = hal_.exit();
    print("host", "hal_Exit() = " + std::to_string(exitResult));
    removeObservers();
    for (MTCore::Core_TransInfo* late : host.drainPosted()) release(late);

    summary();
    const std::size_t liveHost = host.liveObjects();
    const std::size_t liveTal = board.liveEvents();
    std::fprintf(out_, "Host objects alive: %zu, TAL events alive: %zu, failures: %zu\n", liveHost,
                 liveTal, failures_);
    return (failures_ == 0 && exitResult == 0 && liveHost == 0 && liveTal == 0) ? 0 : 1;
}

}  // namespace sim
