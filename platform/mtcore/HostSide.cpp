#include "mtcore/HostSide.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "OemHooks.h"
#include "mtcore/MT_OEM.h"

namespace MTCore {

HostSide& HostSide::instance() {
    // Never destroyed: endpoints and queued objects may outlive every other static of the process.
    static HostSide* const side = new HostSide();
    return *side;
}

HostSide::~HostSide() {
    for (Core_TransInfo* request : requests_) delete request;
    for (Core_TransInfo* object : posted_) delete object;
}

void HostSide::submit(Core_TransInfo* request) {
    if (request == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    requestReady_.notify_one();
}

void HostSide::throwOnNextGet() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        throwNext_ = true;
    }
    requestReady_.notify_all();
}

std::size_t HostSide::pendingRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

Core_TransInfo* HostSide::waitPosted(std::chrono::milliseconds timeout) {
    // Waits are held within [0, one year], so that the deadline cannot overflow the clock.
    const std::chrono::milliseconds kLongest = std::chrono::hours(24 * 365);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!postedReady_.wait_for(lock, std::clamp(timeout, std::chrono::milliseconds(0), kLongest),
                               [this] { return !posted_.empty(); })) {
        return nullptr;
    }
    Core_TransInfo* object = posted_.front();
    posted_.pop_front();
    return object;
}

std::vector<Core_TransInfo*> HostSide::drainPosted() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Core_TransInfo*> all(posted_.begin(), posted_.end());
    posted_.clear();
    return all;
}

std::size_t HostSide::postedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_.size();
}

void HostSide::setPostHandler(PostHandler handler) {
    std::shared_ptr<const PostHandler> next;
    if (handler) next = std::make_shared<const PostHandler>(std::move(handler));
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(next);
}

std::size_t HostSide::liveObjects() const {
    return MT_OEM::MToem_LiveObjects();
}

void HostSide::release(Core_TransInfo* object) {
    MT_OEM().MToem_DeleteObj(object);
}

std::size_t HostSide::liveEndpoints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return endpoints_;
}

void HostSide::failNextVsDataBuffer() {
    oemhooks::failNextVsDataBuffer();
}

void HostSide::reset() {
    std::deque<Core_TransInfo*> requests;
    std::deque<Core_TransInfo*> posted;
    std::shared_ptr<const PostHandler> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests.swap(requests_);
        posted.swap(posted_);
        handler.swap(handler_);
        throwNext_ = false;
    }
    oemhooks::clearFaults();
    // Freed outside the lock: a destructor may run arbitrary host code.
    for (Core_TransInfo* request : requests) delete request;
    for (Core_TransInfo* object : posted) delete object;
}

Core_TransInfo* HostSide::nextRequest() {
    std::unique_lock<std::mutex> lock(mutex_);
    requestReady_.wait(lock, [this] { return throwNext_ || !requests_.empty(); });
    if (throwNext_) {
        throwNext_ = false;
        throw std::runtime_error("host endpoint: request queue failure");
    }
    Core_TransInfo* request = requests_.front();
    requests_.pop_front();
    return request;
}

void HostSide::post(Core_TransInfo* event) {
    if (event == nullptr) return;
    std::shared_ptr<const PostHandler> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = handler_;
        if (!handler) posted_.push_back(event);
    }
    if (handler) {
        (*handler)(event);
    } else {
        postedReady_.notify_all();
    }
}

void HostSide::endpointCreated() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++endpoints_;
}

void HostSide::endpointDestroyed() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endpoints_ > 0) --endpoints_;
}

void HostSide::unwait(Core_TransInfo* object) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_front(object);
    }
    postedReady_.notify_all();
}

}  // namespace MTCore
