// The host's 32-bit PAL handle: handle type, board, span, span line id (full id) and media
// resource type packed into one value. Read and written only through these functions.
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

enum : uint32_t {
    eMT_MEDIA_RX_STREAM = 0x801u,
    eMT_MEDIA_TX_STREAM = 0x802u,
    eMT_MEDIA_PLAYER = 0x8000u,
    eMT_MEDIA_RECORDER = 0x4000u,
    eMT_MEDIA_SIGNAL_DETECTOR = 0x2000u,
    eMT_MEDIA_SIGNAL_GENERATOR = 0x1000u,
};

class MT_HandleUtils {
public:
    static uint32_t MThutl_GetHandleType(uint32_t handle);
    static uint32_t MThutl_GetBoardID(uint32_t handle);
    static uint32_t MThutl_GetSpanID(uint32_t handle);
    static uint32_t MThutl_GetSpanLineID(uint32_t handle);
    static uint32_t MThutl_GetMediaResourceType(uint32_t handle);
    static bool MThutl_IsVoiceStreamResource(uint32_t handle);
    static bool MThutl_IsPlayerResource(uint32_t handle);
    static bool MThutl_IsRecorderResource(uint32_t handle);
    static bool MThutl_IsSignalDetectorResource(uint32_t handle);
    static bool MThutl_IsSiganlGeneratorResource(uint32_t handle);

    static void MThutl_SetFullId(uint32_t& handle, uint32_t fullId);
    static void MThutl_SetBoardID(uint32_t& handle, uint32_t boardId);
    static void MThutl_SetSpanID(uint32_t& handle, uint32_t spanId);
    static void MThutl_SetHandleType(uint32_t& handle, uint32_t type);
    static void MThutl_SetMediaResourceType(uint32_t& handle, uint32_t mediaType);
};

}  // namespace MTCore

#endif
