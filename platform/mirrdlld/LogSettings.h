// Parser of the settings text (TNWKLOG_SETTINGS, TnwkLogApplySettings).
//
// Grammar: entries separated by ';'; each entry NAME=LEVELS, where NAME is a filter name, a group
// name or '*', and LEVELS a ','-separated list of items N or N-M (0 <= N <= M <= 31), each
// optionally prefixed by '-' to switch the levels off. Blanks around names and items are ignored;
// empty entries (";;", a trailing ';') are allowed. Anything else makes the whole text invalid.
#ifndef TARNWICK_MIRRDLLD_LOGSETTINGS_H
#define TARNWICK_MIRRDLLD_LOGSETTINGS_H

#include <string>
#include <string_view>
#include <vector>

namespace tnwklog {

// Switch one level on or off for the filters whose name or group is `pattern` ('*' = all).
struct Rule {
    std::string pattern;
    int level = 0;
    bool value = false;

    bool operator==(const Rule&) const = default;
};

// Appends the rules of `text`, in order, to `out` and returns true; on a syntax error returns
// false, leaves `out` unchanged and describes the fault in `error`.
bool parseSettings(std::string_view text, std::vector<Rule>& out, std::string& error);

}  // namespace tnwklog

#endif
