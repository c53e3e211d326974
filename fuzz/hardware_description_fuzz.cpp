// The hardware description parser on arbitrary text: it either gives a description or throws
// hw::DescriptionError; a description it accepts must come back equal from its own JSON.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hardware/Description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    hw::Description first;
    try {
        first = hw::parse(text, "fuzz input");
    } catch (const hw::DescriptionError& e) {
        // what() must be a usable text; reading it all catches a broken message.
        const std::string message = e.what();
        if (message.empty()) std::abort();
        return 0;
    }
    const std::string json = hw::toJson(first);
    try {
        const hw::Description second = hw::parse(json, "written back");
        if (!(second == first)) {
            std::fprintf(stderr, "description changed when written back:\n%s\n", json.c_str());
            std::abort();
        }
    } catch (const hw::DescriptionError& e) {
        std::fprintf(stderr, "written description refused: %s\n%s\n", e.what(), json.c_str());
        std::abort();
    }
    return 0;
}
