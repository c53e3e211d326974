#include "LogSettings.h"

#include <charconv>

namespace tnwklog {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// A level: decimal digits only, 0..31.
bool parseLevel(std::string_view s, int& level) {
    s = trim(s);
    if (s.empty() || s.size() > 2) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), level);
    return ec == std::errc() && end == s.data() + s.size() && level <= 31;
}

bool parseItem(std::string_view item, std::string_view name, std::vector<Rule>& rules) {
    item = trim(item);
    bool value = true;
    if (!item.empty() && item.front() == '-') {
        value = false;
        item.remove_prefix(1);
    }
    int first = 0;
    int last = 0;
    const auto dash = item.find('-');
    if (dash == std::string_view::npos) {
        if (!parseLevel(item, first)) {
            return false;
        }
        last = first;
    } else if (!parseLevel(item.substr(0, dash), first) ||
               !parseLevel(item.substr(dash + 1), last) || last < first) {
        return false;
    }
    for (int level = first; level <= last; ++level) {
        rules.push_back(Rule{std::string(name), level, value});
    }
    return true;
}

}  // namespace

bool parseSettings(std::string_view text, std::vector<Rule>& out, std::string& error) {
    std::vector<Rule> rules;
    while (!text.empty()) {
        const auto semi = text.find(';');
        std::string_view entry = text.substr(0, semi);
        text = (semi == std::string_view::npos) ? std::string_view() : text.substr(semi + 1);
        if (trim(entry).empty()) {
            continue;
        }
        const auto eq = entry.find('=');
        if (eq == std::string_view::npos) {
            error = "missing '=' in \"" + std::string(trim(entry)) + "\"";
            return false;
        }
        const std::string_view name = trim(entry.substr(0, eq));
        std::string_view levels = entry.substr(eq + 1);
        if (name.empty()) {
            error = "empty filter or group name in \"" + std::string(trim(entry)) + "\"";
            return false;
        }
        if (trim(levels).empty()) {
            error = "no levels for \"" + std::string(name) + "\"";
            return false;
        }
        while (true) {
            const auto comma = levels.find(',');
            if (!parseItem(levels.substr(0, comma), name, rules)) {
                error = "bad level \"" + std::string(trim(levels.substr(0, comma))) + "\" for \"" +
                        std::string(name) + "\" (levels are 0 to 31, ranges N-M)";
                return false;
            }
            if (comma == std::string_view::npos) {
                break;
            }
            levels.remove_prefix(comma + 1);
        }
    }
    out.insert(out.end(), rules.begin(), rules.end());
    return true;
}

}  // namespace tnwklog
