#include <gtest/gtest.h>

#include <cstring>

#include "mtcore/MT_OEM.h"
#include "mtcore/VoiceData.h"

namespace MTCore {
namespace {

TEST(VoiceDataBuffer, BlocksComeOutInOrderWithTheirBytes) {
    MThvdr_VoiceDataBuffer buffer;
    const char first[] = "abc";
    EXPECT_TRUE(buffer.MThvdr_AppendVoiceData(first, 3));
    EXPECT_TRUE(buffer.MThvdr_AppendVoiceData(nullptr, 0));  // an empty block is a block
    EXPECT_TRUE(buffer.MThvdr_AppendVoiceData("xy", 2, true));
    EXPECT_EQ(buffer.MThvdr_PendingBlocks(), 3u);
    EXPECT_FALSE(buffer.MThvdr_isEOD());  // ended, but blocks still wait

    MT_OEM oem;
    MThvdr_VoiceData* block = nullptr;
    ASSERT_TRUE(buffer.MThvdr_RetrieveVoiceData(block));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->dataLength, 3u);
    EXPECT_EQ(std::memcmp(block->dataBytes, "abc", 3), 0);
    EXPECT_NE(static_cast<const void*>(block->dataBytes), static_cast<const void*>(first));
    EXPECT_EQ(block->streamState, eHVDR_Data);
    oem.MToem_DeleteObj(block);

    ASSERT_TRUE(buffer.MThvdr_RetrieveVoiceData(block));
    EXPECT_EQ(block->dataLength, 0u);
    EXPECT_EQ(block->dataBytes, nullptr);
    oem.MToem_DeleteObj(block);

    ASSERT_TRUE(buffer.MThvdr_RetrieveVoiceData(block));
    EXPECT_EQ(block->dataLength, 2u);
    EXPECT_EQ(block->streamState, eHVDR_EndOfStream);
    oem.MToem_DeleteObj(block);

    EXPECT_TRUE(buffer.MThvdr_isEOD());
    EXPECT_FALSE(buffer.MThvdr_RetrieveVoiceData(block));
    EXPECT_EQ(block, nullptr);
}

TEST(VoiceDataBuffer, EmptyBufferBeforeAndAfterTheEnd) {
    MThvdr_VoiceDataBuffer buffer;
    MThvdr_VoiceData stale;
    MThvdr_VoiceData* block = &stale;
    EXPECT_FALSE(buffer.MThvdr_RetrieveVoiceData(block));
    EXPECT_EQ(block, nullptr);
    EXPECT_FALSE(buffer.MThvdr_isEOD());
    buffer.MThvdr_SetEOD();
    buffer.MThvdr_SetEOD();
    EXPECT_TRUE(buffer.MThvdr_isEOD());
}

TEST(VoiceDataBuffer, RefusesDataAfterTheEndAndBadInput) {
    const std::size_t before = MT_OEM::MToem_LiveObjects();
    {
        MThvdr_VoiceDataBuffer buffer;
        EXPECT_FALSE(buffer.MThvdr_AppendVoiceData(nullptr, 5));
        EXPECT_FALSE(buffer.MThvdr_AppendBlock(nullptr));
        EXPECT_EQ(buffer.MThvdr_PendingBlocks(), 0u);

        auto* last = new MThvdr_VoiceData("z", 1, eHVDR_EndOfStream);
        EXPECT_TRUE(buffer.MThvdr_AppendBlock(last));  // a last block ends the data
        EXPECT_FALSE(buffer.MThvdr_AppendVoiceData("q", 1));
        MThvdr_VoiceData late("w", 1);
        EXPECT_FALSE(buffer.MThvdr_AppendBlock(&late));  // the caller keeps it
        EXPECT_EQ(buffer.MThvdr_PendingBlocks(), 1u);
    }
    // Blocks nobody retrieved are freed with the buffer.
    EXPECT_EQ(MT_OEM::MToem_LiveObjects(), before);
}

}  // namespace
}  // namespace MTCore
