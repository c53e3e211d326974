// Translators of the span family: alarm information and configuration, span parameters and the
// alarm notification. The board numbers alarms with codes of its own; every code crosses one fixed
// table, in both directions.
#ifndef TARNWICK_HAL_ALARMEVENTS_H
#define TARNWICK_HAL_ALARMEVENTS_H

#include <cstdint>

#include "EventBase.h"
#include "mtcore/Events.h"

namespace hal {

// TAL alarm code -> PAL alarm code: the first row of the table that matches; 2002 for a code in no
// row.
int32_t TalToPalAlarm(int32_t talCode);
// PAL alarm code -> TAL alarm code: the first row that matches (so 2003 becomes 300); 403 for a
// code in no row.
int32_t PalToTalAlarm(int32_t palCode);

}  // namespace hal

// req_PAL_SETALRMCONF: 0x500012 the TAL codes and 0x500056 the configured flags of every entry of
// alarmList, however many there are.
class CProcess_req_PAL_SETALRMCONF : public CSimplePalEvent {
  public:
    CProcess_req_PAL_SETALRMCONF(uint32_t talId, uint32_t palId, const char* kindName);
    TAL_EVENT CreateTalEvent(MTCore::Core_TransInfo* request) override;
};

// cmp_PAL_ALARMINFO and cmp_PAL_GETALRMCONF: appends (PAL code, flag) for every code of 0x500012,
// the flags taken from flagParameterId (0x500013 raised, 0x500056 configured). A flag array that is
// missing or shorter than the code array counts the missing flags as 0.
class CAlarmListCompletion : public CSimpleTalEvent {
  public:
    CAlarmListCompletion(uint32_t talId, uint32_t palId, const char* kindName,
                         uint32_t flagParameterId, const char* traceName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;

  private:
    const uint32_t m_flagParameterId;
    const char* const m_traceName;
};

class CProcess_cmp_TAL_ALARMINFO : public CAlarmListCompletion {
  public:
    CProcess_cmp_TAL_ALARMINFO(uint32_t talId, uint32_t palId, const char* kindName);
};

class CProcess_cmp_TAL_GETALRMCONF : public CAlarmListCompletion {
  public:
    CProcess_cmp_TAL_GETALRMCONF(uint32_t talId, uint32_t palId, const char* kindName);
};

// cmp_PAL_GETSPANPARAMS: hands the request's own span-parameter set back, with every 0x500014
// stored in it. A span parameter is an integer array of two entries (key, value); one of another
// shape is skipped with a level-2 line.
class CProcess_cmp_TAL_GETSPANPARAMS : public CSimpleTalEvent {
  public:
    CProcess_cmp_TAL_GETSPANPARAMS(uint32_t talId, uint32_t palId, const char* kindName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
};

// ntf_PAL_ALARM: alarmCode from 0x500010 through the table, alarmState from 0x500011.
class CProcess_ntf_TAL_ALARM : public CSimpleNotifyTalEvent {
  public:
    CProcess_ntf_TAL_ALARM(uint32_t talId, uint32_t palId, const char* kindName);
    MTCore::Core_TransInfo* CreatePalEvent(TAL_EVENT event) override;
};

#endif
