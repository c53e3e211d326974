#include "mtcore/StreamQueue.h"

#include <algorithm>
#include <cstdint>

namespace MTCore {

StreamQueue::~StreamQueue() {
    for (Core_TransInfo* event : events) delete event;
}

void StreamQueue::append(Core_TransInfo* event) {
    if (event == nullptr) return;
    CompThread::Guard guard(cond);
    events.push_back(event);
    cond.broadcast();
}

Core_TransInfo* StreamQueue::pop(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    // Waits are held within [0, one year], so that the deadline cannot overflow the clock.
    const std::chrono::milliseconds kLongest = std::chrono::hours(24 * 365);
    const Clock::time_point deadline =
        Clock::now() + std::clamp(timeout, std::chrono::milliseconds(0), kLongest);
    CompThread::Guard guard(cond);
    while (events.empty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return nullptr;
        // Wait in slices that fit the condition's 32-bit millisecond timeout; a wake-up (or a
        // spurious one) goes round the loop and checks the list again.
        const auto slice = left.count() > 0x7FFFFFFF ? 0x7FFFFFFFLL : left.count();
        cond.timedWait(static_cast<uint32_t>(slice));
    }
    Core_TransInfo* event = events.front();
    events.pop_front();
    return event;
}

std::size_t StreamQueue::size() {
    CompThread::Guard guard(cond);
    return events.size();
}

}  // namespace MTCore
