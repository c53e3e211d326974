#include "mtcore/HwInfo.h"

namespace MTCore {

Pal_Ev_HwInfoElem::Pal_Ev_HwInfoElem() = default;
Pal_Ev_HwInfoElem::Pal_Ev_HwInfoElem(const Pal_Ev_HwInfoElem& other) = default;
Pal_Ev_HwInfoElem& Pal_Ev_HwInfoElem::operator=(const Pal_Ev_HwInfoElem& other) = default;
Pal_Ev_HwInfoElem::~Pal_Ev_HwInfoElem() = default;

}  // namespace MTCore
