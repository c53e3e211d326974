// Reading and writing the description file. Reading happens in two passes: an event pass over the
// raw text finds syntax errors (with their line and column), keys given twice in one object (which
// the document form would silently collapse) and runaway nesting; the document pass then checks
// every key and value against the format documented in Description.h.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "hardware/Description.h"

namespace hw {
namespace {

using nlohmann::json;

constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxText = 131;
constexpr std::size_t kMaxModules = 126;
constexpr std::size_t kMaxTrunks = 10;
constexpr std::size_t kMaxFeatures = 64;
constexpr std::size_t kMaxFeatureKey = 8;
constexpr int64_t kMinModule = 2;
constexpr int64_t kMaxModule = 127;
constexpr int64_t kMaxTrunkNumber = 99;
constexpr int64_t kMaxVoiceResources = 2047;
constexpr const char* kDefaultHostBus = "PCI";

// Trunk types and the span type bytes the hardware information may carry for each.
struct TypeRule {
    std::string_view name;
    std::string_view article;
    uint32_t maxChannels;
    std::array<uint8_t, 3> spanTypes;  // first is the default; 0 ends the list early
    unsigned bit;
};

constexpr std::array<TypeRule, 3> kTypes{{
    {"E1", "an", 31, {5, 6, 0}, 1u},
    {"T1", "a", 24, {3, 4, 7}, 2u},
    {"ANALOG", "an", 255, {1, 0, 0}, 4u},
}};

struct SubtypeRule {
    std::string_view name;
    uint8_t spanSubtype;
    unsigned types;  // bits of the TypeRule entries it applies to
};

constexpr std::array<SubtypeRule, 7> kSubtypes{{
    {"", 0, 7u},
    {"CAS", 1, 1u},
    {"PRI", 2, 3u},
    {"R2", 3, 1u},
    {"RBS", 4, 2u},
    {"LOOP-START", 5, 4u},
    {"GROUND-START", 6, 4u},
}};

const TypeRule* findType(std::string_view name) {
    for (const TypeRule& rule : kTypes) {
        if (rule.name == name) {
            return &rule;
        }
    }
    return nullptr;
}

const SubtypeRule* findSubtype(std::string_view name) {
    for (const SubtypeRule& rule : kSubtypes) {
        if (rule.name == name) {
            return &rule;
        }
    }
    return nullptr;
}

// A JSON pointer segment: "~" and "/" escaped as the pointer syntax wants, control characters
// shown as "?" so that a key cannot break the error line, long keys shortened.
std::string segment(std::string_view key) {
    std::string out;
    for (char c : key.substr(0, 64)) {
        if (c == '~') {
            out += "~0";
        } else if (c == '/') {
            out += "~1";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            out += '?';
        } else {
            out += c;
        }
    }
    if (key.size() > 64) {
        out += "...";
    }
    return out;
}

std::string child(const std::string& place, std::string_view key) {
    return place + "/" + segment(key);
}

std::string child(const std::string& place, std::size_t index) {
    return place + "/" + std::to_string(index);
}

std::string shown(const std::string& place) {
    return place.empty() ? "top level" : place;
}

// What a value is, for "found ..." in an error.
std::string describe(const json& value) {
    switch (value.type()) {
        case json::value_t::object:
            return "an object";
        case json::value_t::array:
            return "a list";
        case json::value_t::null:
            return "null";
        case json::value_t::string: {
            const auto& text = value.get_ref<const std::string&>();
            if (text.empty()) {
                return "an empty text";
            }
            std::string dumped = value.dump(-1, ' ', false, json::error_handler_t::replace);
            if (dumped.size() > 48) {
                // Cut at a character boundary so the message stays valid UTF-8.
                std::size_t cut = 44;
                while (cut > 1 && (static_cast<unsigned char>(dumped[cut]) & 0xC0u) == 0x80u) {
                    --cut;
                }
                dumped = dumped.substr(0, cut) + "...\"";
            }
            return dumped;
        }
        default:
            return value.dump(-1, ' ', false, json::error_handler_t::replace);
    }
}

std::string lineAndColumn(std::string_view text, std::size_t position) {
    // The parser counts the bytes it has read; the one that failed is the last of them. Columns
    // count characters, so UTF-8 continuation bytes do not advance them.
    const std::size_t end = std::min(position == 0 ? std::size_t{0} : position - 1, text.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0u) != 0x80u) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The parser's own explanation without its exception-id prefix and its (byte-based) position.
std::string syntaxDetail(const char* what) {
    std::string message = what;
    const auto at = message.find("parse error");
    if (at != std::string::npos) {
        const auto colon = message.find(": ", at);
        if (colon != std::string::npos) {
            return message.substr(colon + 2);
        }
    }
    const auto bracket = message.find("] ");
    return bracket == std::string::npos ? message : message.substr(bracket + 2);
}

// First pass: structure only.
class StructureCheck final : public nlohmann::json_sax<json> {
  public:
    StructureCheck(std::string_view text, const std::string& source)
        : m_text(text), m_source(source) {}

