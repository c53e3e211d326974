// Table that turns heap objects into 32-bit values and back.
//
// A value is tag | generation << 20 | slot index. The generation of a slot changes every time the
// slot is freed, so a value kept after its object was freed (or one never handed out) does not
// find an object, and the tag keeps events and lists apart. Freed slots are reused oldest first and
// only once a reserve of them has built up, so a stale value would have to survive a great many
// create/free cycles before it could name a new object. Values are never 0.
//
// Not thread-safe: the owner locks.
#ifndef TARNWICK_PLATFORM_TAL_OBJECTTABLE_H
#define TARNWICK_PLATFORM_TAL_OBJECTTABLE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace tal::detail {

inline constexpr uint32_t kListTag = 0x80000000u;

template <class T>
class ObjectTable {
  public:
    static constexpr uint32_t kIndexBits = 20;
    static constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
    static constexpr uint32_t kGenerationBits = 11;
    static constexpr uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
    static constexpr std::size_t kMaxObjects = std::size_t{1} << kIndexBits;
    static constexpr std::size_t kFreeReserve = 1024;

    explicit ObjectTable(uint32_t tag) : tag_(tag) {}

    // Stores the object and returns its value; 0 (and the object stays with the caller) when the
    // table is full.
    uint32_t insert(std::unique_ptr<T>& object) {
        uint32_t index;
        if (free_.size() > kFreeReserve || (slots_.size() >= kMaxObjects && !free_.empty())) {
            index = free_.front();
            free_.pop_front();
        } else if (slots_.size() < kMaxObjects) {
            slots_.emplace_back();
            index = static_cast<uint32_t>(slots_.size() - 1);
        } else {
            return 0;
        }
        Slot& slot = slots_[index];
        slot.object = std::move(object);
        ++live_;
        return tag_ | (slot.generation << kIndexBits) | index;
    }

    // The object behind a value, or null.
    T* find(uint32_t value) const {
        const Slot* slot = slotOf(value);
        return slot != nullptr ? slot->object.get() : nullptr;
    }

    // Takes the object out; the value is dead from then on. Null for an unknown value.
    std::unique_ptr<T> erase(uint32_t value) {
        Slot* slot = const_cast<Slot*>(slotOf(value));
        if (slot == nullptr) return nullptr;
        std::unique_ptr<T> object = std::move(slot->object);
        slot->generation = slot->generation == kGenerationMask ? 1 : slot->generation + 1;
        free_.push_back(value & kIndexMask);
        --live_;
        return object;
    }

    std::size_t size() const { return live_; }

  private:
    struct Slot {
        std::unique_ptr<T> object;
        uint32_t generation = 1;
    };

    const Slot* slotOf(uint32_t value) const {
        if ((value & kListTag) != tag_) return nullptr;
        const uint32_t index = value & kIndexMask;
        const uint32_t generation = (value >> kIndexBits) & kGenerationMask;
        if (index >= slots_.size()) return nullptr;
        const Slot& slot = slots_[index];
        if (slot.object == nullptr || slot.generation != generation) return nullptr;
        return &slot;
    }

    uint32_t tag_;
    std::vector<Slot> slots_;
    std::deque<uint32_t> free_;
    std::size_t live_ = 0;
};

}  // namespace tal::detail

#endif
