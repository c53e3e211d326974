#include "hardware/Description.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <utility>

namespace hw {

uint32_t Module::lines() const {
    uint32_t total = 0;
    for (const Trunk& trunk : trunks) {
        total += trunk.channels;
    }
    return total;
}

const Trunk* Module::findTrunk(uint32_t spanNumber) const {
    for (const Trunk& trunk : trunks) {
        if (trunk.number == spanNumber) {
            return &trunk;
        }
    }
    return nullptr;
}

std::vector<Feature> Module::featureSet() const {
    // A serial number that is not a 32-bit decimal cannot come from load(); a description built
    // in code reports 0 rather than a wrapped value.
    int32_t serial = 0;
    const char* first = serialNumber.data();
    const char* last = first + serialNumber.size();
    auto [end, ec] = std::from_chars(first, last, serial);
    if (ec != std::errc{} || end != last) {
        serial = 0;
    }

    std::vector<Feature> set;
    set.reserve(features.size() + 2);
    set.push_back(Feature{"Product", FeatureType::Text, 0, product});
    set.push_back(Feature{"SerialN", FeatureType::Integer, serial, {}});
    set.insert(set.end(), features.begin(), features.end());
    return set;
}

uint32_t Description::logicalIdOf(uint32_t moduleNumber) const {
    // Counted rather than taken from the position, so that a description built in code in any
    // order still gets the ids the hardware would give it.
    if (findByNumber(moduleNumber) == nullptr) {
        return 0;
    }
    uint32_t below = 0;
    for (const Module& module : modules) {
        if (module.number < moduleNumber) {
            ++below;
        }
    }
    return below + 1;
}

const Module* Description::findByNumber(uint32_t moduleNumber) const {
    for (const Module& module : modules) {
        if (module.number == moduleNumber) {
            return &module;
        }
    }
    return nullptr;
}

const Module* Description::findByLogicalId(uint32_t logicalId) const {
    if (logicalId == 0) {
        return nullptr;
    }
    for (const Module& module : modules) {
        if (logicalIdOf(module.number) == logicalId) {
            return &module;
        }
    }
    return nullptr;
}

namespace {

Trunk trunk(uint32_t number, std::string type, std::string subtype, uint32_t channels,
            uint8_t spanType, uint8_t spanSubtype) {
    return Trunk{number, std::move(type), std::move(subtype), channels, spanType, spanSubtype};
}

}  // namespace

Description builtinDefault() {
    Module e1;
    e1.number = 2;
    e1.serialNumber = "3104217";
    e1.product = "TNW-2E1 dual E1 telephony board";
    e1.revision = "B2";
    e1.voiceResources = 60;
    e1.hostBusFormat = "PCI";
    e1.technologyName = "TNW-VX2";
    e1.tdmBusMediaType = "TDM-32";
    e1.tdmBusTechnologyName = "TNW-Bus";
    e1.features = {
        Feature{"AdvSph", FeatureType::Switch, 1, {}},
        Feature{"V34Enab", FeatureType::Switch, 0, {}},
        Feature{"DspCnt", FeatureType::Integer, 4, {}},
        Feature{"Region", FeatureType::Text, 0, "EU"},
    };
    e1.trunks = {trunk(1, "E1", "PRI", 30, 5, 2), trunk(2, "E1", "PRI", 30, 5, 2)};

    Module t1;
    t1.number = 5;
    t1.serialNumber = "3108852";
    t1.product = "TNW-4T1 quad T1 telephony board";
    t1.revision = "A4";
    t1.voiceResources = 96;
    t1.hostBusFormat = "PCI";
    t1.technologyName = "TNW-VX4";
    t1.tdmBusMediaType = "TDM-32";
    t1.tdmBusTechnologyName = "TNW-Bus";
    t1.features = {
        Feature{"AdvSph", FeatureType::Switch, 1, {}},
        Feature{"V34Enab", FeatureType::Switch, 0, {}},
        Feature{"DspCnt", FeatureType::Integer, 8, {}},
        Feature{"Region", FeatureType::Text, 0, "NA"},
    };
    for (uint32_t span = 1; span <= 4; ++span) {
        t1.trunks.push_back(trunk(span, "T1", "RBS", 24, 3, 4));
    }

    Description description;
    description.modules.push_back(std::move(e1));
    description.modules.push_back(std::move(t1));
    return description;
}

DescriptionError::DescriptionError(std::string file, std::string place, std::string detail)
    : std::runtime_error("hardware description " + file + ": " +
                         (place.empty() ? std::string() : place + ": ") + detail),
      m_file(std::move(file)),
      m_place(std::move(place)),
      m_detail(std::move(detail)) {}

LoadResult::LoadResult(Description description, std::string source)
    : m_result(std::move(description)), m_source(std::move(source)) {}

LoadResult::LoadResult(DescriptionError error)
    : m_result(error), m_source(std::get<DescriptionError>(m_result).file()) {}

bool LoadResult::ok() const noexcept {
    return std::holds_alternative<Description>(m_result);
}

const Description& LoadResult::value() const {
    if (const auto* error = std::get_if<DescriptionError>(&m_result)) {
        throw *error;
    }
    return std::get<Description>(m_result);
}

const DescriptionError* LoadResult::error() const noexcept {
    return std::get_if<DescriptionError>(&m_result);
}

LoadResult loadFromEnvironment() {
    const char* file = std::getenv(kEnvironmentVariable);
    if (file == nullptr || *file == '\0') {
        return LoadResult(builtinDefault(), "built-in default");
    }
    try {
        return LoadResult(load(file), file);
    } catch (const DescriptionError& error) {
        return LoadResult(error);
    }
}

const LoadResult& loadCurrent() {
    // Initialisation of a function-local static runs exactly once, whichever thread comes first.
    static const LoadResult result = loadFromEnvironment();
    return result;
}

const Description& current() {
    return loadCurrent().value();
}

}  // namespace hw
