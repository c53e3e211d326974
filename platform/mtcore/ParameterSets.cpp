#include "mtcore/ParameterSets.h"

namespace MTCore {

namespace {
template <class Map, class Key, class Value>
bool lookup(const Map& map, Key key, Value& out) {
    const auto it = map.find(key);
    if (it == map.end()) return false;
    out = it->second;
    return true;
}
}  // namespace

bool CallParameterSet::getInt(uint32_t key, int32_t& out) const {
    return lookup(ints_, key, out);
}

bool CallParameterSet::getText(uint32_t key, std::string& out) const {
    return lookup(texts_, key, out);
}

bool IntParameterSet::get(int32_t key, int32_t& out) const {
    return lookup(entries_, key, out);
}

int SpanParameterSet::set(int32_t key, int32_t value) {
    const auto it = entries_.find(key);
    if (it != entries_.end()) {
        it->second = value;
        return 0;
    }
    if (entries_.size() >= maxEntries_) return -1;
    entries_.emplace(key, value);
    return 0;
}

bool SpanParameterSet::get(int32_t key, int32_t& out) const {
    return lookup(entries_, key, out);
}

}  // namespace MTCore
