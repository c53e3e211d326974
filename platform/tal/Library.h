// Inside of the board library: the object store behind the TAL_* values and the two queues that
// cross the board boundary. Not installed; the C API (Api.cpp), the board face (BoardSide.cpp) and
// the virtual board (VirtualBoard.cpp) are its only users.
//
// One mutex guards everything here. Every call holds it only for a short, bounded piece of work
// (no callback runs under it), so the sending and the waiting thread interleave freely.
#ifndef TARNWICK_PLATFORM_TAL_LIBRARY_H
#define TARNWICK_PLATFORM_TAL_LIBRARY_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ObjectTable.h"
#include "tal/BoardSide.h"
#include "tal/tal.h"

namespace tal::detail {

// Bump allocator for the values of one parameter set. Addresses stay valid until reset(), so the
// value pointers handed out by a parameter walk survive later appends to the same event.
class Arena {
  public:
    void* allocate(std::size_t size);
    // Frees everything but one block, which is kept for the next user of the object.
    void reset();

  private:
    static constexpr std::size_t kFirstBlock = 64;
    static constexpr std::size_t kLargestBlock = 4096;
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
        std::size_t used = 0;
    };
    std::vector<Block> blocks_;
};

// One stored parameter. `value` points into the owning set's arena; for a list it points at the
// TAL_LIST value of the owned copy.
struct ParamRecord {
    uint32_t id;
    uint32_t type;
    uint32_t count;
    const void* value;
};

struct ParamSet {
    std::vector<ParamRecord> records;
    Arena arena;
    // Bounds for what one tree may hold, so that a list added to itself over and over cannot eat
    // the machine: nesting depth below this set, parameters and value bytes in the whole tree.
    uint32_t depth = 0;
    std::size_t treeParams = 0;
    std::size_t treeBytes = 0;
};

// Who holds an event at the moment. Only the caller's events may be touched through the C API.
enum class Holder : uint8_t {
    Caller,    // created, or handed out by TAL_WaitEvent
    Outbound,  // sent, waiting for the board
    Delivery,  // delivered by the board, waiting for TAL_WaitEvent
};

struct Event {
    uint32_t id = 0;
    TAL_HANDLE handle = 0;
    void* act = nullptr;
    Holder holder = Holder::Caller;
    ParamSet params;
};

struct List {
    bool owned = false;  // a copy held inside an event or a list: read-only, freed with its owner
    ParamSet params;
};

class Library {
  public:
    static Library& get();

    // --- C API (each returns a TAL_* result or the documented value) ---
    TAL_EVENT createEvent(uint32_t id);
    int destroyEvent(TAL_EVENT ev);
    int sendEvent(TAL_EVENT ev);
    int waitEvent(uint32_t timeoutMs, TAL_EVENT* ev);
    uint32_t eventId(TAL_EVENT ev);
    int setAct(TAL_EVENT ev, void* act);
    void* act(TAL_EVENT ev);
    int setHandle(TAL_EVENT ev, TAL_HANDLE h);
    TAL_HANDLE handle(TAL_EVENT ev);
    int setEventParameters(TAL_EVENT ev, va_list args);
    int setEventParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t id, uint32_t type,
                          uint32_t count, intptr_t value);
    const void* nextEventParameter(TAL_EVENT ev, uint32_t* cursor, uint32_t* id, uint32_t* type,
                                   uint32_t* count);
    const void* nextListParameter(const void* list, uint32_t* cursor, uint32_t* id, uint32_t* type,
                                  uint32_t* count);
    TAL_LIST createList();
    int destroyList(TAL_LIST list);
    int setListParameters(TAL_LIST list, va_list args);

    // Opens both directions (TAL_Init); closes them and frees every queued event (TAL_Fini).
    void open();
    void finish();

    // --- board face ---
    void setAttached(bool attached);
    bool attached();
    std::optional<SentEvent> take(std::chrono::milliseconds timeout);
    std::size_t pendingSent();
    bool deliver(const EventSpec& spec);
    bool deliverRaw(TAL_EVENT ev);
    std::size_t pendingDelivered();
    void stopDelivery();
    void resumeDelivery();
    bool deliveryStopped();
    void failNextCreate();
    void failNextSend();
    std::size_t liveEvents();
    std::size_t liveLists();
    void reset();
    void setMonitor(BoardSide::Monitor monitor);

    // --- virtual board ---
    // A virtual board thread runs for one epoch: stopVirtualBoard() ends the current one. The
    // thread blocks in nextForVirtualBoard until a request is there for it (nobody attached) and
    // returns it, or returns empty once its epoch has ended.
    uint64_t virtualBoardEpoch();
    std::optional<SentEvent> nextForVirtualBoard(uint64_t epoch);
    void stopVirtualBoard();

  private:
    Library() = default;

    using MonitorPtr = std::shared_ptr<const BoardSide::Monitor>;

    // All below: called with mu_ held.
    Event* callerEvent(TAL_EVENT ev);
    TAL_EVENT newEvent(uint32_t id);
    void releaseEvent(TAL_EVENT ev);
    TAL_LIST newList(bool owned);
    void releaseList(TAL_LIST list);
    void clearParams(ParamSet& set);
    int appendParameter(ParamSet& set, uint32_t id, uint32_t type, uint32_t count, intptr_t value);
    int appendRuns(ParamSet& set, va_list args);
    int appendCopyOfList(ParamSet& set, uint32_t id, TAL_LIST source);
    TAL_LIST copyList(const List& source);
    bool appendSpecParams(ParamSet& set, const std::vector<Param>& params, uint32_t level);
    void readParams(const ParamSet& set, std::vector<Param>& out);
    SentEvent snapshot(const Event& event);
    const void* walk(const ParamSet& set, uint32_t* cursor, uint32_t* id, uint32_t* type,
                     uint32_t* count);
    void releaseQueue(std::deque<TAL_EVENT>& queue);
    SentEvent popOutbound();
    MonitorPtr currentMonitor();
    bool queueForHost(TAL_EVENT ev, std::unique_lock<std::mutex>& lock);

    std::mutex mu_;
    std::condition_variable outboundCv_;
    std::condition_variable deliveryCv_;
    ObjectTable<Event> events_{0};
    ObjectTable<List> lists_{kListTag};
    std::vector<std::unique_ptr<Event>> eventPool_;
    std::vector<std::unique_ptr<List>> listPool_;
    std::deque<TAL_EVENT> outbound_;
    std::deque<TAL_EVENT> delivery_;
    bool deliveryStopped_ = false;
    bool finished_ = false;
    bool attached_ = false;
    bool failCreate_ = false;
    bool failSend_ = false;
    uint64_t virtualBoardEpoch_ = 0;
    std::atomic<bool> hasMonitor_{false};
    MonitorPtr monitor_;
};

}  // namespace tal::detail

#endif