    const std::optional<DescriptionError>& error() const { return m_error; }

    bool null() override { return element(); }
    bool boolean(bool) override { return element(); }
    bool number_integer(number_integer_t) override { return element(); }
    bool number_unsigned(number_unsigned_t) override { return element(); }
    bool number_float(number_float_t, const string_t&) override { return element(); }
    bool string(string_t&) override { return element(); }
    bool binary(binary_t&) override { return element(); }

    bool start_object(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Frame& frame = m_frames.back();
        if (!frame.keys.insert(name).second) {
            m_error.emplace(m_source, child(frame.path, name),
                            "expected each key once in an object, found this key twice");
            return false;
        }
        frame.key = name;
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const json::exception& ex) override {
        m_error.emplace(m_source, lineAndColumn(m_text, position), syntaxDetail(ex.what()));
        return false;
    }

  private:
    struct Frame {
        bool object = false;
        std::set<std::string> keys;
        std::string key;
        std::size_t index = 0;
        std::string path;
    };

    // The pointer of the value that starts now; counts it in its list.
    std::string nextPath() {
        if (m_frames.empty()) {
            return {};
        }
        Frame& parent = m_frames.back();
        if (parent.object) {
            return child(parent.path, parent.key);
        }
        return child(parent.path, parent.index++);
    }

    bool element() {
        nextPath();
        return true;
    }

    bool open(bool object) {
        std::string path = nextPath();
        if (m_frames.size() >= kMaxDepth) {
            m_error.emplace(m_source, shown(path),
                            "expected at most " + std::to_string(kMaxDepth) +
                                " levels of nesting, found deeper nesting");
            return false;
        }
        Frame frame;
        frame.object = object;
        frame.path = std::move(path);
        m_frames.push_back(std::move(frame));
        return true;
    }

    bool close() {
        m_frames.pop_back();
        return true;
    }

    std::string_view m_text;
    const std::string& m_source;
    std::vector<Frame> m_frames;
    std::optional<DescriptionError> m_error;
};

// Second pass: the document against the format.
class Reader {
  public:
    explicit Reader(const std::string& source) : m_source(source) {}

    Description read(const json& document) {
        const std::string top;
        object(document, top);
        allowKeys(document, top, {"modules"});
        const json& list = require(document, top, "modules", "a list of modules");
        checkList(list, "/modules", kMaxModules, "modules");

        Description description;
        for (std::size_t i = 0; i < list.size(); ++i) {
            description.modules.push_back(module(list[i], child("/modules", i)));
            checkUnique(description.modules, child("/modules", i));
        }
        std::stable_sort(description.modules.begin(), description.modules.end(),
                         [](const Module& a, const Module& b) { return a.number < b.number; });
        return description;
    }

  private:
    [[noreturn]] void fail(const std::string& place, const std::string& expected,
                           const std::string& found) const {
        throw DescriptionError(m_source, shown(place), "expected " + expected + ", found " + found);
    }

    void object(const json& value, const std::string& place) const {
        if (!value.is_object()) {
            fail(place, "an object", describe(value));
        }
    }

