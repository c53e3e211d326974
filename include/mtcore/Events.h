// Host event kinds: one id constant per kind (MTCore::ids) and one payload type per kind that
// carries data (Ev_<kind name>). Kinds without a payload are plain Core_TransInfo objects.
//
// Requests are 0x3a..../0x3b...., completions 0x3c..../0x3d...., notifications 0x3e.....; the
// completion of a request has the request id + 0x02000001 (MToem_CompletionId).
//
// Ownership of pointer fields: the object does NOT own the parameter sets, buffers and queues its
// pointer fields name (callParams, netParams, spanParams, txParams, voiceDataBuffer, streamQueue):
// the host that made the request owns them and keeps them alive until the request is answered
// (a transmit stream's queue until the stream has ended). The two exceptions are stated at their
// fields: cmp_PAL_GETCALLINFO's callParams and ntf_PAL_VSDATA's dataBuffer belong to their object
// and are freed with it; those two types cannot be copied.
//
// Fields of the board's parameters are named after what they carry; where the system gives a
// value no meaning of its own, the field names the TAL parameter it feeds (recordFlag33 feeds
// parameter 0x500033).
#ifndef TARNWICK_MTCORE_EVENTS_H
#define TARNWICK_MTCORE_EVENTS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mtcore/HwInfo.h"
#include "mtcore/ParameterSets.h"
#include "mtcore/TransInfo.h"

namespace MTCore {

class MThvdr_VoiceDataBuffer;
class StreamQueue;

// Media kinds of ntf_PAL_MEDIADETECT's mediaType.
enum : int32_t {
    eNI_UNKNOWN = 1,
    eNI_DISCARDED = 2,
    eNI_CADENCE = 3,
    eNI_FAX = 4,
    eNI_FAX_CNG = 5,
    eNI_FAX_CED = 6,
    eNI_IN_PROGRESS = 7,
    eNI_PVD = 8,
    eNI_MEDIA_NA = 9,
    eNI_PAMD = 10,
};

// ---- Administration ------------------------------------------------------------------------

struct Ev_req_PAL_STARTPAL : Core_TransInfo {
    uint32_t startContext = 0;  // start-up value, passed on to every transmit-stream start
    std::string startString;    // echoed in the completion
};

struct Ev_cmp_PAL_STARTPAL : Core_TransInfo {
    std::string startString;  // the request's startString
};

struct Ev_req_PAL_REQHNDLS : Core_TransInfo {
    uint8_t boardLogicalId = 0;  // logicalID of the board (cmp_PAL_GETHWINFO), 0..255
};

struct Ev_req_PAL_RETHNDLS : Core_TransInfo {
    uint32_t boardLogicalId = 0;  // logicalID of the board
};

struct Ev_cmp_PAL_REQHNDLS : Core_TransInfo {
    std::vector<uint32_t> handles;  // PAL handles granted, in the order the board gave them
};

struct Ev_cmp_PAL_GETHWINFO : Core_TransInfo {
    int32_t noOfBoards = 0;                     // elements in hwInfoList
    std::vector<Pal_Ev_HwInfoElem> hwInfoList;  // one per reported board
};

// ---- Span alarms and parameters ------------------------------------------------------------

struct AlarmEntry {
    int32_t code = 0;  // PAL alarm code
    uint8_t flag = 0;  // raised (cmp_PAL_ALARMINFO) or configured (configuration events)
};

struct Ev_req_PAL_SETALRMCONF : Core_TransInfo {
    std::vector<AlarmEntry> alarmList;
};
using Ev_cmp_PAL_ALARMINFO = Ev_req_PAL_SETALRMCONF;
using Ev_cmp_PAL_GETALRMCONF = Ev_req_PAL_SETALRMCONF;

struct Ev_req_PAL_GETSPANPARAMS : Core_TransInfo {
    SpanParameterSet* spanParams = nullptr;  // not owned; the completion points at the same set
};
using Ev_cmp_PAL_GETSPANPARAMS = Ev_req_PAL_GETSPANPARAMS;

struct Ev_ntf_PAL_ALARM : Core_TransInfo {
    int32_t alarmCode = 0;    // PAL alarm code
    bool alarmState = false;  // true raised, false cleared
};

// ---- TDM bus -------------------------------------------------------------------------------

// The request's handle names the first resource, peerHandle the second.
struct Ev_req_PAL_ROUTE : Core_TransInfo {
    uint32_t peerHandle = 0;  // PAL handle of the second resource
};
using Ev_req_PAL_ATTACH = Ev_req_PAL_ROUTE;
using Ev_req_PAL_DETACH = Ev_req_PAL_ROUTE;
using Ev_req_PAL_LISTEN = Ev_req_PAL_ROUTE;
using Ev_req_PAL_UNROUTE = Ev_req_PAL_ROUTE;

// ---- Calls and lines -----------------------------------------------------------------------

struct Ev_req_PAL_MAKECALL : Core_TransInfo {
    CallParameterSet* callParams = nullptr;  // not owned; may be null
    IntParameterSet* netParams = nullptr;    // not owned; may be null
    uint32_t CR = 0;                         // call reference chosen by the host
};

struct Ev_cmp_PAL_MAKECALL : Core_TransInfo {
    uint32_t CR = 0;     // the request's CR
    int32_t cpInfo = 0;  // call-progress information
    int32_t reason = 0;
};

struct Ev_req_PAL_DROPCALL : Core_TransInfo {
    uint32_t CR = 0;
    int32_t terminationCode = 0;  // 1 busy, 2 rejected, 3 no answer, 4 unallocated number
};

struct Ev_cmp_PAL_DROPCALL : Core_TransInfo {
    uint32_t CR = 0;
};

struct Ev_req_PAL_TRANSFERBLIND : Core_TransInfo {
    uint32_t CR = 0;                         // call reference of the call to transfer
    CallParameterSet* callParams = nullptr;  // not owned; may be null
};

struct Ev_ntf_PAL_CALLOFFERED : Core_TransInfo {
    // Takes the next call reference of the process (1, 2, 3, ...; never 0).
    Ev_ntf_PAL_CALLOFFERED();
    std::string callerId;
    std::string phoneNumber;
    uint32_t CR = 0;  // assigned when the host creates the object
};

struct Ev_ntf_PAL_DISCONNECT : Core_TransInfo {
    uint32_t CR = 0;
    int32_t reason = 0;  // 1 busy, 2 rejected, 3 no answer, 4 unallocated number, 0 other
};

struct Ev_ntf_PAL_MEDIADETECT : Core_TransInfo {
    int32_t mediaType = 0;  // eNI_*; 0 until set
};

struct Ev_cmp_PAL_GETCALLINFO : Core_TransInfo {
    // Comes with an empty set of its own.
    Ev_cmp_PAL_GETCALLINFO();
    ~Ev_cmp_PAL_GETCALLINFO() override;
    Ev_cmp_PAL_GETCALLINFO(const Ev_cmp_PAL_GETCALLINFO&) = delete;
    Ev_cmp_PAL_GETCALLINFO& operator=(const Ev_cmp_PAL_GETCALLINFO&) = delete;

