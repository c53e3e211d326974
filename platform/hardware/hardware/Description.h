// The machine the stand-ins pretend to be: which modules are fitted, with their spans, lines,
// voice resources and identity texts.
//
// One description is shared by the driver library stand-in (module, feature and trunk queries) and
// the board library stand-in's virtual board (hardware information, handles, alarms per span), so
// that the configuration service and the HAL see the same hardware. It comes from the JSON file
// named by TARNWICK_HARDWARE, or from a built-in default of two modules (one E1 module with two
// spans of 30 channels, one T1 module with four spans of 24 channels).
//
// File format (every key is checked; an unknown key is an error, so a typo never passes):
//
//   { "modules": [ <module>, ... ] }                       0 to 126 modules
//
//   module:
//     "number"               required  integer 2..127, unique: the physical module number
//     "serialNumber"         required  decimal digits, 0..2147483647, no leading zero, unique
//                                      (the driver reports it as a 32-bit integer feature)
//     "product"              required  text, not empty (the board description)
//     "revision"             optional  text, default ""
//     "voiceResources"       optional  integer 0..2047, default one per line (at most 2047)
//     "hostBusFormat"        optional  text, default "PCI"
//     "technologyName"       optional  text, default ""
//     "tdmBusMediaType"      optional  text, default ""
//     "tdmBusTechnologyName" optional  text, default ""
//     "features"             optional  list of 0..64 features, default []
//     "trunks"               required  list of 0..10 trunks (what the driver's trunk query holds)
//
//   feature:
//     "key"    required  1..8 printable ASCII characters, unique in the module; "Product" and
//                        "SerialN" are reserved (they come from "product" and "serialNumber")
//     "type"   required  "switch", "integer" or "text"
//     "value"  required  integer -2147483648..2147483647 for switch and integer, text for text
//
//   trunk:
//     "number"         optional  integer 1..99, default one above the previous trunk (1 for the
//                                first); numbers ascend strictly, a gap is a span not fitted
//     "type"           required  "E1", "T1" or "ANALOG"
//     "subtype"        optional  "" (default), "CAS", "PRI", "R2" (E1); "RBS", "PRI" (T1);
//                                "LOOP-START", "GROUND-START" (ANALOG)
//     "channels"       required  integer 1..31 (E1), 1..24 (T1), 1..255 (ANALOG)
//     "talSpanType"    optional  span type byte reported in the hardware information; default 5
//                                for E1, 3 for T1, 1 for ANALOG; E1 also allows 6, T1 4 and 7
//     "talSpanSubtype" optional  span subtype byte 0..255; default from the subtype: "" 0, "CAS" 1,
//                                "PRI" 2, "R2" 3, "RBS" 4, "LOOP-START" 5, "GROUND-START" 6
//
// Texts are at most 131 bytes (what the driver's feature query can carry) and contain no control
// characters. Files larger than 1 MiB or nested deeper than 32 levels are refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace hw {

// The environment variable that names the description file. Unset or empty: the built-in default.
inline constexpr const char* kEnvironmentVariable = "TARNWICK_HARDWARE";

// One span of a module: a digital trunk or an analog line group.
struct Trunk {
    uint32_t number = 1;  // span number on the module, 1..99; span handles carry it as span id
    std::string type;     // "E1", "T1" or "ANALOG"
    std::string subtype;  // see the table above; "" when none
    uint32_t channels = 0;
    uint8_t talSpanType = 0;     // byte of the span type in the hardware information
    uint8_t talSpanSubtype = 0;  // byte of the span subtype in the hardware information

    bool operator==(const Trunk&) const = default;
};

// The type character is the one the driver's feature query reports.
enum class FeatureType : char { Switch = '#', Text = '$', Integer = '=' };

// One entry of a module's feature set, as the driver's feature query yields it.
struct Feature {
    std::string key;  // at most 8 characters
    FeatureType type = FeatureType::Switch;
    int32_t value = 0;  // Switch and Integer
    std::string text;   // Text

    bool operator==(const Feature&) const = default;
};

struct Module {
    uint32_t number = 0;       // physical module number, 2..127
    std::string serialNumber;  // decimal digits
    std::string product;
    std::string revision;
    uint32_t voiceResources = 0;
    std::string hostBusFormat;
    std::string technologyName;
    std::string tdmBusMediaType;
    std::string tdmBusTechnologyName;
    std::vector<Feature> features;  // without "Product" and "SerialN": see featureSet()
    std::vector<Trunk> trunks;      // ascending trunk numbers

    // Sum of the channels of all trunks: the number of line handles the module grants.
    uint32_t lines() const;

    // The trunk with this span number, or null.
    const Trunk* findTrunk(uint32_t spanNumber) const;

    // The complete feature set the driver's feature query walks: "Product" (text, the product),
    // "SerialN" (integer, the serial number), then `features` in order.
    std::vector<Feature> featureSet() const;

    bool operator==(const Module&) const = default;
};

struct Description {
    std::vector<Module> modules;  // ascending module number (load() and builtinDefault() sort)

    // Logical ids count the modules from 1 in ascending module number; 0 means "no such module".
    uint32_t logicalIdOf(uint32_t moduleNumber) const;
    const Module* findByNumber(uint32_t moduleNumber) const;
    const Module* findByLogicalId(uint32_t logicalId) const;

    bool operator==(const Description&) const = default;
};

// A description that cannot be used. what() reads
//   hardware description <file>: <place>: expected <what>, found <what was there>
// where the place is a JSON pointer (/modules/1/trunks/0/channels) or, for a syntax error, a line
// and column (counted in characters from 1).
class DescriptionError : public std::runtime_error {
  public:
    DescriptionError(std::string file, std::string place, std::string detail);

    const std::string& file() const noexcept { return m_file; }
    const std::string& place() const noexcept { return m_place; }  // empty when the whole file
    const std::string& detail() const noexcept { return m_detail; }

  private:
    std::string m_file;
    std::string m_place;
    std::string m_detail;
};

// Reads and checks a description file. Throws DescriptionError.
Description load(const std::filesystem::path& file);

// Checks a description given as text; `source` names it in errors. Throws DescriptionError.
Description parse(std::string_view json, const std::string& source);

// Two modules: number 2 with two E1 spans of 30 channels (60 voice resources), number 5 with four
// T1 spans of 24 channels (96 voice resources). platform/hardware/examples/default.json is this
// description written out.
Description builtinDefault();

// The description as JSON, in the file format above, ending with a newline; load() reads it back
// to an equal description.
std::string toJson(const Description& description);

// The outcome of looking for the machine's description: the description, or why there is none.
class LoadResult {
  public:
    LoadResult(Description description, std::string source);
    explicit LoadResult(DescriptionError error);

    bool ok() const noexcept;
    explicit operator bool() const noexcept { return ok(); }
    // The description; throws the DescriptionError when there is none.
    const Description& value() const;
    // The error, or null when ok().
    const DescriptionError* error() const noexcept;
    // The file the description came from, or "built-in default".
    const std::string& source() const noexcept { return m_source; }

  private:
    std::variant<Description, DescriptionError> m_result;
    std::string m_source;
};

// Reads TARNWICK_HARDWARE now: the file it names, or the built-in default when it is unset or
// empty. Never throws for a broken file; the result carries the error.
LoadResult loadFromEnvironment();

// loadFromEnvironment() done once per process (the first caller does it, any thread); every later
// call returns the same result, so all users in the process see one machine.
const LoadResult& loadCurrent();

// loadCurrent().value(): throws DescriptionError when the file named by TARNWICK_HARDWARE is
// broken (a broken file never falls back to the default).
const Description& current();

}  // namespace hw