    void checkList(const json& value, const std::string& place, std::size_t max,
                   const char* what) const {
        if (!value.is_array() || value.size() > max) {
            fail(place, "a list of at most " + std::to_string(max) + " " + what,
                 value.is_array() ? "a list of " + std::to_string(value.size()) : describe(value));
        }
    }

    void allowKeys(const json& value, const std::string& place,
                   std::initializer_list<std::string_view> allowed) const {
        for (const auto& item : value.items()) {
            if (std::find(allowed.begin(), allowed.end(), item.key()) == allowed.end()) {
                std::string names;
                for (std::string_view name : allowed) {
                    names += names.empty() ? "" : ", ";
                    names += name;
                }
                fail(child(place, item.key()),
                     allowed.size() == 1 ? "only the key " + names : "one of the keys " + names,
                     "an unknown key");
            }
        }
    }

    const json& require(const json& value, const std::string& place, const char* key,
                        const std::string& what) const {
        const auto it = value.find(key);
        if (it == value.end()) {
            fail(place, "the key \"" + std::string(key) + "\" (" + what + ")", "no such key");
        }
        return *it;
    }

    const json* optional(const json& value, const char* key) const {
        const auto it = value.find(key);
        return it == value.end() ? nullptr : &*it;
    }

    int64_t integer(const json& value, const std::string& place, int64_t min, int64_t max,
                    const std::string& suffix = {}) const {
        const std::string expected =
            "an integer from " + std::to_string(min) + " to " + std::to_string(max) + suffix;
        if (value.is_number_unsigned()) {
            const auto number = value.get<uint64_t>();
            if (number > static_cast<uint64_t>(max)) {
                fail(place, expected, describe(value));
            }
            const auto result = static_cast<int64_t>(number);
            if (result < min) {
                fail(place, expected, describe(value));
            }
            return result;
        }
        if (value.is_number_integer()) {
            const auto number = value.get<int64_t>();
            if (number < min || number > max) {
                fail(place, expected, describe(value));
            }
            return number;
        }
        fail(place, expected, describe(value));
    }

    std::string text(const json& value, const std::string& place, std::size_t minBytes) const {
        const std::string expected =
            minBytes == 0 ? "a text of at most " + std::to_string(kMaxText) + " bytes"
                          : "a text of 1 to " + std::to_string(kMaxText) + " bytes";
        if (!value.is_string()) {
            fail(place, expected, describe(value));
        }
        const auto& result = value.get_ref<const std::string&>();
        if (result.size() < minBytes) {
            fail(place, expected, describe(value));
        }
        if (result.size() > kMaxText) {
            fail(place, expected, "a text of " + std::to_string(result.size()) + " bytes");
        }
        for (char c : result) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                fail(place, "a text without control characters", describe(value));
            }
        }
        return result;
    }

    std::string optionalText(const json& value, const std::string& place, const char* key,
                             const char* fallback) const {
        const json* found = optional(value, key);
        return found == nullptr ? std::string(fallback) : text(*found, child(place, key), 0);
    }

    std::string serial(const json& value, const std::string& place) const {
        static const std::string expected =
            "a text of decimal digits from 0 to 2147483647 without leading zeros";
        if (!value.is_string()) {
            fail(place, expected, describe(value));
        }
        const auto& digits = value.get_ref<const std::string&>();
        const bool shapeOk = !digits.empty() && digits.size() <= 10 &&
                             std::all_of(digits.begin(), digits.end(),
                                         [](char c) { return c >= '0' && c <= '9'; }) &&
                             (digits.size() == 1 || digits[0] != '0');
        if (!shapeOk || std::stoull(digits) >
                            static_cast<unsigned long long>(std::numeric_limits<int32_t>::max())) {
            fail(place, expected, describe(value));
        }
        return digits;
    }

