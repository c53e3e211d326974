// The host's stream queue of a transmit stream: the HAL appends data, digit and trigger events
// from the TAL thread; a host thread waits for them and takes them out.
#ifndef TARNWICK_MTCORE_STREAMQUEUE_H
#define TARNWICK_MTCORE_STREAMQUEUE_H

#include <chrono>
#include <cstddef>
#include <list>

#include "compthread/CompThread.h"
#include "mtcore/TransInfo.h"

namespace MTCore {

// The producer's protocol (what the HAL does), with `q` the queue:
//     { CompThread::Guard guard(q.cond); q.events.push_back(ev); q.cond.broadcast(); }
// `cond` is both the lock of `events` and the condition that wakes the consumers. Once appended,
// an event belongs to the queue, and to the consumer that takes it out.
class StreamQueue {
  public:
    StreamQueue() = default;
    // Frees the events still queued. No thread may wait on the queue any more.
    virtual ~StreamQueue();
    StreamQueue(const StreamQueue&) = delete;
    StreamQueue& operator=(const StreamQueue&) = delete;

    CompThread::Cond cond;              // lock of `events` and consumers' wake-up
    std::list<Core_TransInfo*> events;  // oldest first; new events go to the back

    // Appends under the lock and wakes every waiting consumer (the producer's protocol above).
    // Takes ownership; null is ignored.
    void append(Core_TransInfo* event);
    // Consumer side: the oldest event, waiting up to timeout for one to come; null on timeout.
    // The caller owns the event. A negative timeout counts as 0, one over a year as a year.
    Core_TransInfo* pop(std::chrono::milliseconds timeout);
    // Number of events queued.
    std::size_t size();
};

}  // namespace MTCore

#endif
