// CTraceObject: the base of every HAL class. Each object owns one filter in the logging library,
// registered under the object's own address, and writes leveled, source-located trace lines
// through it. Panic lines (level 0) are also appended to the HAL's panic file, whatever the filter
// says; errors of the logging library itself go to the logging-error file. Both files live in the
// log directory ("RAVI_PATH" + "/dat").
//
// Threads: every trace call formats into its own stack buffer and may come from any thread; the
// logging library serialises its output. A level the filter does not want returns before any
// formatting, which is what makes the entry and exit traces of every function affordable.
#ifndef TARNWICK_HAL_TRACEOBJECT_H
#define TARNWICK_HAL_TRACEOBJECT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "mtcore/TransInfo.h"

// Trace levels; each is also a setting of the object's filter.
enum TraceLevel : int {
    TRACE_PANIC = 0,
    TRACE_ERROR = 1,
    TRACE_WARNING = 2,
    TRACE_INFO = 3,
    TRACE_UNPROCESSED_EVENT = 4,
    TRACE_EVENT_SENT = 5,      // setting added by the event pump only
    TRACE_EVENT_RECEIVED = 6,  // setting added by the event pump only
    TRACE_FUNCTION_ENTER = 7,
    TRACE_FUNCTION_EXIT = 8,
    TRACE_STATUS = 9,
    TRACE_STATE_CHANGE = 10,
};

// Texts from outside (display names, payload strings) may be missing: never hand null to "%s".
inline const char* TraceText(const char* text) {
    return text != nullptr ? text : "(null)";
}

class CTraceObject {
  public:
    // Initialises the logging library on first use, creates the filter (template "Trace Object",
    // the given group) and adds the settings of levels 0-4 and 7-10 with their defaults. When the
    // library gives no filter the object still traces through its key: the library's interest
    // test decides, and level-0 lines still reach the panic file.
    CTraceObject(int id, const char* group);
    virtual ~CTraceObject();
    CTraceObject(const CTraceObject&) = delete;
    CTraceObject& operator=(const CTraceObject&) = delete;

    // Hooks: no-ops in every HAL class. DumpStatus is called when the object's "FILTER_STATUS"
    // setting is switched on.
    virtual void TraceHook();
    virtual void DumpStatus();

    // Renames the filter (printf-style, cut to 8192 characters).
    void SetFilterName(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void AddSetting(int level, const char* name, int defaultValue) const;
    bool IsInterested(int level) const;

    // Writes one line at the level. Levels other than 0 that the filter does not want return at
    // once. The text is cut to 8192 characters.
    void Trace(const char* file, int line, int level, const char* format, ...) const
        __attribute__((format(printf, 5, 6)));
    // Writes the one-line dump of a host event object (see DumpEvent) at the level.
    void TraceEvent(const char* file, int line, int level,
                    const MTCore::Core_TransInfo* event) const;

    // Formats the readable one-line form of a host event object into buffer (always terminated
    // when size > 0, never written past size). Returns the number of characters written.
    static size_t DumpEvent(char* buffer, size_t size, const MTCore::Core_TransInfo* event);

    // Display text of a PAL handle: "(%09d:B[%02d], S[%02d], %s R[%03d])".
    static size_t FormatHandle(char* buffer, size_t size, uint32_t handle);
    // Display name of a media-detection type ("eNI_UNKNOWN" ... "eNI_PAMD", else "Undefined").
    static const char* MediaTypeName(int mediaType);

    // The log directory: "RAVI_PATH" (empty when unset) followed by "/dat", built once at library
    // load. SetLogDirectory replaces it (tests, before any trace is written).
    static std::string BuildLogDirectory(const char* raviPath);
    static const char* LogDirectory();
    static void SetLogDirectory(const char* directory);
    // Full path of a file in the log directory, or false when it would exceed 259 characters.
    static bool LogFilePath(char* buffer, size_t size, const char* fileName);

    // The logging library's error callback: one line to the logging-error file.
    static void LoggingErrorCallback(int reserved1, int reserved2, const char* message,
                                     const char* file, int line);

  protected:
    const void* Key() const { return m_key; }

  private:
    void Emit(const char* file, int line, int level, const char* text) const;
    static void SettingCallback(int setting, int value, void* context);

    const void* m_key;  // the object's own address: the key of its filter
};

// Traces a function's entry (level 7) on construction and its exit (level 8) on destruction,
// as "Name" or, once a result is given, "Name(result)". Both test the filter's interest first.
class CFunctionTrace {
  public:
    CFunctionTrace(const CTraceObject& owner, const char* name, const char* file, int line)
        : m_owner(owner), m_name(name), m_file(file), m_line(line) {
        if (m_owner.IsInterested(TRACE_FUNCTION_ENTER)) {
            m_owner.Trace(m_file, m_line, TRACE_FUNCTION_ENTER, "%s", m_name);
        }
    }
    ~CFunctionTrace() {
        if (m_owner.IsInterested(TRACE_FUNCTION_EXIT)) {
            if (m_hasResult) {
                m_owner.Trace(m_file, m_line, TRACE_FUNCTION_EXIT, "%s(%d)", m_name, m_result);
            } else {
                m_owner.Trace(m_file, m_line, TRACE_FUNCTION_EXIT, "%s", m_name);
            }
        }
    }
    CFunctionTrace(const CFunctionTrace&) = delete;
    CFunctionTrace& operator=(const CFunctionTrace&) = delete;

    void Result(int result, int line) {
        m_hasResult = true;
        m_result = result;
        m_line = line;
    }

  private:
    const CTraceObject& m_owner;
    const char* m_name;
    const char* m_file;
    int m_line;
    bool m_hasResult = false;
    int m_result = 0;
};

// Entry/exit trace of the enclosing member function; HAL_FUNCTION_RESULT records the result for
// the exit line ("%s(%d)").
#define HAL_FUNCTION_TRACE(name) CFunctionTrace halFunctionTrace_(*this, name, __FILE__, __LINE__)
#define HAL_FUNCTION_RESULT(value) halFunctionTrace_.Result(static_cast<int>(value), __LINE__)

// A trace line from a member function; the arguments are evaluated only when the line is wanted.
#define HAL_TRACE(level, ...)                                \
    do {                                                     \
        if ((level) == TRACE_PANIC || IsInterested(level)) { \
            Trace(__FILE__, __LINE__, (level), __VA_ARGS__); \
        }                                                    \
    } while (0)

#define HAL_TRACE_EVENT(level, event)                         \
    do {                                                      \
        if ((level) == TRACE_PANIC || IsInterested(level)) {  \
            TraceEvent(__FILE__, __LINE__, (level), (event)); \
        }                                                     \
    } while (0)

#endif
