// The .reg file reader on arbitrary bytes (UTF-16LE, UTF-8, REGEDIT4): it either gives a
// document or throws RegFileError; a document it accepts must read back equal once written.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "RegFile.h"

namespace {

using tarnwick::ctl::RegFileDocument;

bool same(const RegFileDocument& a, const RegFileDocument& b) {
    if (a.keys.size() != b.keys.size()) return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const auto& x = a.keys[k];
        const auto& y = b.keys[k];
        if (x.path != y.path || x.remove != y.remove || x.values.size() != y.values.size()) {
            std::fprintf(stderr, "key %zu differs: [%s] / [%s]\n", k, x.path.c_str(),
                         y.path.c_str());
            return false;
        }
        for (std::size_t v = 0; v < x.values.size(); ++v) {
            const auto& p = x.values[v];
            const auto& q = y.values[v];
            if (p.name != q.name || p.type != q.type || p.data != q.data || p.remove != q.remove) {
                std::fprintf(stderr, "value %zu of key %zu differs: \"%s\" / \"%s\"\n", v, k,
                             p.name.c_str(), q.name.c_str());
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegFileDocument first;
    try {
        first = tarnwick::ctl::parseRegFile(bytes);
    } catch (const tarnwick::ctl::RegFileError& e) {
        if (e.line() == 0) {
            std::fprintf(stderr, "error without a line: %s\n", e.what());
            std::abort();
        }
        return 0;
    }
    const std::string written = tarnwick::ctl::writeRegFile(first);
    try {
        const RegFileDocument second = tarnwick::ctl::parseRegFile(written);
        if (!same(first, second)) {
            std::fprintf(stderr, "document changed when written back\n");
            std::abort();
        }
    } catch (const tarnwick::ctl::RegFileError& e) {
        std::fprintf(stderr, "written document refused: %s\n", e.what());
        std::abort();
    }
    return 0;
}
