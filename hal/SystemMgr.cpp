#include "SystemMgr.h"

#include "Defines.h"
#include "ShimPalMgr.h"

namespace {

bool g_systemCreated = false;
uint32_t g_rxDataPollDuration = hal::kRxDataPollDurationDefault;

}  // namespace

CSystemMgr::CSystemMgr() : CTraceObject(0, "TIM_MANAGER") {
    SetFilterName("%s", "HalSystemMgr");
}

CSystemMgr::~CSystemMgr() {
    // Normally released by Destroy already.
    delete m_pump;
    m_pump = nullptr;
    g_systemCreated = false;
}

bool CSystemMgr::IsSystemCreated() {
    return g_systemCreated;
}

uint32_t CSystemMgr::RxDataPollDuration() {
    return g_rxDataPollDuration;
}

void CSystemMgr::SetRxDataPollDuration(uint32_t value) {
    g_rxDataPollDuration = value;
}

bool CSystemMgr::Create() {
    HAL_FUNCTION_TRACE("CSystemMgr::Create");
    LoadRxDataPollDuration();
    RegisterEventSource();

    if (m_pump == nullptr) m_pump = new CShimPalMgr();
    const bool result = m_pump->Create();
    if (result) {
        g_systemCreated = true;
    } else {
        Destroy();
    }
    HAL_FUNCTION_RESULT(result);
    return result;
}

void CSystemMgr::Destroy() {
    HAL_FUNCTION_TRACE("CSystemMgr::Destroy");
    if (m_pump != nullptr) {
        m_pump->Destroy();
        delete m_pump;
        m_pump = nullptr;
    }
    g_systemCreated = false;
}
