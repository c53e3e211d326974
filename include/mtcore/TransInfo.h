// Host event objects: the common header every request, completion and notification carries.
// Payload types for each event kind are declared in mtcore/Events.h.
#ifndef TARNWICK_MTCORE_TRANSINFO_H
#define TARNWICK_MTCORE_TRANSINFO_H

#include <cstddef>
#include <cstdint>

namespace MTCore {

// Every host event object derives from Core_TransInfo. Objects are created and freed only by the
// host's factory (MT_OEM); code outside the host reaches fields by name.
//
// Every Core_TransInfo (and so every event object, hardware-information element and voice-data
// block) is counted while it exists; MTCore::liveTransInfoObjects() gives the count, so a test can
// assert that a flow leaked nothing. Construction and destruction live in MT_CoreUtils.
class Core_TransInfo {
  public:
    explicit Core_TransInfo(uint32_t id = 0);
    virtual ~Core_TransInfo();
    Core_TransInfo(const Core_TransInfo& other);
    Core_TransInfo& operator=(const Core_TransInfo&) = default;

    uint32_t eventId = 0;        // PAL event id
    int32_t resultCode = 0;      // 0 for success
    int32_t detailCode = 0;      // 0 for success
    uint32_t handle = 0;         // PAL handle (MT_HandleUtils)
    uint32_t headerTag = 0;      // stream tag of stream events
    void* replyQueue = nullptr;  // stream queue (MTCore::StreamQueue*) of stream events
};

using TransInfo = Core_TransInfo;

// Number of Core_TransInfo objects (of any derived type) alive in the process right now.
std::size_t liveTransInfoObjects();

}  // namespace MTCore

#endif
