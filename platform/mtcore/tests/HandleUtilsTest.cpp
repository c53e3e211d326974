#include <gtest/gtest.h>

#include "mtcore/MT_HandleUtils.h"

namespace MTCore {
namespace {

using H = MT_HandleUtils;

struct Fields {
    uint32_t type;
    uint32_t board;
    uint32_t span;
    uint32_t line;
    uint32_t media;
};

uint32_t build(const Fields& f) {
    uint32_t h = 0;
    H::MThutl_SetHandleType(h, f.type);
    H::MThutl_SetBoardID(h, f.board);
    H::MThutl_SetSpanID(h, f.span);
    H::MThutl_SetFullId(h, f.line);
    H::MThutl_SetMediaResourceType(h, f.media);
    return h;
}

void expectFields(uint32_t h, const Fields& f) {
    EXPECT_EQ(H::MThutl_GetHandleType(h), f.type);
    EXPECT_EQ(H::MThutl_GetBoardID(h), f.board);
    EXPECT_EQ(H::MThutl_GetSpanID(h), f.span);
    EXPECT_EQ(H::MThutl_GetSpanLineID(h), f.line);
    EXPECT_EQ(H::MThutl_GetMediaResourceType(h), f.media);
}

TEST(HandleUtils, EveryFieldRoundTripsWithinRange) {
    const Fields cases[] = {
        {eMT_HANDLE_BOARD, 0, 0, 0, 0},
        {eMT_HANDLE_BOARD, kMT_MaxBoardId, 0, 0, 0},
        {eMT_HANDLE_SPAN, 1, kMT_MaxSpanId, 0, 0},
        {eMT_HANDLE_LINE, 2, 3, kMT_MaxSpanLineId, 0},
        {eMT_HANDLE_LINE, 63, 15, 1, 0},
        {eMT_HANDLE_RESOURCE, 1, 1, 5, eMT_MEDIA_RX_STREAM},
        {eMT_HANDLE_RESOURCE, 1, 1, 6, eMT_MEDIA_TX_STREAM},
        {eMT_HANDLE_RESOURCE, 7, 0, 300, eMT_MEDIA_PLAYER | eMT_MEDIA_VOICE_STREAM},
        {eMT_HANDLE_RESOURCE, 7, 0, 301, eMT_MEDIA_RECORDER | eMT_MEDIA_VOICE_STREAM},
        {eMT_HANDLE_RESOURCE, 9, 2, 1024, eMT_MEDIA_SIGNAL_DETECTOR},
        {eMT_HANDLE_RESOURCE, 9, 2, 1025, eMT_MEDIA_SIGNAL_GENERATOR},
        // Every media bit at once, every field at its maximum.
        {eMT_HANDLE_RESOURCE, kMT_MaxBoardId, kMT_MaxSpanId, kMT_MaxSpanLineId,
         0x8000u | 0x4000u | 0x2000u | 0x1000u | 0x800u | 0x2u | 0x1u},
    };
    for (const Fields& f : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << "type " << f.type << " board " << f.board << " span " << f.span
                     << " line " << f.line << " media " << f.media);
        expectFields(build(f), f);
    }
}

// Each setter changes its field only: set every field to its maximum, then clear one at a time.
TEST(HandleUtils, SettersLeaveOtherFieldsAlone) {
    const Fields full{0xF0000000u, kMT_MaxBoardId, kMT_MaxSpanId, kMT_MaxSpanLineId, 0xF803u};
    const uint32_t all = build(full);
    EXPECT_EQ(all, 0xFFFFFFFFu);

    uint32_t h = all;
    H::MThutl_SetHandleType(h, 0);
    expectFields(h, {0, full.board, full.span, full.line, full.media});
    h = all;
    H::MThutl_SetBoardID(h, 0);
    expectFields(h, {full.type, 0, full.span, full.line, full.media});
    h = all;
    H::MThutl_SetSpanID(h, 0);
    expectFields(h, {full.type, full.board, 0, full.line, full.media});
    h = all;
    H::MThutl_SetFullId(h, 0);
    expectFields(h, {full.type, full.board, full.span, 0, full.media});
    h = all;
    H::MThutl_SetMediaResourceType(h, 0);
    expectFields(h, {full.type, full.board, full.span, full.line, 0});
}

TEST(HandleUtils, OutOfRangeValuesAreMaskedAndDoNotSpill) {
    uint32_t h = 0;
    H::MThutl_SetBoardID(h, kMT_MaxBoardId + 1);
    H::MThutl_SetSpanID(h, kMT_MaxSpanId + 1);
    H::MThutl_SetFullId(h, kMT_MaxSpanLineId + 1);
    EXPECT_EQ(h, 0u);
    H::MThutl_SetFullId(h, 0xFFFFFFFFu);
    EXPECT_EQ(H::MThutl_GetSpanLineID(h), kMT_MaxSpanLineId);
    EXPECT_EQ(H::MThutl_GetSpanID(h), 0u);
    H::MThutl_SetBoardID(h, 0xFFFFFFFFu);
    EXPECT_EQ(H::MThutl_GetBoardID(h), kMT_MaxBoardId);
    EXPECT_EQ(H::MThutl_GetHandleType(h), 0u);
    EXPECT_EQ(H::MThutl_GetMediaResourceType(h), 0u);
}

TEST(HandleUtils, HandleTypeAcceptsNumberOrValue) {
    const struct {
        uint32_t given;
        uint32_t stored;
    } cases[] = {
        {0, eMT_HANDLE_BOARD},
        {1, eMT_HANDLE_SPAN},
        {2, eMT_HANDLE_LINE},
        {3, eMT_HANDLE_RESOURCE},
        {0x10000000u, eMT_HANDLE_SPAN},
        {0x20000000u, eMT_HANDLE_LINE},
        {0x30000000u, eMT_HANDLE_RESOURCE},
        {0x30000005u, eMT_HANDLE_RESOURCE},  // low bits of a type value are not a type
        {4, 0x40000000u},
        {0x70000000u, 0x70000000u},
    };
    for (const auto& c : cases) {
        uint32_t h = 0x0FFFFFFFu;
        H::MThutl_SetHandleType(h, c.given);
        EXPECT_EQ(H::MThutl_GetHandleType(h), c.stored) << std::hex << c.given;
        EXPECT_EQ(h & 0x0FFFFFFFu, 0x0FFFFFFFu);
    }
}

TEST(HandleUtils, MediaPredicates) {
    const struct {
        uint32_t media;
        bool stream, player, recorder, detector, generator;
    } cases[] = {
        {0, false, false, false, false, false},
        {eMT_MEDIA_RX_STREAM, true, false, false, false, false},
        {eMT_MEDIA_TX_STREAM, true, false, false, false, false},
        {0x8800u, true, true, false, false, false},
        {0x4800u, true, false, true, false, false},
        {eMT_MEDIA_PLAYER, false, true, false, false, false},
        {eMT_MEDIA_SIGNAL_DETECTOR, false, false, false, true, false},
        {eMT_MEDIA_SIGNAL_GENERATOR, false, false, false, false, true},
        {0x8800u | 0x2000u | 0x1000u, true, true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.media);
        uint32_t h = 0;
        H::MThutl_SetHandleType(h, eMT_HANDLE_RESOURCE);
        H::MThutl_SetMediaResourceType(h, c.media);
        EXPECT_EQ(H::MThutl_IsVoiceStreamResource(h), c.stream);
        EXPECT_EQ(H::MThutl_IsPlayerResource(h), c.player);
        EXPECT_EQ(H::MThutl_IsRecorderResource(h), c.recorder);
        EXPECT_EQ(H::MThutl_IsSignalDetectorResource(h), c.detector);
        EXPECT_EQ(H::MThutl_IsSiganlGeneratorResource(h), c.generator);
    }
}

TEST(HandleUtils, BitsThatAreNotMediaBitsAreDropped) {
    uint32_t h = 0;
    H::MThutl_SetMediaResourceType(h, 0x0004u | 0x0400u | 0x10000u | 0x8000u);
    EXPECT_EQ(H::MThutl_GetMediaResourceType(h), 0x8000u);
    EXPECT_EQ(H::MThutl_GetBoardID(h), 0u);
    EXPECT_EQ(H::MThutl_GetHandleType(h), 0u);
}

}  // namespace
}  // namespace MTCore
