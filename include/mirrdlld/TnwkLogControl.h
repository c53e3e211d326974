/*
 * Control face of the logging library, for tools and tests: switch settings at run time, choose
 * the output, and observe every written message.
 *
 * Settings can also be switched at initialisation through the environment variable
 * TNWKLOG_SETTINGS (see README.md): a ';'-separated list of NAME=LEVELS, where NAME is a filter
 * name, a group name or '*', and LEVELS a ','-separated list of levels or ranges ("7-8"), each
 * optionally prefixed by '-' to switch it off. Example: "ShimPALMgr=7,8;TIM Events=3".
 * The output is chosen by TNWKLOG_OUTPUT: "stderr" (default), "syslog", "file:PATH" or "none".
 */
#ifndef TARNWICK_TNWKLOG_CONTROL_H
#define TARNWICK_TNWKLOG_CONTROL_H

#ifdef __cplusplus
extern "C" {
#endif

/* One written message, as handed to observers. Pointers are valid during the call only. */
typedef struct TnwkLogRecord {
    const char* filterName;
    const char* group;
    int level;
    const char* text;
    const char* file;
    int line;
    unsigned long threadId;
} TnwkLogRecord;

typedef void (*TnwkLogObserver)(const TnwkLogRecord* record, void* context);

/* Switches a level on (value non-zero) or off for every filter whose name or group equals
 * nameOrGroup ('*' matches all), now and for filters added later. Calls the filters' setting
 * callbacks. Returns the number of existing filters changed, or -1 on bad input. */
int TnwkLogSetSetting(const char* nameOrGroup, int level, int value);
/* Applies a TNWKLOG_SETTINGS-style text; returns 0, or -1 when it cannot be parsed (nothing is
 * changed then). */
int TnwkLogApplySettings(const char* text);
/* Forgets every rule set with TnwkLogSetSetting/TnwkLogApplySettings (filters keep their values). */
void TnwkLogClearRules(void);

/* Output: "stderr", "syslog", "file:PATH" or "none". Returns 0, or -1 for an unknown output or a
 * file that cannot be opened (the output is then unchanged). */
int TnwkLogSetOutput(const char* output);

/* Observers see every written message, after the output. Returns an id for removal, or -1. */
int TnwkLogAddObserver(TnwkLogObserver observer, void* context);
void TnwkLogRemoveObserver(int id);

#ifdef __cplusplus
}
#endif

#endif
