// What the virtual board knows of the hardware: it answers the administrative requests from the
// hardware description (hardware/Description.h, TARNWICK_HARDWARE or the built-in default) and
// keeps the state those requests change.
//
// install() registers handlers on the virtual board (VirtualBoard.h); TAL_Init does so with the
// current description. Requests it answers, and how:
//
//   0x2000 hardware information -> 0x102000: 0x500001 (number of modules), 0x500002 a list of
//          board groups (0x50004e), each with 0x500000 logical id (byte, counted from 1 in
//          ascending module number), 0x500003 product, 0x500004 span count (byte), 0x500006 voice
//          resources, 0x500007 serial number, 0x500009 module number, 0x500050..0x500054 host bus
//          format, technology, revision, TDM bus media type and technology, and 0x500005 a list of
//          spans (0x50004e), each with 0x50000a channels, 0x50000b span type byte, 0x50000c span
//          subtype byte.
//   0x2001 handles for the board in 0x500000 -> 0x102001: 0x50000d line handles (one per
//          channel), 0x50000e resource handles (one per voice resource), 0x50000f span handles.
//          An unknown board gets the completion without handles.
//   0x3000 span activation -> 0x103000 (the span is then active).
//   0x3001 alarm information -> 0x103001: 0x500012 alarm codes known for the span, 0x500013
//          raised flags. 0x3003 alarm configuration -> 0x103003: 0x500012, 0x500056 configured
//          flags. 0x3005 sets the configuration from 0x500012 / 0x500056.
//   0x3004 span parameters -> 0x103004: one 0x500014 per parameter, an integer array (key, value).
//   0x4000..0x4005 TDM attach, detach, listen, unlisten, route, unroute: kept in a routing table;
//          answered with 0x104000, 0x104001, 0x104002, 0x104004 (unlisten), 0x104003 (route),
//          0x104005.
// Every other request gets the plain completion of the virtual board.
//
// Handles carry the logical board id, the span number of the description and, for lines, the
// channel number from 1; resources have span 0 and ids from 1.
//
// Thread-safe: the handlers run on the virtual board's thread, the queries on any thread.
#ifndef TARNWICK_TAL_HARDWAREBOARD_H
#define TARNWICK_TAL_HARDWAREBOARD_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "tal/tal.h"

namespace hw {
struct Description;
}

namespace tal {

// Span parameter keys the board reports (0x500014 entries).
enum SpanParameterKey : int32_t {
    kSpanParamChannels = 1,
    kSpanParamType = 2,
    kSpanParamSubtype = 3,
    kSpanParamActive = 4,
};

// Resource mask of every voice resource the board grants.
inline constexpr uint32_t kVoiceResourceMask = TAL_RES_PLAYER | TAL_RES_RECORDER |
                                               TAL_RES_SIGNAL_DETECTOR | TAL_RES_SIGNAL_GENERATOR |
                                               TAL_RES_VOICE_STREAM;

class HardwareBoard {
  public:
    static HardwareBoard& instance();

    HardwareBoard(const HardwareBoard&) = delete;
    HardwareBoard& operator=(const HardwareBoard&) = delete;

    // Takes the description and registers the handlers on the virtual board; the state (alarms,
    // routes, active spans) starts empty.
    void install(const hw::Description& description);
    // Loads the current description (TARNWICK_HARDWARE, else the default) and installs it. False,
    // with the error on stderr and nothing installed, when the file is broken.
    bool installCurrent();
    // Removes the handlers; the virtual board answers plainly again.
    void uninstall();

    // Raises or clears an alarm (TAL alarm code) on a span of a board (logical id) and delivers the
    // alarm notification 0x203000 (span handle, 0x500010 code, 0x500011 raised). False for an
    // unknown board or span, or when delivery is stopped.
    bool setAlarm(uint32_t board, uint32_t span, int32_t talCode, bool raised);

    // The span handle of a board's span, or nothing for an unknown one.
    std::optional<TAL_HANDLE> spanHandle(uint32_t board, uint32_t span) const;

    // State, for tests and tools.
    bool spanActive(uint32_t board, uint32_t span) const;
    std::vector<int32_t> raisedAlarms(uint32_t board, uint32_t span) const;
    std::vector<std::pair<int32_t, uint8_t>> alarmConfiguration(uint32_t board,
                                                                uint32_t span) const;
    struct Connection {
        uint32_t
            request;  // the TAL request that made it: 0x4000 attach, 0x4002 listen, 0x4004 route
        TAL_HANDLE first;
        TAL_HANDLE second;
        friend bool operator==(const Connection&, const Connection&) = default;
    };
    std::vector<Connection> connections() const;

  private:
    HardwareBoard();
    ~HardwareBoard();
    struct State;
    std::unique_ptr<State> state_;  // replaced on install
    mutable std::mutex mutex_;
};

}  // namespace tal

#endif
