// The host's 32-bit PAL handle: handle type, board, span, span line id (full id) and media
// resource type packed into one value. Read and written only through these functions.
//
// Layout (the type and media values are the host's; the positions are this host's own):
//   bits 28-31  handle type: 0 board, 0x10000000 span, 0x20000000 line, 0x30000000 resource
//   bits 21-27  media resource type, a set of the seven media bits below (one bit each)
//   bits 15-20  board id        0..63
//   bits 11-14  span id         0..15
//   bits  0-10  span line id    0..2047 ("full id")
// Setters change only their own field and keep the others. A value outside its field's range is
// masked to the field (board 64 is stored as 0): callers that can exceed a range check first.
#ifndef TARNWICK_MTCORE_MT_HANDLEUTILS_H
#define TARNWICK_MTCORE_MT_HANDLEUTILS_H

#include <cstdint>

namespace MTCore {

enum : uint32_t {
    eMT_HANDLE_BOARD = 0x00000000u,
    eMT_HANDLE_SPAN = 0x10000000u,
    eMT_HANDLE_LINE = 0x20000000u,
    eMT_HANDLE_RESOURCE = 0x30000000u,
};

// Media resource bits. A handle carries any combination of them: the receive and transmit
// streams are 0x801 and 0x802 (the voice-stream bit 0x800 plus a direction bit); a player
// handle usually carries 0x8800 (player plus voice stream), a recorder 0x4800.
enum : uint32_t {
    eMT_MEDIA_RX_STREAM = 0x801u,
    eMT_MEDIA_TX_STREAM = 0x802u,
    eMT_MEDIA_PLAYER = 0x8000u,
    eMT_MEDIA_RECORDER = 0x4000u,
    eMT_MEDIA_SIGNAL_DETECTOR = 0x2000u,
    eMT_MEDIA_SIGNAL_GENERATOR = 0x1000u,
    eMT_MEDIA_VOICE_STREAM = 0x800u,
};

// Field limits of the layout above.
inline constexpr uint32_t kMT_MaxBoardId = 63;
inline constexpr uint32_t kMT_MaxSpanId = 15;
inline constexpr uint32_t kMT_MaxSpanLineId = 2047;

class MT_HandleUtils {
  public:
    // 0, 0x10000000, 0x20000000 or 0x30000000 (or another top nibble for a foreign handle).
    static uint32_t MThutl_GetHandleType(uint32_t handle);
    static uint32_t MThutl_GetBoardID(uint32_t handle);
    static uint32_t MThutl_GetSpanID(uint32_t handle);
    static uint32_t MThutl_GetSpanLineID(uint32_t handle);
    // The OR of the media bits the handle carries (0 when none).
    static uint32_t MThutl_GetMediaResourceType(uint32_t handle);
    // True when the media type has the bit: voice stream 0x800 (also set in 0x801, 0x802, 0x8800,
    // 0x4800), player 0x8000, recorder 0x4000, signal detector 0x2000, signal generator 0x1000.
    static bool MThutl_IsVoiceStreamResource(uint32_t handle);
    static bool MThutl_IsPlayerResource(uint32_t handle);
    static bool MThutl_IsRecorderResource(uint32_t handle);
    static bool MThutl_IsSignalDetectorResource(uint32_t handle);
    static bool MThutl_IsSiganlGeneratorResource(uint32_t handle);

    // Span line id, 0..2047.
    static void MThutl_SetFullId(uint32_t& handle, uint32_t fullId);
    // Board id, 0..63.
    static void MThutl_SetBoardID(uint32_t& handle, uint32_t boardId);
    // Span id, 0..15.
    static void MThutl_SetSpanID(uint32_t& handle, uint32_t spanId);
    // Accepts the type either as the handle value (0x10000000) or as its number (1); any value
    // below 16 is taken as the number, any other value by its top four bits.
    static void MThutl_SetHandleType(uint32_t& handle, uint32_t type);
    // Any OR of the media bits above; bits that are not media bits are dropped.
    static void MThutl_SetMediaResourceType(uint32_t& handle, uint32_t mediaType);
};

}  // namespace MTCore

#endif
