// The virtual board: the stand-in's hardware, the board behind the library unless a test has
// attached the board face (BoardSide.h).
//
// TAL_Init starts it on a thread of its own and TAL_Fini stops and joins it. It takes each event
// the host side sends and hands it to the handler registered for the event's id; with no handler it
// answers with the plain completion (completionId(request id), the request's ACT and handle, no
// parameter). A handler answers through the board face it is given, with BoardSide::deliver; it may
// deliver nothing, one or several events. Handlers run on the virtual board's thread, one at a
// time, in the order the requests were sent.
#ifndef TARNWICK_TAL_VIRTUALBOARD_H
#define TARNWICK_TAL_VIRTUALBOARD_H

#include <cstdint>
#include <functional>

#include "tal/BoardSide.h"

namespace tal {

class VirtualBoard {
  public:
    using Handler = std::function<void(const SentEvent& request, BoardSide& board)>;

    // The process-wide virtual board.
    static VirtualBoard& instance();

    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    // The completion id of a request id: the request id + 0x100000, except 0x5011 (blind transfer)
    // whose completion is 0x105010.
    static uint32_t completionId(uint32_t requestId);
    // The default answer: the completion of `request` with its ACT and handle and no parameter.
    static void answerWithCompletion(const SentEvent& request, BoardSide& board);

    // Registers the handler for one request id, replacing any earlier one; nullptr goes back to the
    // default answer. May be called while the board runs: requests taken afterwards see it.
    void setHandler(uint32_t requestId, Handler handler);
    // Back to the default answer for every id.
    void clearHandlers();

    // Started by TAL_Init and stopped (joined) by TAL_Fini; start() on a running board and stop()
    // on a stopped one do nothing. start() returns false when the thread could not be started.
    bool start();
    void stop();
    bool running() const;

  private:
    VirtualBoard() = default;
};

}  // namespace tal

#endif
