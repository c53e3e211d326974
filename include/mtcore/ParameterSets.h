// Host parameter sets that ride in event payloads (by pointer): the call-parameter set of call
// requests, the integer set of network-interface and transmit-stream requests, and the
// span-parameter set. The host owns every set; an event only points at one. Sets are plain
// values for one thread at a time: the owner hands a set over with its event.
#ifndef TARNWICK_MTCORE_PARAMETERSETS_H
#define TARNWICK_MTCORE_PARAMETERSETS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace MTCore {

// Keys of the call-parameter set used by call requests and completions.
enum : uint32_t {
    eCP_ANI = 1,              // text: caller id
    eCP_PHONE_NUMBER = 2,     // text: number to dial
    eCP_DIALED_NUMBER = 3,    // text: number to dial (wins over eCP_PHONE_NUMBER when both exist)
    eCP_ANALYSIS = 13,        // integer: call-progress analysis on (non-zero) or off
    eCP_MAKECALL_EVENTS = 17  // integer: which call-progress events the host wants
};

// Integer entries and text entries, each keyed by an unsigned 32-bit key and walked in ascending
// key order. An integer and a text entry may share a key; they are separate entries.
class CallParameterSet {
  public:
    using IntEntries = std::map<uint32_t, int32_t>;
    using TextEntries = std::map<uint32_t, std::string>;

    // Add or replace.
    void setInt(uint32_t key, int32_t value) { ints_[key] = value; }
    void setText(uint32_t key, std::string value) { texts_[key] = std::move(value); }
    // False (and out untouched) when the key has no entry of that kind.
    bool getInt(uint32_t key, int32_t& out) const;
    bool getText(uint32_t key, std::string& out) const;
    bool eraseInt(uint32_t key) { return ints_.erase(key) != 0; }
    bool eraseText(uint32_t key) { return texts_.erase(key) != 0; }
    void clear() {
        ints_.clear();
        texts_.clear();
    }

    // Read-only walks in key order.
    const IntEntries& intParams() const { return ints_; }
    const TextEntries& textParams() const { return texts_; }
    std::size_t size() const { return ints_.size() + texts_.size(); }
    bool empty() const { return ints_.empty() && texts_.empty(); }

  private:
    IntEntries ints_;
    TextEntries texts_;
};

// Keys of the transmit-stream parameter set (an IntParameterSet).
enum : int32_t {
    MTVSTX_STREAM_VADONOFF = 0,
    MTVSTX_STREAM_VADTYPE = 1,
    MTVSTX_STREAM_PLAYTHRESHOLD = 4,
    MTVSTX_STREAM_TYPE = 7,
    MTVSTX_STREAM_DTMF_BUFFER_FLUSH = 8,
    MTVSTX_CODER_TYPE = 9,
    MTVSTX_STREAM_RESOURCE_HNDL = 10,
};

// Network-interface parameter 4 of the integer sets of call and channel requests.
enum : int32_t { eNIP_NETWORK_PARAM_4 = 4 };

// Signed 32-bit key to signed 32-bit value, walked in ascending key order.
class IntParameterSet {
  public:
    using Entries = std::map<int32_t, int32_t>;
    using const_iterator = Entries::const_iterator;

    // Add or replace.
    void set(int32_t key, int32_t value) { entries_[key] = value; }
    // False (and out untouched) when the key is absent.
    bool get(int32_t key, int32_t& out) const;
    bool erase(int32_t key) { return entries_.erase(key) != 0; }
    void clear() { entries_.clear(); }

    const Entries& entries() const { return entries_; }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

  private:
    Entries entries_;
};

// The span-parameter set: an ordered map of signed 32-bit keys to signed 32-bit values with a
// bounded number of entries.
class SpanParameterSet {
  public:
    using Entries = std::map<int32_t, int32_t>;
    using const_iterator = Entries::const_iterator;

    static constexpr std::size_t kDefaultMaxEntries = 4096;

    explicit SpanParameterSet(std::size_t maxEntries = kDefaultMaxEntries)
        : maxEntries_(maxEntries) {}

    // Inserts the pair or overwrites the value of a present key: 0. A new key when the set
    // already holds maxEntries() entries: -1, and the set is unchanged.
    int set(int32_t key, int32_t value);
    bool get(int32_t key, int32_t& out) const;
    void clear() { entries_.clear(); }

    const Entries& entries() const { return entries_; }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    std::size_t maxEntries() const { return maxEntries_; }

  private:
    std::size_t maxEntries_;
    Entries entries_;
};

}  // namespace MTCore

#endif
