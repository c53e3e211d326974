// CSystemMgr: the process-wide system manager of the HAL. It owns the event pump, loads and
// writes back the HAL's one registry setting ("RxDataPollDuration" under the host service's
// parameters) and registers the HAL as an event-log source ("TarnwickHal").
//
// The single instance lives in an ACE unmanaged singleton (SystemMgrSingleton.h). Create and
// Destroy are called from the exports only, on the host's thread; the system-created flag and the
// poll setting are written only there.
#ifndef TARNWICK_HAL_SYSTEMMGR_H
#define TARNWICK_HAL_SYSTEMMGR_H

#include <cstdint>

#include "TraceObject.h"

class CShimPalMgr;

class CSystemMgr : public CTraceObject {
  public:
    // Trace group "TIM_MANAGER", filter "HalSystemMgr".
    CSystemMgr();
    // Clears the system-created flag.
    ~CSystemMgr() override;

    // Loads and writes back the poll setting, registers the event-log source, creates the pump
    // and starts it. True (and the system-created flag set) when the pump's threads run; on
    // failure everything created here is released again (Destroy).
    bool Create();
    // Stops and releases the pump; clears the system-created flag.
    void Destroy();

    // The pump, null outside Create/Destroy.
    CShimPalMgr* Pump() const { return m_pump; }

    // Process-wide state: set only while a system runs; the receive-poll setting (default 50).
    static bool IsSystemCreated();
    static uint32_t RxDataPollDuration();

  private:
    // Registry work (SystemMgrRegistry.cpp): failures are silent, the defaults stand.
    void LoadRxDataPollDuration();
    void RegisterEventSource();
    static void SetRxDataPollDuration(uint32_t value);

    CShimPalMgr* m_pump = nullptr;
};

#endif
