// TAL handle values.
//
// Most handles fit a compact layout in the low 31 bits (type 2 bits, resource mask 5, board 7,
// span 5, resource id 12), so they need no table and decode without a lock. Any other combination
// of fields is interned: the value is the top bit plus an index into a table of field sets, so
// every combination still has its own value and gives its fields back. The intern table is bounded;
// once full, new combinations get kUnrepresentable, whose getters answer 0.
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "tal/BoardSide.h"
#include "tal/tal.h"

namespace tal {

namespace {

constexpr uint32_t kInternedBit = 0x80000000u;
constexpr uint32_t kUnrepresentable = 0xffffffffu;
constexpr std::size_t kMaxInterned = std::size_t{1} << 22;

constexpr uint32_t kResourceBits = 12, kSpanBits = 5, kBoardBits = 7, kMaskBits = 5, kTypeBits = 2;
constexpr uint32_t kSpanShift = kResourceBits;
constexpr uint32_t kBoardShift = kSpanShift + kSpanBits;
constexpr uint32_t kMaskShift = kBoardShift + kBoardBits;
constexpr uint32_t kTypeShift = kMaskShift + kMaskBits;
static_assert(kTypeShift + kTypeBits == 31, "the compact layout leaves the top bit free");

constexpr uint32_t bits(uint32_t n) {
    return (1u << n) - 1;
}

struct FieldsHash {
    std::size_t operator()(const HandleFields& f) const noexcept {
        uint64_t h = 0xcbf29ce484222325ull;
        for (uint32_t v : {f.type, f.board, f.span, f.mask, f.resourceId}) {
            h = (h ^ v) * 0x100000001b3ull;
        }
        return static_cast<std::size_t>(h);
    }
};

class InternTable {
  public:
    static InternTable& get() {
        static InternTable* table = new InternTable();  // outlives every static user
        return *table;
    }

    TAL_HANDLE intern(const HandleFields& fields) {
        std::lock_guard lock(mu_);
        const auto found = index_.find(fields);
        if (found != index_.end()) return kInternedBit | found->second;
        if (fields_.size() >= kMaxInterned) return kUnrepresentable;
        const auto index = static_cast<uint32_t>(fields_.size());
        fields_.push_back(fields);
        index_.emplace(fields, index);
        return kInternedBit | index;
    }

    HandleFields lookup(uint32_t index) {
        std::lock_guard lock(mu_);
        return index < fields_.size() ? fields_[index] : HandleFields{};
    }

  private:
    std::mutex mu_;
    std::vector<HandleFields> fields_;
    std::unordered_map<HandleFields, uint32_t, FieldsHash> index_;
};

}  // namespace

TAL_HANDLE encodeHandle(const HandleFields& f) {
    if (f.type <= bits(kTypeBits) && f.mask <= bits(kMaskBits) && f.board <= bits(kBoardBits) &&
        f.span <= bits(kSpanBits) && f.resourceId <= bits(kResourceBits)) {
        return f.type << kTypeShift | f.mask << kMaskShift | f.board << kBoardShift |
               f.span << kSpanShift | f.resourceId;
    }
    return InternTable::get().intern(f);
}

HandleFields decodeHandle(TAL_HANDLE h) {
    if ((h & kInternedBit) != 0) return InternTable::get().lookup(h & ~kInternedBit);
    return HandleFields{(h >> kTypeShift) & bits(kTypeBits), (h >> kBoardShift) & bits(kBoardBits),
                        (h >> kSpanShift) & bits(kSpanBits), (h >> kMaskShift) & bits(kMaskBits),
                        h & bits(kResourceBits)};
}

}  // namespace tal

extern "C" {

TAL_HANDLE TAL_Handle_Create(uint32_t type, uint32_t boardId, uint32_t spanId,
                             uint32_t resourceMask, uint32_t resourceId) {
    try {
        return tal::encodeHandle(
            tal::HandleFields{type, boardId, spanId, resourceMask, resourceId});
    } catch (...) {
        return tal::kUnrepresentable;
    }
}

uint32_t TAL_Handle_GetHandleType(TAL_HANDLE h) {
    return tal::decodeHandle(h).type;
}
uint32_t TAL_Handle_GetBoardID(TAL_HANDLE h) {
    return tal::decodeHandle(h).board;
}
uint32_t TAL_Handle_GetSpanID(TAL_HANDLE h) {
    return tal::decodeHandle(h).span;
}
uint32_t TAL_Handle_GetResourceID(TAL_HANDLE h) {
    return tal::decodeHandle(h).resourceId;
}
uint32_t TAL_Handle_GetResourceMask(TAL_HANDLE h) {
    return tal::decodeHandle(h).mask;
}
int TAL_Handle_HasPlayer(TAL_HANDLE h) {
    return (tal::decodeHandle(h).mask & TAL_RES_PLAYER) != 0;
}
int TAL_Handle_HasRecorder(TAL_HANDLE h) {
    return (tal::decodeHandle(h).mask & TAL_RES_RECORDER) != 0;
}
int TAL_Handle_HasSignalDetector(TAL_HANDLE h) {
    return (tal::decodeHandle(h).mask & TAL_RES_SIGNAL_DETECTOR) != 0;
}
int TAL_Handle_HasSignalGenerator(TAL_HANDLE h) {
    return (tal::decodeHandle(h).mask & TAL_RES_SIGNAL_GENERATOR) != 0;
}
int TAL_Handle_HasVoiceStream(TAL_HANDLE h) {
    return (tal::decodeHandle(h).mask & TAL_RES_VOICE_STREAM) != 0;
}

}  // extern "C"
