// The host's per-board information for its configuration service (library MT_SrvDataDef): the
// hardware-service library fills one MT_SrvHwInfoElem per usable module into a host-owned map.
#ifndef TARNWICK_MTCORE_MT_SRVDATADEF_H
#define TARNWICK_MTCORE_MT_SRVDATADEF_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace MTCore {

class MT_SrvHwInfoElem {
  public:
    MT_SrvHwInfoElem();
    MT_SrvHwInfoElem(const MT_SrvHwInfoElem& other);
    MT_SrvHwInfoElem& operator=(const MT_SrvHwInfoElem& other);
    virtual ~MT_SrvHwInfoElem();

    int32_t logicalID = 0;               // logical board id (the map key)
    std::string boardDescription;        // product text
    uint32_t noOfSpans = 0;              // number of spans
    std::vector<uint32_t> portsPerSpan;  // channel count per span; index 0 is span 1
    std::string serialNo;                // serial number in decimal
    bool boardEnabled = false;
};

// Logical board id to board. Owned by the host; the service library inserts and reads.
using HwInfoMap = std::map<int32_t, MT_SrvHwInfoElem>;

}  // namespace MTCore

#endif
