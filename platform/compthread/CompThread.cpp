#include "compthread/CompThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace CompThread {

struct Mutex::Impl {
    std::mutex m;
};

struct Cond::CondImpl {
    std::condition_variable cv;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;

void Mutex::lock() {
    impl_->m.lock();
}
void Mutex::unlock() {
    impl_->m.unlock();
}
bool Mutex::tryLock() {
    return impl_->m.try_lock();
}

Cond::Cond() : cond_(std::make_unique<CondImpl>()) {}
Cond::~Cond() = default;

// The caller already holds the mutex: adopt it for the wait and hand it back afterwards.
void Cond::wait() {
    std::unique_lock<std::mutex> lock(impl_->m, std::adopt_lock);
    cond_->cv.wait(lock);
    lock.release();
}

bool Cond::timedWait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->m, std::adopt_lock);
    const auto status = cond_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs));
    lock.release();
    return status == std::cv_status::no_timeout;
}

void Cond::signal() {
    cond_->cv.notify_one();
}
void Cond::broadcast() {
    cond_->cv.notify_all();
}

}  // namespace CompThread