    CallParameterSet* callParams = nullptr;  // OWNED by this object, freed with it
};

struct Ev_req_PAL_SETCHSTATE : Core_TransInfo {
    int32_t channelState = 0;  // 0..3
};
using Ev_cmp_PAL_GETCHSTATE = Ev_req_PAL_SETCHSTATE;

struct Ev_req_PAL_SETPARAMS : Core_TransInfo {
    IntParameterSet* netParams = nullptr;  // not owned; may be null
};
using Ev_req_PAL_GETPARAMS = Ev_req_PAL_SETPARAMS;
using Ev_cmp_PAL_GETPARAMS = Ev_req_PAL_SETPARAMS;

// ---- Play and receive stream ---------------------------------------------------------------

struct Ev_req_PAL_PPLAY : Core_TransInfo {
    std::string text;         // what to play (TAL 0x500027)
    int32_t coder = 0;        // host coder value (TAL 0x500028 through the coder table)
    int32_t coderParam = 0;   // TAL 0x500029
    uint8_t bargeIn = 0;      // barge-in enable (TAL 0x50002a)
    uint8_t flushDigits = 0;  // flush the digit buffer first (TAL 0x50002b)
    int32_t position = 0;     // start position (TAL 0x500026)
    int32_t volume = 0;       // TAL 0x50002c
    int32_t speed = 0;        // TAL 0x50002d
};

struct Ev_req_PAL_VSSTARTRX : Core_TransInfo {
    // Not owned: the host fills it while the stream runs and keeps it until cmp_PAL_VSSTARTRX.
    MThvdr_VoiceDataBuffer* voiceDataBuffer = nullptr;
    int32_t coder = 0;        // TAL 0x500028 through the coder table
    int32_t coderParam = 0;   // TAL 0x500029
    uint8_t bargeIn = 0;      // TAL 0x50002a
    uint8_t flushDigits = 0;  // TAL 0x50002b
    int32_t volume = 0;       // TAL 0x50002c
    int32_t speed = 0;        // TAL 0x50002d
};

struct Ev_req_PAL_PJUMP : Core_TransInfo {
    int32_t position = 0;  // TAL 0x500026
};

struct Ev_req_PAL_PSPEED : Core_TransInfo {
    int32_t speed = 0;  // TAL 0x50002d
};
using Ev_req_PAL_VSSPEEDRX = Ev_req_PAL_PSPEED;

struct Ev_req_PAL_PVOLUME : Core_TransInfo {
    int32_t volume = 0;  // TAL 0x50002c
};
using Ev_req_PAL_VSVOLUMERX = Ev_req_PAL_PVOLUME;

struct Ev_cmp_PAL_PPLAY : Core_TransInfo {
    uint8_t bargeIn = 0;  // 1 when the play was barged in on
    int32_t bytes = 0;    // bytes played
    int32_t time = 0;     // play time
};
using Ev_cmp_PAL_VSSTARTRX = Ev_cmp_PAL_PPLAY;

// ---- Record and transmit stream ------------------------------------------------------------

struct Ev_req_PAL_RRECORD : Core_TransInfo {
    std::string text;           // where to record (TAL 0x500027)
    int32_t coder = 0;          // TAL 0x500028 through the coder table
    int32_t coderParam = 0;     // TAL 0x500029
    uint8_t recordFlag33 = 0;   // TAL 0x500033
    int32_t bargeIn = 0;        // TAL 0x50002a
    uint8_t flushDigits = 0;    // TAL 0x50002b
    int32_t recordValue34 = 0;  // TAL 0x500034
    int32_t recordValue35 = 0;  // TAL 0x500035
    int32_t recordValue36 = 0;  // TAL 0x500036
    int32_t recordValue37 = 0;  // TAL 0x500037
    int32_t recordValue38 = 0;  // TAL 0x500038
    uint8_t recordFlag39 = 0;   // TAL 0x500039
};

struct Ev_cmp_PAL_RRECORD : Core_TransInfo {
    int32_t term = 0;    // termination reason
    int32_t bytes = 0;   // bytes recorded
    int32_t silLen = 0;  // trailing silence
};

struct Ev_req_PAL_VSGETPARAMSTX : Core_TransInfo {
    IntParameterSet* txParams = nullptr;  // not owned; MTVSTX_* keys; may be null
};
using Ev_req_PAL_VSSETPARAMSTX = Ev_req_PAL_VSGETPARAMSTX;
using Ev_cmp_PAL_VSGETPARAMSTX = Ev_req_PAL_VSGETPARAMSTX;

struct Ev_req_PAL_VSSTARTTX : Core_TransInfo {
    IntParameterSet* txParams = nullptr;  // not owned; MTVSTX_* keys; may be null
    // Not owned; where the stream's data and digits go (null: the header's replyQueue). The host
    // keeps the queue, and this request, until the stream has ended.
    StreamQueue* streamQueue = nullptr;
    uint32_t streamTag = 0;  // copied into headerTag of every stream event
};

// Capacity of the data area of every ntf_PAL_VSDATA the factory makes.
inline constexpr uint32_t kMT_VsDataBufferSize = 16384;

struct Ev_ntf_PAL_VSDATA : Core_TransInfo {
    // Comes with a data area of kMT_VsDataBufferSize bytes.
    Ev_ntf_PAL_VSDATA();
    ~Ev_ntf_PAL_VSDATA() override;
    Ev_ntf_PAL_VSDATA(const Ev_ntf_PAL_VSDATA&) = delete;
    Ev_ntf_PAL_VSDATA& operator=(const Ev_ntf_PAL_VSDATA&) = delete;

