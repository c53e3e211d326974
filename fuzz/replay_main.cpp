// Replays inputs through a fuzz target without libFuzzer: every file named on the command line,
// and every regular file of a directory named there (sorted, not recursive), is passed once to
// LLVMFuzzerTestOneInput. A failing check aborts, which fails the test that runs this program.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
    // A copy of exactly the file's size, so that a read past the end is caught by the sanitizers.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &kNothing : data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg, ec)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            if (ec) {
                std::fprintf(stderr, "cannot list %s: %s\n", arg.c_str(), ec.message().c_str());
                ok = false;
            }
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                ok = replay(f) && ok;
                ++count;
            }
        } else {
            ok = replay(arg) && ok;
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "usage: %s FILE|DIRECTORY...  (no input given or found)\n", argv[0]);
        return 2;
    }
    std::fprintf(stderr, "%zu input(s) replayed\n", count);
    return ok ? 0 : 1;
}