    Module module(const json& value, const std::string& place) const {
        object(value, place);
        allowKeys(
            value, place,
            {"number", "serialNumber", "product", "revision", "voiceResources", "hostBusFormat",
             "technologyName", "tdmBusMediaType", "tdmBusTechnologyName", "features", "trunks"});
        Module result;
        result.number =
            static_cast<uint32_t>(integer(require(value, place, "number", "the module number"),
                                          child(place, "number"), kMinModule, kMaxModule));
        result.serialNumber =
            serial(require(value, place, "serialNumber", "the serial number as a text"),
                   child(place, "serialNumber"));
        result.product =
            text(require(value, place, "product", "the product text"), child(place, "product"), 1);
        result.revision = optionalText(value, place, "revision", "");
        result.hostBusFormat = optionalText(value, place, "hostBusFormat", kDefaultHostBus);
        result.technologyName = optionalText(value, place, "technologyName", "");
        result.tdmBusMediaType = optionalText(value, place, "tdmBusMediaType", "");
        result.tdmBusTechnologyName = optionalText(value, place, "tdmBusTechnologyName", "");

        if (const json* features = optional(value, "features")) {
            const std::string listPlace = child(place, "features");
            checkList(*features, listPlace, kMaxFeatures, "features");
            for (std::size_t i = 0; i < features->size(); ++i) {
                result.features.push_back(feature((*features)[i], child(listPlace, i)));
                const Feature& added = result.features.back();
                for (std::size_t j = 0; j + 1 < result.features.size(); ++j) {
                    if (result.features[j].key == added.key) {
                        fail(child(child(listPlace, i), "key"),
                             "a key not used by " + child(listPlace, j), describe(added.key));
                    }
                }
            }
        }

        const json& trunks = require(value, place, "trunks", "a list of trunks");
        const std::string trunksPlace = child(place, "trunks");
        checkList(trunks, trunksPlace, kMaxTrunks, "trunks");
        uint32_t previous = 0;
        for (std::size_t i = 0; i < trunks.size(); ++i) {
            result.trunks.push_back(trunk(trunks[i], child(trunksPlace, i), previous));
            previous = result.trunks.back().number;
        }

        if (const json* resources = optional(value, "voiceResources")) {
            result.voiceResources = static_cast<uint32_t>(
                integer(*resources, child(place, "voiceResources"), 0, kMaxVoiceResources));
        } else {
            result.voiceResources =
                std::min(result.lines(), static_cast<uint32_t>(kMaxVoiceResources));
        }
        return result;
    }

    Feature feature(const json& value, const std::string& place) const {
        object(value, place);
        allowKeys(value, place, {"key", "type", "value"});
        Feature result;

        const std::string keyPlace = child(place, "key");
        const json& key = require(value, place, "key", "the feature's name");
        const std::string keyExpected = "a key of 1 to " + std::to_string(kMaxFeatureKey) +
                                        " printable ASCII characters without spaces";
        if (!key.is_string()) {
            fail(keyPlace, keyExpected, describe(key));
        }
        result.key = key.get<std::string>();
        const bool keyOk = !result.key.empty() && result.key.size() <= kMaxFeatureKey &&
                           std::all_of(result.key.begin(), result.key.end(),
                                       [](char c) { return c > 0x20 && c < 0x7f; });
        if (!keyOk) {
            fail(keyPlace, keyExpected, describe(key));
        }
        if (result.key == "Product" || result.key == "SerialN") {
            fail(keyPlace,
                 "a key other than Product and SerialN (they come from the module's \"product\" "
                 "and \"serialNumber\")",
                 describe(key));
        }

        const json& type = require(value, place, "type", "switch, integer or text");
        const std::string typeName = type.is_string() ? type.get<std::string>() : std::string();
        if (typeName == "switch") {
            result.type = FeatureType::Switch;
        } else if (typeName == "integer") {
            result.type = FeatureType::Integer;
        } else if (typeName == "text") {
            result.type = FeatureType::Text;
        } else {
            fail(child(place, "type"), "one of switch, integer, text", describe(type));
        }

        const json& content = require(value, place, "value", "the feature's setting");
        const std::string valuePlace = child(place, "value");
        constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
        constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
        if (result.type == FeatureType::Text) {
            result.text = text(content, valuePlace, 0);
        } else {
            result.value = static_cast<int32_t>(integer(content, valuePlace, kMin32, kMax32,
                                                        result.type == FeatureType::Switch
                                                            ? " for a switch feature"
                                                            : " for an integer feature"));
        }
        return result;
    }