    uint8_t* dataBuffer = nullptr;  // OWNED by this object (new[]), freed with it; may be null
    uint32_t dataSize = 0;          // bytes used in dataBuffer
    uint32_t dataBufferSize = 0;    // capacity of dataBuffer: never write past it
};

struct Ev_ntf_PAL_VSDTMF : Core_TransInfo {
    uint8_t digit = 0;
};

// ---- Tones and digits ----------------------------------------------------------------------

struct Ev_req_PAL_GSEND : Core_TransInfo {
    std::string signalString;  // signals to generate
};

struct Ev_req_PAL_DDETECT : Core_TransInfo {
    int32_t detectValue36 = 0;  // TAL 0x500036
    int32_t detectValue35 = 0;  // TAL 0x500035
    int32_t detectValue34 = 0;  // TAL 0x500034
    // (pattern id 1..5, pattern text) in the host's order; a match on any ends the detection.
    std::vector<std::pair<uint32_t, std::string>> patterns;
};

struct Ev_cmp_PAL_DDETECT : Core_TransInfo {
    uint32_t patternId = 0;  // id of the pattern that matched
    std::string pattern;     // digits detected
};

// ---- Ids -----------------------------------------------------------------------------------

namespace ids {
#define MT_EVENT_KIND(name, id, payload) inline constexpr uint32_t name = id;
#include "mtcore/EventKinds.def"
#undef MT_EVENT_KIND
}  // namespace ids

}  // namespace MTCore

#endif
