// compthread: the mutex, guard and condition that host objects shared between threads use.
#ifndef TARNWICK_COMPTHREAD_H
#define TARNWICK_COMPTHREAD_H

#include <cstdint>
#include <memory>

namespace CompThread {

// A non-recursive mutex.
class Mutex {
  public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    void unlock();
    bool tryLock();

  protected:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    friend class Cond;
};

// Locks a mutex for the guard's lifetime.
class Guard {
  public:
    explicit Guard(Mutex& m) : m_(m) { m_.lock(); }
    ~Guard() { m_.unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

  private:
    Mutex& m_;
};

// A condition that is also its own mutex: lock it (or guard it), then wait; signal and broadcast
// may be called with or without the lock held.
class Cond : public Mutex {
  public:
    Cond();
    ~Cond() override;

    // Waits for a signal; the caller holds the lock, which is released while waiting and held
    // again on return. Spurious wake-ups are possible: wait in a loop on a predicate.
    void wait();
    // As wait, at most timeoutMs milliseconds; false when the time ran out.
    bool timedWait(uint32_t timeoutMs);
    void signal();
    void broadcast();

  private:
    struct CondImpl;
    std::unique_ptr<CondImpl> cond_;
};

}  // namespace CompThread

#endif
