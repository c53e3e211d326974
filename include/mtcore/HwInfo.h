// The host's per-board hardware information as the HAL reports it in cmp_PAL_GETHWINFO.
#ifndef TARNWICK_MTCORE_HWINFO_H
#define TARNWICK_MTCORE_HWINFO_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mtcore/TransInfo.h"

namespace MTCore {

// One board. A plain value (copyable); the defaults below are what the host's constructor leaves
// in fields that the HAL does not fill.
class Pal_Ev_HwInfoElem : public Core_TransInfo {
  public:
    Pal_Ev_HwInfoElem();
    Pal_Ev_HwInfoElem(const Pal_Ev_HwInfoElem& other);
    Pal_Ev_HwInfoElem& operator=(const Pal_Ev_HwInfoElem& other);
    ~Pal_Ev_HwInfoElem() override;

    int32_t logicalID = 0;                               // logical board id
    std::string boardDescription;                        // product text
    int32_t noOfSpans = 0;                               // spans the board reports
    std::vector<std::pair<int32_t, int32_t>> spanTypes;  // (span type code, subtype code) per span
    std::vector<int32_t> lines;                          // line count per span entry, in order
    int32_t noOfVoiceResources = 0;
    std::string serialNo;
    bool boardEnabled = false;
    std::string hostBusFormat;
    std::string bdTechnologyName;
    std::string tdmBusMediaType;
    std::string tdmBusTechnologyName;
    std::string pcdFileName;
    std::string boardRevision;
    std::string boardNetType;  // "T1", "E1", "ANALOG" or "UNKNOWN"
};

}  // namespace MTCore

#endif
