// Event ids, result codes and fixed values shared by the HAL runtime.
#ifndef TARNWICK_HAL_DEFINES_H
#define TARNWICK_HAL_DEFINES_H

#include <cstddef>
#include <cstdint>

namespace hal {

// PAL (host) event ids that the runtime itself acts on. The full set, with the translator of each,
// is the event catalogue (EventCatalogue.cpp).
namespace pal {
constexpr uint32_t req_PAL_STARTPAL = 0x3acf0006u;
constexpr uint32_t req_PAL_STOPPAL = 0x3acf0008u;
constexpr uint32_t req_PAL_REQHNDLS = 0x3acf0002u;
constexpr uint32_t req_PAL_RETHNDLS = 0x3acf0004u;
constexpr uint32_t req_PAL_GETHWINFO = 0x3acf000au;
constexpr uint32_t req_PAL_VSSTARTTX = 0x3ad20002u;
constexpr uint32_t req_PAL_GSEND = 0x3ac70002u;
constexpr uint32_t req_PAL_DDETECT = 0x3ac60002u;
constexpr uint32_t req_PAL_MAKECALL = 0x3ac8001cu;
constexpr uint32_t req_PAL_DROPCALL = 0x3ac8001au;
// Administrative requests without a translator or a name of the HAL's own: answered as
// unsupported, without the "Unsupported event" line.
constexpr uint32_t req_PAL_SILENT_ADMIN_1 = 0x3acf0012u;
constexpr uint32_t req_PAL_SILENT_ADMIN_2 = 0x3acf0014u;

constexpr uint32_t cmp_PAL_REQHNDLS = 0x3ccf0003u;
constexpr uint32_t cmp_PAL_RETHNDLS = 0x3ccf0005u;
constexpr uint32_t cmp_PAL_STARTPAL = 0x3ccf0007u;
constexpr uint32_t cmp_PAL_STOPPAL = 0x3ccf0009u;
constexpr uint32_t cmp_PAL_GETHWINFO = 0x3ccf000bu;
constexpr uint32_t cmp_PAL_DDETECT = 0x3cc60003u;
constexpr uint32_t cmp_PAL_RRECORD = 0x3cc50005u;
constexpr uint32_t cmp_PAL_PPLAY = 0x3cc4000bu;
constexpr uint32_t cmp_PAL_MAKECALL = 0x3cc8001du;
constexpr uint32_t cmp_PAL_DROPCALL = 0x3cc8001bu;

constexpr uint32_t ntf_PAL_DISCONNECT = 0x3ec8271du;
constexpr uint32_t ntf_PAL_CALLOFFERED = 0x3ec82711u;
constexpr uint32_t ntf_PAL_MEDIADETECT = 0x3ec82723u;
}  // namespace pal

// TAL (board library) event ids that the runtime itself acts on.
namespace tal_id {
// Span-activation completions: no translator, discarded by the pump.
constexpr uint32_t cmp_TAL_SPANACTIVATE = 0x103000u;
constexpr uint32_t cmp_TAL_SPANACTIVATE_2 = 0x103002u;
// Completions and notifications whose translators legitimately produce no host object.
constexpr uint32_t cmp_TAL_PVSDATA = 0x106007u;
constexpr uint32_t ntf_TAL_RVSDATA = 0x207001u;
constexpr uint32_t ntf_TAL_RVSDIGIT = 0x207002u;
}  // namespace tal_id

// Result and detail codes of the completion that answers an unsupported request.
constexpr int32_t kUnsupportedResultCode = -102021;
constexpr int32_t kUnsupportedDetailCode = -102102;

// TAL_WaitEvent timeout of the pump's TAL thread: a stop request is seen within this time.
constexpr uint32_t kTalWaitTimeoutMs = 5000;
// TAL_WaitEvent result: the library has stopped delivering events.
constexpr int kTalWaitStopped = 4;
// Pause of the PAL thread after MTpal_GetNextEvent threw.
constexpr int kGetNextEventRetryMs = 1000;

// Delivery states of the pump (CShimPalMgr::m_state).
enum DeliveryState : int {
    kStatePalThreadStopped = 0,  // only cmp_PAL_STOPPAL goes out (and ends the TAL loop)
    kStatePalNotStarted = 1,     // only cmp_PAL_STARTPAL goes out
    kStateNoHandles = 2,         // start-up and handle traffic only
    kStateHandlesHeld = 3,       // everything goes out
};

// Text buffers: trace lines and event dumps, file paths.
constexpr size_t kTraceBufferSize = 8192;
constexpr size_t kPathBufferSize = 260;  // at most 259 characters and the terminator

// The receive-poll setting: registry location and default.
constexpr const char* kServiceParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\mirrservice\\Parameters";
constexpr const char* kRxDataPollDurationValue = "RxDataPollDuration";
constexpr uint32_t kRxDataPollDurationDefault = 50;

// The HAL's event-log source.
constexpr const char* kEventLogSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TarnwickHal";
constexpr const char* kEventMessageFileValue = "EventMessageFile";
constexpr const char* kEventMessageFilePrefix = "%RAVI_PATH%\\sys\\";
constexpr const char* kEventMessageFileName = "mt_tarnwick_hal.dll";
constexpr const char* kTypesSupportedValue = "TypesSupported";
constexpr uint32_t kTypesSupported = 7;

// Log directory and files.
constexpr const char* kLogRootVariable = "RAVI_PATH";
constexpr const char* kLogSubdirectory = "/dat";
constexpr const char* kPanicFileName = "tarnwick_hal.txt";
constexpr const char* kLoggingErrorFileName = "tarnwick_log.txt";
constexpr const char* kLogApplicationName = "MSS_TIM_HAL";

}  // namespace hal

#endif