    Trunk trunk(const json& value, const std::string& place, uint32_t previous) const {
        object(value, place);
        allowKeys(value, place,
                  {"number", "type", "subtype", "channels", "talSpanType", "talSpanSubtype"});
        Trunk result;

        const json& type = require(value, place, "type", "one of E1, T1, ANALOG");
        const TypeRule* rule = type.is_string() ? findType(type.get<std::string>()) : nullptr;
        if (rule == nullptr) {
            fail(child(place, "type"), "one of E1, T1, ANALOG", describe(type));
        }
        result.type = std::string(rule->name);
        const std::string forType =
            " for " + std::string(rule->article) + " " + std::string(rule->name) + " trunk";

        const SubtypeRule* subtype = &kSubtypes[0];
        if (const json* given = optional(value, "subtype")) {
            subtype = given->is_string() ? findSubtype(given->get<std::string>()) : nullptr;
            if (subtype == nullptr || (subtype->types & rule->bit) == 0) {
                std::string names;
                for (const SubtypeRule& candidate : kSubtypes) {
                    if (!candidate.name.empty() && (candidate.types & rule->bit) != 0) {
                        names += std::string(candidate.name) + ", ";
                    }
                }
                fail(child(place, "subtype"), "one of " + names + "or \"\"" + forType,
                     describe(*given));
            }
        }
        result.subtype = std::string(subtype->name);

        result.channels = static_cast<uint32_t>(
            integer(require(value, place, "channels", "the number of channels"),
                    child(place, "channels"), 1, rule->maxChannels, forType));

        if (const json* number = optional(value, "number")) {
            if (previous >= kMaxTrunkNumber) {
                fail(child(place, "number"),
                     "no further trunk after number " + std::to_string(previous),
                     describe(*number));
            }
            result.number =
                static_cast<uint32_t>(integer(*number, child(place, "number"), previous + 1,
                                              kMaxTrunkNumber, " (trunk numbers ascend)"));
        } else {
            if (previous >= kMaxTrunkNumber) {
                fail(place,
                     "no further trunk after number " + std::to_string(previous) +
                         " (trunk numbers go up to " + std::to_string(kMaxTrunkNumber) + ")",
                     "another trunk");
            }
            result.number = previous + 1;
        }

        result.talSpanType = rule->spanTypes[0];
        if (const json* given = optional(value, "talSpanType")) {
            std::string names;
            bool allowed = false;
            const int64_t byte = given->is_number_integer() ? given->get<int64_t>() : -1;
            for (uint8_t candidate : rule->spanTypes) {
                if (candidate == 0) {
                    break;
                }
                names += (names.empty() ? "" : ", ") + std::to_string(candidate);
                allowed = allowed || byte == candidate;
            }
            if (!allowed) {
                fail(child(place, "talSpanType"), "one of " + names + forType, describe(*given));
            }
            result.talSpanType = static_cast<uint8_t>(byte);
        }

        result.talSpanSubtype = subtype->spanSubtype;
        if (const json* given = optional(value, "talSpanSubtype")) {
            result.talSpanSubtype =
                static_cast<uint8_t>(integer(*given, child(place, "talSpanSubtype"), 0, 255));
        }
        return result;
    }

    void checkUnique(const std::vector<Module>& modules, const std::string& place) const {
        const Module& added = modules.back();
        for (std::size_t j = 0; j + 1 < modules.size(); ++j) {
            if (modules[j].number == added.number) {
                fail(child(place, "number"), "a module number not used by " + child("/modules", j),
                     std::to_string(added.number));
            }
            if (modules[j].serialNumber == added.serialNumber) {
                fail(child(place, "serialNumber"),
                     "a serial number not used by " + child("/modules", j),
                     "\"" + added.serialNumber + "\"");
            }
        }
    }

