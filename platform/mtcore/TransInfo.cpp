#include "mtcore/TransInfo.h"

#include <atomic>

namespace MTCore {
namespace {
// Signed so that a stray extra destruction shows as a negative figure rather than wrapping.
std::atomic<long long> g_liveObjects{0};
}  // namespace

Core_TransInfo::Core_TransInfo(uint32_t id) : eventId(id) {
    g_liveObjects.fetch_add(1, std::memory_order_relaxed);
}

Core_TransInfo::Core_TransInfo(const Core_TransInfo& other)
    : eventId(other.eventId),
      resultCode(other.resultCode),
      detailCode(other.detailCode),
      handle(other.handle),
      headerTag(other.headerTag),
      replyQueue(other.replyQueue) {
    g_liveObjects.fetch_add(1, std::memory_order_relaxed);
}

Core_TransInfo::~Core_TransInfo() {
    g_liveObjects.fetch_sub(1, std::memory_order_relaxed);
}

std::size_t liveTransInfoObjects() {
    const long long n = g_liveObjects.load(std::memory_order_relaxed);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace MTCore
