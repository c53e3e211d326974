// The test face of the host endpoint: the host's side of every MT_PAL of the process.
//
// A test or tool plays the host: it submits requests, which MT_PAL::MTpal_GetNextEvent hands out
// in submission order (blocking until one comes); it can make the next get throw; and it takes
// what the HAL posts with MT_PAL::MTpal_PostEventToServer, in posting order, waiting with a
// timeout. Every MT_PAL instance shares this one host side.
//
// Ownership: submit takes the request over (the HAL owns it once it is handed out). A posted
// object belongs to the host side until a test takes it (waitPosted, waitPostedAs, drainPosted);
// the test then frees it with MT_OEM::MToem_DeleteObj or HostSide::release. reset() and the end
// of the process free whatever is still queued.
//
// Thread-safe: any member may be called from any thread, also while a get blocks.
#ifndef TARNWICK_MTCORE_HOSTSIDE_H
#define TARNWICK_MTCORE_HOSTSIDE_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "mtcore/TransInfo.h"

namespace MTCore {

class MT_PAL;

class HostSide {
  public:
    static HostSide& instance();

    HostSide(const HostSide&) = delete;
    HostSide& operator=(const HostSide&) = delete;

    // ---- Towards the HAL

    // Queues a request for MTpal_GetNextEvent and wakes a waiting get. Takes ownership; null is
    // ignored (a get never returns null).
    void submit(Core_TransInfo* request);
    // The next MTpal_GetNextEvent (or the one blocked now) throws std::runtime_error instead of
    // returning a request; queued requests stay queued for the gets after it. One-shot.
    void throwOnNextGet();
    // Requests submitted and not yet handed out.
    std::size_t pendingRequests() const;

    // ---- What the HAL posted

    // The oldest posted object not yet taken, waiting up to timeout for one; null on timeout.
    // The caller owns the object. A negative timeout counts as 0, one over a year as a year.
    Core_TransInfo* waitPosted(std::chrono::milliseconds timeout);
    // As waitPosted, as the payload type T of Events.h. When the next object is not a T it stays
    // at the head of the queue (for waitPosted to inspect) and null is returned.
    template <class T>
    T* waitPostedAs(std::chrono::milliseconds timeout);
    // Every posted object not yet taken, oldest first, without waiting. The caller owns them.
    std::vector<Core_TransInfo*> drainPosted();
    // Posted objects not yet taken.
    std::size_t postedCount() const;

    // When set, each posted object goes to the handler (on the posting thread, outside every
    // lock of the host side) instead of the queue; the handler owns it. An empty handler goes
    // back to queueing. For tools that print what the HAL sends.
    using PostHandler = std::function<void(Core_TransInfo* posted)>;
    void setPostHandler(PostHandler handler);

    // ---- Objects and faults

    // Host objects alive in the process (MT_OEM::MToem_LiveObjects).
    std::size_t liveObjects() const;
    // Frees a host object (MT_OEM::MToem_DeleteObj). Null is ignored.
    static void release(Core_TransInfo* object);
    // MT_PAL instances alive.
    std::size_t liveEndpoints() const;
    // The next ntf_PAL_VSDATA the factory makes has no data area (dataBuffer null).
    void failNextVsDataBuffer();

    // Frees every queued request and posted object, cancels a pending throw and the factory fault,
    // and removes the post handler. Gets blocked now stay blocked.
    void reset();

  private:
    friend class MT_PAL;

    HostSide() = default;
    ~HostSide();

    // Endpoint side (MT_PAL).
    Core_TransInfo* nextRequest();
    void post(Core_TransInfo* event);
    void endpointCreated();
    void endpointDestroyed();

    // Puts an object taken by waitPosted back at the head of the posted queue.
    void unwait(Core_TransInfo* object);

    mutable std::mutex mutex_;
    std::condition_variable requestReady_;
    std::condition_variable postedReady_;
    std::deque<Core_TransInfo*> requests_;
    std::deque<Core_TransInfo*> posted_;
    bool throwNext_ = false;
    std::size_t endpoints_ = 0;
    std::shared_ptr<const PostHandler> handler_;
};

template <class T>
T* HostSide::waitPostedAs(std::chrono::milliseconds timeout) {
    Core_TransInfo* object = waitPosted(timeout);
    if (object == nullptr) return nullptr;
    if (T* typed = dynamic_cast<T*>(object)) return typed;
    unwait(object);
    return nullptr;
}

}  // namespace MTCore

#endif
