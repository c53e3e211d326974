#include "mtcore/MT_SrvDataDef.h"

namespace MTCore {

MT_SrvHwInfoElem::MT_SrvHwInfoElem() = default;
MT_SrvHwInfoElem::MT_SrvHwInfoElem(const MT_SrvHwInfoElem& other) = default;
MT_SrvHwInfoElem& MT_SrvHwInfoElem::operator=(const MT_SrvHwInfoElem& other) = default;
MT_SrvHwInfoElem::~MT_SrvHwInfoElem() = default;

}  // namespace MTCore
