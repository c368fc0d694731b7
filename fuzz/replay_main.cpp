// Replays fuzz inputs without libFuzzer: each file named on the command line,
// or each file of each directory named, is copied into a buffer of exactly
// its size (so a sanitizer catches any read past the end) and run once.
// A target's LLVMFuzzerInitialize, when it has one, runs first, as under
// libFuzzer; like libFuzzer's, the replay's own messages go to standard error.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

int RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (!entry.is_regular_file()) continue;
                failures += RunFile(entry.path());
                ++inputs;
            }
        } else {
            failures += RunFile(arg);
            ++inputs;
        }
    }
    if (inputs == 0) {
        std::fprintf(stderr, "no fuzz inputs found\n");
        return 1;
    }
    std::fprintf(stderr, "%d inputs replayed\n", inputs);
    return failures == 0 ? 0 : 1;
}
