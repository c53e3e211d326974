// Event objects that do work in their constructors: the ones that own memory and the call
// reference the host gives every offered call.
#include <atomic>

#include "mtcore/Events.h"

namespace MTCore {
namespace {
std::atomic<uint32_t> g_nextCallReference{1};
}  // namespace

Ev_ntf_PAL_CALLOFFERED::Ev_ntf_PAL_CALLOFFERED() {
    uint32_t cr = g_nextCallReference.fetch_add(1);
    if (cr == 0) cr = g_nextCallReference.fetch_add(1);  // after wrapping: 0 means "no call"
    CR = cr;
}

Ev_cmp_PAL_GETCALLINFO::Ev_cmp_PAL_GETCALLINFO() : callParams(new CallParameterSet()) {}

Ev_cmp_PAL_GETCALLINFO::~Ev_cmp_PAL_GETCALLINFO() {
    delete callParams;
}

Ev_ntf_PAL_VSDATA::Ev_ntf_PAL_VSDATA()
    : dataBuffer(new uint8_t[kMT_VsDataBufferSize]()), dataBufferSize(kMT_VsDataBufferSize) {}

Ev_ntf_PAL_VSDATA::~Ev_ntf_PAL_VSDATA() {
    delete[] dataBuffer;
}

}  // namespace MTCore
