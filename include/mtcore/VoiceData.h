// The host's voice-data buffer of a receive stream: the host fills it block by block from its own
// threads while the HAL pulls blocks from the TAL thread.
#ifndef TARNWICK_MTCORE_VOICEDATA_H
#define TARNWICK_MTCORE_VOICEDATA_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "mtcore/TransInfo.h"

namespace MTCore {

// streamState values of a block.
enum : int32_t {
    eHVDR_Data = 0,         // more blocks follow
    eHVDR_EndOfStream = 1,  // the last block of the stream
};

// One block of voice data, a host object: whoever takes it from the buffer frees it with
// MT_OEM::MToem_DeleteObj (or delete). The block owns dataBytes and frees it with itself.
class MThvdr_VoiceData : public Core_TransInfo {
  public:
    MThvdr_VoiceData() = default;
    // A block holding a copy of length bytes (bytes may be null only when length is 0).
    MThvdr_VoiceData(const void* bytes, uint32_t length, int32_t state = eHVDR_Data);
    ~MThvdr_VoiceData() override;
    MThvdr_VoiceData(const MThvdr_VoiceData&) = delete;
    MThvdr_VoiceData& operator=(const MThvdr_VoiceData&) = delete;

    uint32_t dataLength = 0;  // number of bytes at dataBytes
    int32_t streamState = eHVDR_Data;
    uint8_t* dataBytes = nullptr;  // owned (new[]); null when dataLength is 0
};

// Blocks in the order the host appended them. Every operation is thread-safe.
class MThvdr_VoiceDataBuffer {
  public:
    MThvdr_VoiceDataBuffer() = default;
    // Frees the blocks nobody retrieved.
    virtual ~MThvdr_VoiceDataBuffer();
    MThvdr_VoiceDataBuffer(const MThvdr_VoiceDataBuffer&) = delete;
    MThvdr_VoiceDataBuffer& operator=(const MThvdr_VoiceDataBuffer&) = delete;

    // HAL side. Takes the oldest block: true with out set (the caller owns the block); false with
    // out null when no block is waiting. Never blocks.
    bool MThvdr_RetrieveVoiceData(MThvdr_VoiceData*& out);
    // True once the host has ended the data and every block has been retrieved: no block will
    // ever come again.
    bool MThvdr_isEOD();

    // Host side. Appends a copy of the bytes as a block; endOfStream makes it the last block
    // (streamState eHVDR_EndOfStream) and ends the data. False when the data has already ended
    // or bytes is null with a non-zero length; nothing is appended then.
    bool MThvdr_AppendVoiceData(const void* bytes, uint32_t length, bool endOfStream = false);
    // Appends a block made by the caller and takes it over; a block whose streamState is
    // eHVDR_EndOfStream ends the data. False when the data has already ended or the block is null:
    // the caller keeps the block.
    bool MThvdr_AppendBlock(MThvdr_VoiceData* block);
    // Ends the data without a last block. Idempotent.
    void MThvdr_SetEOD();
    // Number of blocks waiting.
    std::size_t MThvdr_PendingBlocks() const;

  private:
    mutable std::mutex mutex_;
    std::deque<MThvdr_VoiceData*> blocks_;
    bool ended_ = false;
};

}  // namespace MTCore

#endif
