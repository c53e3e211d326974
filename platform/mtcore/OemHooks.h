// Fault injection of the host factory, reached by the test face (HostSide). Not part of the
// host's interface.
#ifndef TARNWICK_PLATFORM_MTCORE_OEMHOOKS_H
#define TARNWICK_PLATFORM_MTCORE_OEMHOOKS_H

namespace MTCore::oemhooks {

// The next ntf_PAL_VSDATA the factory makes comes without a data area (dataBuffer null).
void failNextVsDataBuffer();
// Cancels a pending failNextVsDataBuffer.
void clearFaults();

}  // namespace MTCore::oemhooks

#endif
