// The lock-free interest table behind TnwkLogIsInterested.
//
// A fixed-capacity open-addressing table of slots, each holding a caller's key and that key's
// 32-bit level mask as atomics, in place. Readers (interested()) take no lock, allocate nothing and
// never follow a pointer stored in the table, so a removal racing with a check cannot make the
// check touch freed memory: at worst the check answers as of just before or just after the
// removal.
//
// Writers (insert, setMask, erase) must be serialised by the caller (the library holds its filter
// mutex around them).
//
// Removal leaves a tombstone so that probe chains stay intact for concurrent readers; a tombstone
// directly before an empty slot is turned back into an empty slot. When tombstones and live entries
// together pass three quarters of the slots, the live entries are copied into the second of two
// statically allocated tables, which is then published; readers still probing the old table see
// its consistent, slightly older content. Nothing is ever freed, so the table can be a static
// object with constant initialisation and no destructor work.
#ifndef TARNWICK_MIRRDLLD_INTERESTTABLE_H
#define TARNWICK_MIRRDLLD_INTERESTTABLE_H

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tnwklog {

template <std::size_t Slots>
class InterestTable {
    static_assert(Slots >= 4 && (Slots & (Slots - 1)) == 0, "slot count must be a power of two");

  public:
    // At most this many keys are held at once; insert() refuses more. Half the slots, which keeps
    // probe chains short.
    static constexpr std::size_t kMaxEntries = Slots / 2;

    constexpr InterestTable() = default;
    InterestTable(const InterestTable&) = delete;
    InterestTable& operator=(const InterestTable&) = delete;

    // True when key is present and bit `level` (0..31) of its mask is set. Lock-free, no
    // allocation.
    bool interested(const void* key, unsigned level) const noexcept {
        if (key == nullptr || level > 31) {
            return false;
        }
        const Table* t = current_.load(std::memory_order_acquire);
        std::size_t i = home(key);
        for (std::size_t n = 0; n < Slots; ++n, i = (i + 1) & (Slots - 1)) {
            const Slot& s = t->slots[i];
            const void* k = s.key.load(std::memory_order_acquire);
            if (k == key) {
                const std::uint32_t mask = s.mask.load(std::memory_order_acquire);
                // The slot may have been emptied and reused between the two loads; only a mask read
                // while the key was still in place belongs to this key.
                if (s.key.load(std::memory_order_acquire) == key) {
                    return ((mask >> level) & 1U) != 0;
                }
                continue;
            }
            if (k == nullptr) {
                return false;
            }
        }
        return false;
    }

    // Adds key with mask, or replaces the mask when key is present. False when the table already
    // holds kMaxEntries keys (or key is null).
    bool insert(const void* key, std::uint32_t mask) noexcept {
        if (key == nullptr || key == tombstone()) {
            return false;
        }
        if (Slot* s = find(key)) {
            s->mask.store(mask, std::memory_order_release);
            return true;
        }
        if (live_ >= kMaxEntries) {
            return false;
        }
        if (used_ + 1 > Slots * 3 / 4) {
            rebuild();
        }
        Table* t = current_.load(std::memory_order_relaxed);
        std::size_t i = home(key);
        for (;;) {
            Slot& s = t->slots[i];
            const void* k = s.key.load(std::memory_order_relaxed);
            if (k == nullptr || k == tombstone()) {
                if (k == nullptr) {
                    ++used_;
                }
                // Mask first: a reader that sees the key (acquire) then sees its mask.
                s.mask.store(mask, std::memory_order_release);
                s.key.store(key, std::memory_order_release);
                ++live_;
                return true;
            }
            i = (i + 1) & (Slots - 1);
        }
    }

    // Replaces the mask of a present key; false when key is absent.
    bool setMask(const void* key, std::uint32_t mask) noexcept {
        Slot* s = find(key);
        if (s == nullptr) {
            return false;
        }
        s->mask.store(mask, std::memory_order_release);
        return true;
    }

    // Removes key; false when absent.
    bool erase(const void* key) noexcept {
        Slot* s = find(key);
        if (s == nullptr) {
            return false;
        }
        s->mask.store(0, std::memory_order_release);
        s->key.store(tombstone(), std::memory_order_release);
        --live_;
        // A tombstone followed by an empty slot ends no probe chain that any key needs: clear it,
        // and the tombstones before it in the same way.
        Table* t = current_.load(std::memory_order_relaxed);
        std::size_t i = static_cast<std::size_t>(s - t->slots.data());
        std::size_t next = (i + 1) & (Slots - 1);
        while (t->slots[next].key.load(std::memory_order_relaxed) == nullptr &&
               t->slots[i].key.load(std::memory_order_relaxed) == tombstone()) {
            t->slots[i].key.store(nullptr, std::memory_order_release);
            --used_;
            next = i;
            i = (i + Slots - 1) & (Slots - 1);
        }
        return true;
    }

    std::size_t size() const noexcept { return live_; }
    // How many times the live entries were moved to the other table (for tests).
    std::size_t rebuilds() const noexcept { return rebuilds_; }

  private:
    struct Slot {
        std::atomic<const void*> key{nullptr};
        std::atomic<std::uint32_t> mask{0};
    };
    struct Table {
        std::array<Slot, Slots> slots{};
    };

    static const void* tombstone() noexcept {
        static const char mark = 0;
        return &mark;
    }

    static std::size_t home(const void* key) noexcept {
        auto x = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        return static_cast<std::size_t>(x) & (Slots - 1);
    }

    Slot* find(const void* key) noexcept {
        if (key == nullptr || key == tombstone()) {
            return nullptr;
        }
        Table* t = current_.load(std::memory_order_relaxed);
        std::size_t i = home(key);
        for (std::size_t n = 0; n < Slots; ++n, i = (i + 1) & (Slots - 1)) {
            const void* k = t->slots[i].key.load(std::memory_order_relaxed);
            if (k == key) {
                return &t->slots[i];
            }
            if (k == nullptr) {
                return nullptr;
            }
        }
        return nullptr;
    }

    void rebuild() noexcept {
        Table* from = current_.load(std::memory_order_relaxed);
        Table* to = (from == &tables_[0]) ? &tables_[1] : &tables_[0];
        for (Slot& s : to->slots) {
            s.key.store(nullptr, std::memory_order_release);
            s.mask.store(0, std::memory_order_release);
        }
        std::size_t used = 0;
        for (Slot& s : from->slots) {
            const void* k = s.key.load(std::memory_order_relaxed);
            if (k == nullptr || k == tombstone()) {
                continue;
            }
            std::size_t i = home(k);
            while (to->slots[i].key.load(std::memory_order_relaxed) != nullptr) {
                i = (i + 1) & (Slots - 1);
            }
            to->slots[i].mask.store(s.mask.load(std::memory_order_relaxed),
                                    std::memory_order_release);
            to->slots[i].key.store(k, std::memory_order_release);
            ++used;
        }
        used_ = used;
        ++rebuilds_;
        current_.store(to, std::memory_order_release);
    }

    std::array<Table, 2> tables_{};
    std::atomic<Table*> current_{&tables_[0]};
    std::size_t live_ = 0;  // keys present
    std::size_t used_ = 0;  // keys present plus tombstones, in the current table
    std::size_t rebuilds_ = 0;
};

}  // namespace tnwklog

#endif
