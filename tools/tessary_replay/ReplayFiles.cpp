#include "ReplayFiles.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

namespace tessary::replay {
namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<RawName> ParseRawName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const std::string extension = ".bin";
    if (name.size() < extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    const std::size_t seg = name.rfind("_seg");
    if (seg == std::string::npos) return std::nullopt;
    const std::string segment = name.substr(seg + 4, name.size() - extension.size() - seg - 4);
    const std::size_t raw = name.rfind("_raw_b", seg);
    if (raw == std::string::npos || !AllDigits(segment)) return std::nullopt;
    RawName parsed{name.substr(0, raw), name.substr(raw + 6, seg - raw - 6), std::stoull(segment)};
    if (!AllDigits(parsed.board)) return std::nullopt;
    return parsed;
}

bool SegmentOrder(std::vector<std::string>& files) {
    std::vector<std::pair<unsigned long long, std::string>> numbered;
    std::optional<RawName> first;
    for (const std::string& file : files) {
        const std::optional<RawName> name = ParseRawName(file);
        if (!name) return false;
        if (!first) first = name;
        if (name->prefix != first->prefix || name->board != first->board) return false;
        numbered.emplace_back(name->segment, file);
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    bool changed = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        changed |= files[i] != numbered[i].second;
        files[i] = numbered[i].second;
    }
    return changed;
}

bool Backwards(uint64_t last, uint64_t next) {
    constexpr uint64_t kMask = (uint64_t{1} << 48) - 1;
    const uint64_t back = (last - next) & kMask;
    return back != 0 && back < (uint64_t{1} << 47);
}

std::vector<std::filesystem::path> ExistingOutputs(const DaqConfig& config, int board) {
    namespace fs = std::filesystem;
    const fs::path stem = fs::path(config.outfilePath) /
                          std::string(config.outfileName, strnlen(config.outfileName, sizeof config.outfileName));
    const fs::path folder = stem.parent_path();
    const std::string b = std::to_string(board);
    struct Kind {
        bool on;
        std::string begin, end;
    };
    const Kind kinds[] = {{config.outfileList != 0, stem.filename().string() + "_list_b" + b + "_seg", ".txt"},
                          {config.outfileHisto != 0, stem.filename().string() + "_histo_b" + b + "_ch", ".txt"}};
    std::vector<std::tuple<int, unsigned long long, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        for (int k = 0; k < 2; ++k) {
            const Kind& kind = kinds[k];
            if (!kind.on || name.size() <= kind.begin.size() + kind.end.size() ||
                name.compare(0, kind.begin.size(), kind.begin) != 0 ||
                name.compare(name.size() - kind.end.size(), kind.end.size(), kind.end) != 0)
                continue;
            const std::string number =
                name.substr(kind.begin.size(), name.size() - kind.begin.size() - kind.end.size());
            if (AllDigits(number)) found.emplace_back(k, std::stoull(number), it->path());
        }
    }
    const std::string events = stem.filename().string() + "_events_b" + b + ".h5";
    if (config.outfileHdf5 && fs::exists(folder / events, error)) found.emplace_back(2, 0, folder / events);
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& entry : found) paths.push_back(std::move(std::get<2>(entry)));
    return paths;
}

bool OwnOutput(const std::string& raw, const DaqConfig& config, int board) {
    namespace fs = std::filesystem;
    const fs::path path(raw);
    const std::string name = path.filename().string();
    bool named = false;
    for (const char* kind : {"_list_b", "_histo_b", "_events_b"})
        named = named || name.rfind(config.outfileName + std::string(kind) + std::to_string(board) + "_", 0) == 0;
    if (!named) return false;
    // The very file an output of that name would be, its path made as the
    // program makes it (the output path with the name appended): a folder
    // compared with its separator at the end is no folder to every system.
    std::error_code error;
    return fs::equivalent(path, fs::path(std::string(config.outfilePath) + name), error);
}

}  // namespace tessary::replay
