/*
 * Driver and logging library: the leveled trace facility.
 *
 * A caller owns filters, each registered under a key of its choosing (typically its own address).
 * A filter has a name, a group and up to 32 settings, one per level; a setting is on or off. A
 * message is written when the filter's setting for its level is on.
 *
 * TnwkLogIsInterested is on the path of every traced function: it takes no lock and allocates
 * nothing. Every function may be called from several threads at once.
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

int TnwkLogInitialized(void);
/* Initialises the library once per process; later calls return 0 and change nothing. */
int TnwkLogInit(const char* applicationName, TnwkLogErrorCallback errorCallback, int reserved,
                int enable);

/* A filter template; TnwkLogAddFilter copies it under a key, after which the template may be
 * deleted. Returns null on bad input. */
TNWKLOG_FILTER TnwkLogFilterNew(const char* name, const char* group, int enable, int reserved,
                                TnwkLogSettingCallback callback, void* context);
void TnwkLogFilterDelete(TNWKLOG_FILTER filter);
int TnwkLogAddFilter(const void* key, TNWKLOG_FILTER filter);
int TnwkLogRemoveFilter(const void* key);
int TnwkLogSetFilterName(const void* key, const char* name);
/* Adds (or redefines) the setting for a level with its name and default value. */
int TnwkLogFilterAppendSetting(const void* key, int level, const char* name, int defaultValue);

/* Non-zero when the key's filter wants messages of that level; 0 for an unknown key. */
int TnwkLogIsInterested(const void* key, int level);
/* Writes one message for the key at the level, with its source location. */
int TnwkLogLogMsg(const void* key, int level, const char* text, const char* file, int line);

#ifdef __cplusplus
}
#endif

#endif
