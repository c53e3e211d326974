#include "mtcore/MT_HandleUtils.h"

#include <array>

namespace MTCore {
namespace {

constexpr uint32_t kTypeShift = 28;
constexpr uint32_t kTypeMask = 0xFu << kTypeShift;
constexpr uint32_t kMediaShift = 21;
constexpr uint32_t kMediaMask = 0x7Fu << kMediaShift;
constexpr uint32_t kBoardShift = 15;
constexpr uint32_t kBoardMask = kMT_MaxBoardId << kBoardShift;
constexpr uint32_t kSpanShift = 11;
constexpr uint32_t kSpanMask = kMT_MaxSpanId << kSpanShift;
constexpr uint32_t kLineMask = kMT_MaxSpanLineId;

static_assert((kTypeMask & kMediaMask) == 0 && (kMediaMask & kBoardMask) == 0 &&
                  (kBoardMask & kSpanMask) == 0 && (kSpanMask & kLineMask) == 0,
              "handle fields overlap");
static_assert((kTypeMask | kMediaMask | kBoardMask | kSpanMask | kLineMask) == 0xFFFFFFFFu,
              "handle fields leave bits unused");

// Media bit i of the packed field stands for kMediaBits[i].
constexpr std::array<uint32_t, 7> kMediaBits = {0x1u,    0x2u,    0x800u, 0x1000u,
                                                0x2000u, 0x4000u, 0x8000u};

uint32_t packMedia(uint32_t media) {
    uint32_t packed = 0;
    for (std::size_t i = 0; i < kMediaBits.size(); ++i) {
        if ((media & kMediaBits[i]) != 0) packed |= 1u << i;
    }
    return packed;
}

uint32_t unpackMedia(uint32_t packed) {
    uint32_t media = 0;
    for (std::size_t i = 0; i < kMediaBits.size(); ++i) {
        if ((packed & (1u << i)) != 0) media |= kMediaBits[i];
    }
    return media;
}

void setField(uint32_t& handle, uint32_t mask, uint32_t shift, uint32_t value) {
    handle = (handle & ~mask) | ((value << shift) & mask);
}

}  // namespace

uint32_t MT_HandleUtils::MThutl_GetHandleType(uint32_t handle) {
    return handle & kTypeMask;
}

uint32_t MT_HandleUtils::MThutl_GetBoardID(uint32_t handle) {
    return (handle & kBoardMask) >> kBoardShift;
}

uint32_t MT_HandleUtils::MThutl_GetSpanID(uint32_t handle) {
    return (handle & kSpanMask) >> kSpanShift;
}

uint32_t MT_HandleUtils::MThutl_GetSpanLineID(uint32_t handle) {
    return handle & kLineMask;
}

uint32_t MT_HandleUtils::MThutl_GetMediaResourceType(uint32_t handle) {
    return unpackMedia((handle & kMediaMask) >> kMediaShift);
}

bool MT_HandleUtils::MThutl_IsVoiceStreamResource(uint32_t handle) {
    return (MThutl_GetMediaResourceType(handle) & eMT_MEDIA_VOICE_STREAM) != 0;
}

bool MT_HandleUtils::MThutl_IsPlayerResource(uint32_t handle) {
    return (MThutl_GetMediaResourceType(handle) & eMT_MEDIA_PLAYER) != 0;
}

bool MT_HandleUtils::MThutl_IsRecorderResource(uint32_t handle) {
    return (MThutl_GetMediaResourceType(handle) & eMT_MEDIA_RECORDER) != 0;
}

bool MT_HandleUtils::MThutl_IsSignalDetectorResource(uint32_t handle) {
    return (MThutl_GetMediaResourceType(handle) & eMT_MEDIA_SIGNAL_DETECTOR) != 0;
}

bool MT_HandleUtils::MThutl_IsSiganlGeneratorResource(uint32_t handle) {
    return (MThutl_GetMediaResourceType(handle) & eMT_MEDIA_SIGNAL_GENERATOR) != 0;
}

void MT_HandleUtils::MThutl_SetFullId(uint32_t& handle, uint32_t fullId) {
    setField(handle, kLineMask, 0, fullId);
}

void MT_HandleUtils::MThutl_SetBoardID(uint32_t& handle, uint32_t boardId) {
    setField(handle, kBoardMask, kBoardShift, boardId);
}

void MT_HandleUtils::MThutl_SetSpanID(uint32_t& handle, uint32_t spanId) {
    setField(handle, kSpanMask, kSpanShift, spanId);
}

void MT_HandleUtils::MThutl_SetHandleType(uint32_t& handle, uint32_t type) {
    const uint32_t nibble = type < 16 ? type : type >> kTypeShift;
    setField(handle, kTypeMask, kTypeShift, nibble);
}

void MT_HandleUtils::MThutl_SetMediaResourceType(uint32_t& handle, uint32_t mediaType) {
    setField(handle, kMediaMask, kMediaShift, packMedia(mediaType));
}

}  // namespace MTCore
