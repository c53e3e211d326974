/*
 * Driver and logging library: the leveled trace facility.
 *
 * A caller owns filters, each registered under a key of its choosing (typically its own address).
 * A filter has a name, a group and up to 32 settings, one per level; a setting is on or off. A
 * message is written when the filter's setting for its level is on.
 *
 * TnwkLogIsInterested is on the path of every traced function: it takes no lock and allocates
 * nothing. Every function may be called from several threads at once.
 *
 * Functions returning int answer 0 on success and -1 on failure (bad input, unknown key), unless
 * stated otherwise. Callbacks are called with no lock of the library held, so they may call it.
 */
#ifndef TARNWICK_TNWKLOG_H
#define TARNWICK_TNWKLOG_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TnwkLogFilter* TNWKLOG_FILTER;

/* Called when a setting of a filter is switched at run time: (setting index = level, new value,
 * the context given to TnwkLogFilterNew). */
typedef void (*TnwkLogSettingCallback)(int setting, int value, void* context);
/* Called when the library itself fails (e.g. cannot write its output): (0, 0, message, source
 * file, line). */
typedef void (*TnwkLogErrorCallback)(int reserved1, int reserved2, const char* message,
                                     const char* file, int line);

/* 1 once TnwkLogInit has run, else 0. The other functions work before it, with the defaults. */
int TnwkLogInitialized(void);
/* Initialises the library once per process; later calls return 0 and change nothing. Reads
 * TNWKLOG_OUTPUT and TNWKLOG_SETTINGS (TnwkLogControl.h); a bad value is reported through
 * errorCallback and ignored. applicationName is the syslog identity. enable 0 silences every
 * filter (TnwkLogIsInterested answers 0). */
int TnwkLogInit(const char* applicationName, TnwkLogErrorCallback errorCallback, int reserved,
                int enable);

/* A filter template; TnwkLogAddFilter copies it under a key, after which the template may be
 * deleted. Returns null on bad input (null name; a null group is the empty group). A filter made
 * with enable 0 wants no level. The callback, if any, is called when a setting of the filter is
 * switched by TnwkLogSetSetting/TnwkLogApplySettings/TNWKLOG_SETTINGS and its value changes; it is
 * never called once TnwkLogRemoveFilter for its key has returned. */
TNWKLOG_FILTER TnwkLogFilterNew(const char* name, const char* group, int enable, int reserved,
                                TnwkLogSettingCallback callback, void* context);
void TnwkLogFilterDelete(TNWKLOG_FILTER filter);
/* Registers the filter under key (non-null), replacing any filter already under that key. The
 * settings rules in force (TnwkLogControl.h) apply at once. At most TNWKLOG_MAX_FILTERS filters
 * are registered at a time: beyond that it returns -1 and reports through the error callback. */
int TnwkLogAddFilter(const void* key, TNWKLOG_FILTER filter);
/* After it returns the key is unknown and the filter's callback is no longer called (a call in
 * progress on another thread has ended). */
int TnwkLogRemoveFilter(const void* key);
/* Renames the filter; the rules for the new name apply at once. */
int TnwkLogSetFilterName(const void* key, const char* name);
/* Adds (or redefines) the setting for a level (0..31) with its name and default value; a rule in
 * force for the filter and level overrides the default. Levels without a setting are off until a
 * rule switches them on. */
int TnwkLogFilterAppendSetting(const void* key, int level, const char* name, int defaultValue);

/* Non-zero when the key's filter wants messages of that level; 0 for an unknown key. */
int TnwkLogIsInterested(const void* key, int level);
/* Writes one message for the key at the level, with its source location (file may be null), as
 * one line to the output, then hands it to the observers. Returns 0 when written or when the
 * filter does not want the level (nothing is written then); -1 for an unknown key, a null text, a
 * level outside 0..31 or an output that failed (reported through the error callback). */
int TnwkLogLogMsg(const void* key, int level, const char* text, const char* file, int line);

#ifdef __cplusplus
}
#endif

#endif
