// Board face of the board library stand-in: the other end of the TAL_* C API.
//
// Whatever the HAL sends with TAL_SendEvent reaches "the board", and whatever the board delivers is
// what TAL_WaitEvent hands out. By default the board is the virtual board (VirtualBoard.h), started
// by TAL_Init. A test or tool that wants to play the board itself calls attach(): from then on the
// virtual board answers nothing, and the test takes what the HAL sent with take() and answers with
// deliver(). Every value read back is a plain copy (SentEvent), so a test never holds a TAL object.
//
// One BoardSide exists per process (instance()); every member is safe to call from any thread.
//
// Typical test:
//
//     auto& board = tal::BoardSide::instance();
//     board.reset();
//     board.attach();
//     ... make the HAL send something ...
//     auto sent = board.take(std::chrono::seconds(5));
//     ASSERT_TRUE(sent);
//     EXPECT_EQ(sent->id, 0x500bu);
//     board.deliver({.id = 0x10500b, .handle = sent->handle, .act = sent->act});
//     ...
//     board.detach();
#ifndef TARNWICK_TAL_BOARDSIDE_H
#define TARNWICK_TAL_BOARDSIDE_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tal/tal.h"

namespace tal {

// The fields of a TAL handle, as the TAL_Handle_Get* functions give them back.
struct HandleFields {
    uint32_t type = 0;  // TAL_HT_BOARD, TAL_HT_SPAN, TAL_HT_LINE, TAL_HT_RESOURCE (or any value)
    uint32_t board = 0;
    uint32_t span = 0;
    uint32_t mask = 0;  // TAL_RES_* bits
    uint32_t resourceId = 0;

    friend bool operator==(const HandleFields&, const HandleFields&) = default;
};

// Decodes a handle value (TAL_Handle_Get*); an unknown value gives all zeros.
HandleFields decodeHandle(TAL_HANDLE h);
// Builds a handle value from its fields (TAL_Handle_Create).
TAL_HANDLE encodeHandle(const HandleFields& fields);

// One parameter, read back from an event or written into one by deliver().
//
// Which member carries the value depends on `type`:
//   TAL_TYPE_NONE, TAL_TYPE_INT   intValue (32-bit)
//   TAL_TYPE_BYTE                 intValue (0..255 when read back; the low 8 bits when delivered)
//   TAL_TYPE_BYTE_ARRAY           bytes
//   TAL_TYPE_INT_ARRAY            ints
//   TAL_TYPE_STRING               text (must not contain NUL when delivered)
//   TAL_TYPE_LIST                 list (the entries, in order; lists nest)
// `count` as read back is what TAL_Event_GetNextParameter reports: the elements of an array, the
// length of a string, the entries of a list, and for the scalar types the count the sender gave.
// When delivering, `count` is used for the scalar types only; the others take it from the value.
struct Param {
    uint32_t id = 0;
    uint32_t type = TAL_TYPE_NONE;
    uint32_t count = 0;
    int32_t intValue = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    std::vector<int32_t> ints;
    std::vector<Param> list;

    // Builders for deliver(): Param::integer(0x50000a, 24), Param::listOf(0x500002, {...}), ...
    static Param none(uint32_t id, int32_t value);
    static Param byte(uint32_t id, uint8_t value);
    static Param integer(uint32_t id, int32_t value);
    static Param string(uint32_t id, std::string value);
    static Param byteArray(uint32_t id, std::vector<uint8_t> value);
    static Param intArray(uint32_t id, std::vector<int32_t> value);
    static Param listOf(uint32_t id, std::vector<Param> entries);

    // For a list parameter: the first entry with this id, or null; all entries with this id.
    const Param* find(uint32_t entryId) const;
    std::vector<const Param*> findAll(uint32_t entryId) const;

    friend bool operator==(const Param&, const Param&) = default;
};

// A plain copy of an event that crossed the board boundary.
struct SentEvent {
    uint32_t id = 0;
    TAL_HANDLE handle = 0;      // the raw value
    HandleFields handleFields;  // the same, decoded
    void* act = nullptr;
    std::vector<Param> params;

