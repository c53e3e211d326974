#include "tal/VirtualBoard.h"

#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "Library.h"

namespace tal {

namespace {

struct BoardState {
    std::mutex handlersMu;
    std::unordered_map<uint32_t, std::shared_ptr<const VirtualBoard::Handler>> handlers;

    std::mutex lifeMu;  // start/stop
    std::thread thread;

    std::shared_ptr<const VirtualBoard::Handler> handlerFor(uint32_t id) {
        std::lock_guard lock(handlersMu);
        const auto found = handlers.find(id);
        return found != handlers.end() ? found->second : nullptr;
    }
};

BoardState& state() {
    static BoardState* s = new BoardState();  // outlives every static user
    return *s;
}

void run(uint64_t epoch) {
    auto& library = detail::Library::get();
    auto& board = BoardSide::instance();
    while (std::optional<SentEvent> request = library.nextForVirtualBoard(epoch)) {
        const auto handler = state().handlerFor(request->id);
        try {
            if (handler != nullptr) {
                (*handler)(*request, board);
            } else {
                VirtualBoard::answerWithCompletion(*request, board);
            }
        } catch (...) {
            // A failing handler answers nothing; the board goes on with the next request.
        }
    }
}

// Stops the board at process exit when TAL_Fini was never called, so that no thread runs into the
// static destructors.
struct StopAtExit {
    ~StopAtExit() { VirtualBoard::instance().stop(); }
} stopAtExit;

}  // namespace

VirtualBoard& VirtualBoard::instance() {
    static VirtualBoard* board = new VirtualBoard();  // outlives every static user
    return *board;
}

uint32_t VirtualBoard::completionId(uint32_t requestId) {
    return requestId == 0x5011 ? 0x105010 : requestId + 0x100000;
}

void VirtualBoard::answerWithCompletion(const SentEvent& request, BoardSide& board) {
    board.deliver(EventSpec{completionId(request.id), request.handle, request.act, {}});
}

void VirtualBoard::setHandler(uint32_t requestId, Handler handler) {
    auto& s = state();
    std::lock_guard lock(s.handlersMu);
    if (handler) {
        s.handlers[requestId] = std::make_shared<const Handler>(std::move(handler));
    } else {
        s.handlers.erase(requestId);
    }
}

void VirtualBoard::clearHandlers() {
    auto& s = state();
    std::lock_guard lock(s.handlersMu);
    s.handlers.clear();
}

bool VirtualBoard::start() {
    auto& s = state();
    std::lock_guard lock(s.lifeMu);
    if (s.thread.joinable()) return true;
    try {
        s.thread = std::thread(run, detail::Library::get().virtualBoardEpoch());
    } catch (...) {
        return false;
    }
    return true;
}

void VirtualBoard::stop() {
    auto& s = state();
    std::lock_guard lock(s.lifeMu);
    if (!s.thread.joinable()) return;
    detail::Library::get().stopVirtualBoard();
    if (s.thread.get_id() == std::this_thread::get_id()) {
        // Stopped from one of its own handlers: it ends when the handler returns, and a board
        // started meanwhile runs in a new epoch, so the two never both answer.
        s.thread.detach();
        return;
    }
    s.thread.join();
}

bool VirtualBoard::running() const {
    auto& s = state();
    std::lock_guard lock(s.lifeMu);
    return s.thread.joinable();
}

}  // namespace tal