    const std::string& m_source;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string readFile(const std::filesystem::path& file, const std::string& source) {
    auto failure = [&](const std::string& detail) { return DescriptionError(source, {}, detail); };

    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (ec) {
        throw failure("cannot be read: " + ec.message());
    }
    if (std::filesystem::is_directory(status)) {
        throw failure("cannot be read: it is a directory");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw failure("cannot be read: it is not a regular file");
    }

    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.c_str(), "rb"));
    if (!stream) {
        const int error = errno;
        throw failure("cannot be read: " + std::generic_category().message(error));
    }
    std::string content;
    std::array<char, 8192> buffer{};
    while (content.size() <= kMaxFileBytes) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stream.get());
        content.append(buffer.data(), got);
        if (got < buffer.size()) {
            break;
        }
    }
    if (std::ferror(stream.get()) != 0) {
        throw failure("cannot be read: read error");
    }
    if (content.size() > kMaxFileBytes) {
        throw failure("expected a file of at most 1 MiB, found a larger one");
    }
    return content;
}

}  // namespace

Description parse(std::string_view text, const std::string& source) {
    StructureCheck check(text, source);
    if (!json::sax_parse(text, &check) || check.error()) {
        if (check.error()) {
            throw *check.error();
        }
        throw DescriptionError(source, {}, "cannot be parsed");
    }
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& ex) {
        throw DescriptionError(source, {}, syntaxDetail(ex.what()));
    }
    return Reader(source).read(document);
}

Description load(const std::filesystem::path& file) {
    const std::string source = file.string();
    return parse(readFile(file, source), source);
}

std::string toJson(const Description& description) {
    using ordered = nlohmann::ordered_json;
    ordered modules = ordered::array();
    for (const Module& module : description.modules) {
        ordered features = ordered::array();
        for (const Feature& feature : module.features) {
            ordered entry;
            entry["key"] = feature.key;
            switch (feature.type) {
                case FeatureType::Text:
                    entry["type"] = "text";
                    entry["value"] = feature.text;
                    break;
                case FeatureType::Integer:
                    entry["type"] = "integer";
                    entry["value"] = feature.value;
                    break;
                case FeatureType::Switch:
                default:
                    entry["type"] = "switch";
                    entry["value"] = feature.value;
                    break;
            }
            features.push_back(std::move(entry));
        }

        ordered trunks = ordered::array();
        uint32_t previous = 0;
        for (const Trunk& trunk : module.trunks) {
            // Only what differs from the defaults is written, so the file reads as a person
            // would write it; reading it back gives the same trunk.
            ordered entry;
            if (trunk.number != previous + 1) {
                entry["number"] = trunk.number;
            }
            previous = trunk.number;
            entry["type"] = trunk.type;
            if (!trunk.subtype.empty()) {
                entry["subtype"] = trunk.subtype;
            }
            entry["channels"] = trunk.channels;
            const TypeRule* type = findType(trunk.type);
            if (type == nullptr || trunk.talSpanType != type->spanTypes[0]) {
                entry["talSpanType"] = trunk.talSpanType;
            }
            const SubtypeRule* subtype = findSubtype(trunk.subtype);
            if (subtype == nullptr || trunk.talSpanSubtype != subtype->spanSubtype) {
                entry["talSpanSubtype"] = trunk.talSpanSubtype;
            }
            trunks.push_back(std::move(entry));
        }

        ordered entry;
        entry["number"] = module.number;
        entry["serialNumber"] = module.serialNumber;
        entry["product"] = module.product;
        entry["revision"] = module.revision;
        entry["voiceResources"] = module.voiceResources;
        entry["hostBusFormat"] = module.hostBusFormat;
        entry["technologyName"] = module.technologyName;
        entry["tdmBusMediaType"] = module.tdmBusMediaType;
        entry["tdmBusTechnologyName"] = module.tdmBusTechnologyName;
        entry["features"] = std::move(features);
        entry["trunks"] = std::move(trunks);
        modules.push_back(std::move(entry));
    }
    ordered document;
    document["modules"] = std::move(modules);
    return document.dump(2, ' ', false, ordered::error_handler_t::replace) + "\n";
}

}  // namespace hw