    // The first parameter with this id, or null; all parameters with this id.
    const Param* find(uint32_t paramId) const;
    std::vector<const Param*> findAll(uint32_t paramId) const;
};

// What the board delivers: deliver() turns it into a TAL event.
struct EventSpec {
    uint32_t id = 0;
    TAL_HANDLE handle = 0;
    void* act = nullptr;
    std::vector<Param> params;
};

// Which way an event crossed the boundary, for the monitor.
enum class Direction {
    ToBoard,  // sent by the host side with TAL_SendEvent
    ToHost,   // delivered by the board, for TAL_WaitEvent
};

// One readable line: id in hex, handle fields, ACT, then every parameter with its value, list
// entries nested in braces. Example:
//   0x00102000 handle{type=0 board=1 span=0 mask=0x00 res=0} act=0x5581c0 params:
//   0x500002=list{0x50004e=list{0x500000=byte 1, 0x500003="Board A"}}
// (all on one line). Long arrays are cut with "...".
std::string describe(const SentEvent& event);
std::string describe(const Param& param);

class BoardSide {
  public:
    using Monitor = std::function<void(Direction, const SentEvent&)>;

    // The process-wide board face.
    static BoardSide& instance();

    BoardSide(const BoardSide&) = delete;
    BoardSide& operator=(const BoardSide&) = delete;

    // attach(): the caller plays the board. What the HAL sends waits for take(); the virtual board
    // (if running) answers nothing until detach(). detach(): the virtual board takes over again,
    // including whatever was sent and not yet taken. Neither call drops queued events.
    void attach();
    void detach();
    bool attached() const;

    // The oldest event sent with TAL_SendEvent and not yet taken, waiting up to `timeout` for one.
    // The event is consumed (the library frees it). Empty when nothing came in time.
    std::optional<SentEvent> take(std::chrono::milliseconds timeout);
    // Events sent and not yet taken.
    std::size_t pendingSent() const;

    // Creates a TAL event from `spec` (parameters and nested lists included) and queues it for
    // TAL_WaitEvent, after everything delivered before it. False when the spec holds an unknown
    // parameter type or an oversized value, or when delivery has been stopped; nothing is queued
    // then. Fault injection (failNextCreate) does not apply here.
    bool deliver(const EventSpec& spec);
    // Queues an event the caller built with the TAL_* functions. The event belongs to the library
    // from this call on, also when it fails (it is then freed). False for an unknown event value,
    // for an event that already belongs to the library, or when delivery has been stopped.
    bool deliverRaw(TAL_EVENT ev);
    // Events delivered and not yet handed out by TAL_WaitEvent.
    std::size_t pendingDelivered() const;

    // Stops delivery: nothing more can be delivered; TAL_WaitEvent still hands out what was
    // queued before, and from then on answers TAL_ERR_STOPPED (4), waking a waiter at once.
    // resumeDelivery(), reset() and TAL_Init open it again.
    void stopDelivery();
    void resumeDelivery();
    bool deliveryStopped() const;

    // The next TAL_Event_Create returns 0; the next TAL_SendEvent fails with TAL_ERR_FAILED (and
    // frees the event, which belonged to the library). Each arms one failure.
    void failNextCreate();
    void failNextSend();

    // Live TAL objects: events (held by anybody, queued ones included) and lists (created ones and
    // those held inside events and lists). A flow that leaks nothing returns to the same counts.
    std::size_t liveEvents() const;
    std::size_t liveLists() const;

    // Frees every queued event both ways, clears the fault injections and opens delivery (also
    // after TAL_Fini). Attachment, the monitor and the virtual board's handlers stay as they are.
    void reset();

    // Called with a copy of every event that crosses the boundary: on the sending thread inside
    // TAL_SendEvent (ToBoard), and on the delivering thread inside deliver/deliverRaw (ToHost).
    // It must not call back into this face's monitor setter. nullptr removes it; costs nothing
    // then.
    void setMonitor(Monitor monitor);

  private:
    BoardSide() = default;
};

}  // namespace tal

#endif
