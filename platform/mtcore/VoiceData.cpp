#include "mtcore/VoiceData.h"

#include <cstring>

namespace MTCore {

MThvdr_VoiceData::MThvdr_VoiceData(const void* bytes, uint32_t length, int32_t state)
    : streamState(state) {
    if (length > 0 && bytes != nullptr) {
        dataBytes = new uint8_t[length];
        std::memcpy(dataBytes, bytes, length);
        dataLength = length;
    }
}

MThvdr_VoiceData::~MThvdr_VoiceData() {
    delete[] dataBytes;
}

MThvdr_VoiceDataBuffer::~MThvdr_VoiceDataBuffer() {
    for (MThvdr_VoiceData* block : blocks_) delete block;
}

bool MThvdr_VoiceDataBuffer::MThvdr_RetrieveVoiceData(MThvdr_VoiceData*& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (blocks_.empty()) {
        out = nullptr;
        return false;
    }
    out = blocks_.front();
    blocks_.pop_front();
    return true;
}

bool MThvdr_VoiceDataBuffer::MThvdr_isEOD() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_ && blocks_.empty();
}

bool MThvdr_VoiceDataBuffer::MThvdr_AppendVoiceData(const void* bytes, uint32_t length,
                                                    bool endOfStream) {
    if (bytes == nullptr && length != 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return false;
    blocks_.push_back(
        new MThvdr_VoiceData(bytes, length, endOfStream ? eHVDR_EndOfStream : eHVDR_Data));
    if (endOfStream) ended_ = true;
    return true;
}

bool MThvdr_VoiceDataBuffer::MThvdr_AppendBlock(MThvdr_VoiceData* block) {
    if (block == nullptr) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return false;
    blocks_.push_back(block);
    if (block->streamState == eHVDR_EndOfStream) ended_ = true;
    return true;
}

void MThvdr_VoiceDataBuffer::MThvdr_SetEOD() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
}

std::size_t MThvdr_VoiceDataBuffer::MThvdr_PendingBlocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
}

}  // namespace MTCore
