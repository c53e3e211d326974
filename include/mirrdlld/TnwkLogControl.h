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

/* How many filters can be registered at once. */
#define TNWKLOG_MAX_FILTERS 4096

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
 * callbacks. Returns the number of existing filters changed, or -1 on bad input.
 *
 * Such a rule is kept and applied again whenever a filter is added, renamed or given a setting
 * for that level, so it also reaches filters that get their name after creation; rules apply in
 * the order they were set (a newer rule for the same name and level replaces the older one).
 * Setting callbacks are called only here (and in TnwkLogApplySettings/TnwkLogInit), once per
 * filter and level whose value actually changed, never while a filter is being added. */
int TnwkLogSetSetting(const char* nameOrGroup, int level, int value);
/* Applies a TNWKLOG_SETTINGS-style text; returns 0, or -1 when it cannot be parsed (nothing is
 * changed then). */
int TnwkLogApplySettings(const char* text);
/* Forgets every rule set so far (existing filters keep their values). */
void TnwkLogClearRules(void);

/* Output: "stderr", "syslog", "file:PATH" or "none". Returns 0, or -1 for an unknown output or a
 * file that cannot be opened (the output is then unchanged). */
int TnwkLogSetOutput(const char* output);

/* Observers see every written message (whatever the output, "none" included), after the output,
 * on the thread that logged it. Returns an id for removal, or -1. Once TnwkLogRemoveObserver
 * returns the observer is no longer called (a call in progress on another thread has ended; an
 * observer may remove itself). */
int TnwkLogAddObserver(TnwkLogObserver observer, void* context);
void TnwkLogRemoveObserver(int id);

#ifdef __cplusplus
}
#endif

#endif
