#include "EarlierRun.h"

#include <algorithm>
#include <ctime>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "Directory.h"
#include "OutputFiles.h"
#include "Paths.h"
#include "RunSummary.h"

namespace tessary {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The start of the run a summary describes, as YYYYMMDD-HHMMSS, from its
// "started" field as the program writes it (YYYY-MM-DDTHH:MM:SSZ, UTC);
// empty when it has none of that form.
std::string StartOfSummary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const nlohmann::json summary = nlohmann::json::parse(in, nullptr, false);
    if (!summary.is_object() || !summary.contains("started") || !summary["started"].is_string()) return {};
    const std::string& iso = summary["started"].get_ref<const std::string&>();
    constexpr char kForm[] = "dddd-dd-ddTdd:dd:ddZ";
    if (iso.size() != sizeof kForm - 1) return {};
    std::string stamp;
    for (std::size_t i = 0; i < iso.size(); ++i) {
        if (kForm[i] != 'd') {
            if (iso[i] != kForm[i]) return {};
            if (kForm[i] == 'T') stamp += '-';
        } else if (iso[i] < '0' || iso[i] > '9') {
            return {};
        } else {
            stamp += iso[i];
        }
    }
    return stamp;
}

// The earlier run's files in the place's folder, sorted by name.
std::vector<platform::FolderEntry> EarlierFiles(const RunPlace& place, const std::vector<platform::FolderEntry>& all) {
    const std::string prefix = place.stem + "_";
    std::vector<platform::FolderEntry> files;
    if (!place.outputFiles) {
        for (const platform::FolderEntry& e : all)
            if (!e.directory && e.name == prefix + "summary.json") files.push_back(e);
        return files;
    }
    // Other names that begin as this one does and have their own lock file:
    // their files are theirs, and one of them may be running now.
    std::set<std::string> others;
    constexpr char kLock[] = ".lock";
    const std::size_t lockLength = sizeof kLock - 1;
    for (const platform::FolderEntry& e : all)
        if (!e.directory && StartsWith(e.name, prefix) && e.name.size() > lockLength &&
            e.name.compare(e.name.size() - lockLength, lockLength, kLock) == 0)
            others.insert(e.name.substr(0, e.name.size() - lockLength));
    for (const platform::FolderEntry& e : all) {
        if (e.directory || !StartsWith(e.name, prefix)) continue;
        const bool another = std::any_of(others.begin(), others.end(), [&](const std::string& other) {
            return e.name == other + kLock || StartsWith(e.name, other + "_");
        });
        if (!another) files.push_back(e);
    }
    std::sort(files.begin(), files.end(),
              [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
    return files;
}

// A time in seconds since 1970 as YYYYMMDD-HHMMSS, UTC.
std::string UtcStamp(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    const std::tm* utc = std::gmtime(&time);  // start-up: the program's only thread
    char stamp[32] = "00000000-000000";
    if (utc) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", utc);
    return stamp;
}

}  // namespace

RunPlace PlaceOfRun(const DaqConfig& config, const std::string& userFolder) {
    RunPlace place;
    place.outputFiles = config.outfileRaw || config.outfileList || config.outfileHisto || config.outfileHdf5;
    // The summary's folder and name: OUTFILE_PATH with an output file on,
    // else the per-user folder.
    std::string path = SummaryPath(config, userFolder);
    path.resize(path.size() - (sizeof kSummarySuffix - 1));
    const std::size_t slash = path.find_last_of(platform::PathSeparators());
    place.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    place.stem = slash == std::string::npos ? path : path.substr(slash + 1);
    return place;
}

std::string LockFilePath(const RunPlace& place) { return place.folder + place.stem + ".lock"; }

ProgramError MoveEarlierRunAside(const RunPlace& place, std::FILE* out) {
    const std::string folder = place.folder.empty() ? std::string(".") : place.folder;
    std::vector<platform::FolderEntry> all;
    if (!platform::ListFolder(folder, all)) {
        std::fprintf(out, "Output folder %s cannot be read: %s. Not started: files of an earlier run %s may be there\n",
                     folder.c_str(), std::strerror(errno), place.stem.c_str());
        return ProgramError::OutputFileOpen;
    }
    const std::vector<platform::FolderEntry> files = EarlierFiles(place, all);
    if (files.empty()) return ProgramError::None;

    // Named after the earlier run's start: its summary's, else its oldest file's.
    std::string name;
    const std::string summary = place.stem + kSummarySuffix;
    if (std::any_of(files.begin(), files.end(), [&](const platform::FolderEntry& e) { return e.name == summary; })) {
        const std::string stamp = StartOfSummary(place.folder + summary);
        if (!stamp.empty()) name = place.stem + "_" + stamp;
    }
    if (name.empty()) {
        int64_t oldest = files.front().modifiedS;
        for (const platform::FolderEntry& e : files) oldest = std::min(oldest, e.modifiedS);
        name = place.stem + "_" + UtcStamp(oldest);
    }
    std::string aside;
    for (int suffix = 1;; ++suffix) {
        aside = place.folder + name;
        if (suffix > 1) aside.append(1, '-').append(std::to_string(suffix));
        if (platform::MakeDirectory(aside)) break;
        if (errno != EEXIST || suffix >= 10000) {
            std::fprintf(out,
                         "Folder %s for the files of the earlier run %s could not be created: %s. Not started, so as "
                         "not to overwrite them: move them away, or start with --overwrite to replace them\n",
                         aside.c_str(), place.stem.c_str(), std::strerror(errno));
            return ProgramError::OutputFileOpen;
        }
    }
    aside += platform::PathSeparator();

    std::size_t moved = 0;
    for (; moved < files.size(); ++moved) {
        const std::string& file = files[moved].name;
        if (platform::MoveWithoutReplacing(place.folder + file, aside + file)) continue;
        const int error = errno;
        // Put back, so that the earlier run stays as it was.
        std::size_t back = 0;
        for (std::size_t i = 0; i < moved; ++i)
            back += platform::MoveWithoutReplacing(aside + files[i].name, place.folder + files[i].name);
        if (back == moved) platform::RemoveEmptyDirectory(aside);
        std::fprintf(out,
                     "File %s%s of the earlier run %s could not be moved to %s: %s. Not started, so as not to "
                     "overwrite it: move the earlier run's files away, or start with --overwrite to replace them\n",
                     place.folder.c_str(), file.c_str(), place.stem.c_str(), aside.c_str(), std::strerror(error));
        if (back < moved)
            std::fprintf(out, "%zu of its files are in %s\n", moved - back, aside.c_str());
        return ProgramError::OutputFileOpen;
    }
    std::fprintf(out, "Earlier run %s: %zu file%s moved to %s\n", place.stem.c_str(), moved, moved == 1 ? "" : "s",
                 aside.c_str());
    return ProgramError::None;
}

ProgramError PrepareOutputFolder(const DaqConfig& config, const std::string& userFolder, bool overwrite,
                                 std::FILE* out, platform::FileLock& lock) {
    const RunPlace place = PlaceOfRun(config, userFolder);
    if (place.outputFiles)
        if (const ProgramError e = MakeOutputDirectory(config, out); e != ProgramError::None) return e;
    const std::string lockPath = LockFilePath(place);
    const std::string folder = place.folder.empty() ? std::string(".") : place.folder;
    switch (lock.Take(lockPath)) {
        case platform::FileLock::Outcome::Taken:
            break;
        case platform::FileLock::Outcome::Busy: {
            char owner[32] = "unknown";
            if (lock.OwnerPid() > 0) std::snprintf(owner, sizeof owner, "%ld", lock.OwnerPid());
            std::fprintf(out,
                         "Output folder %s is in use for the run %s by another Tessary_DAQ, process id %s (lock "
                         "file %s). Not started: end that program first, or choose another OUTFILE_NAME or "
                         "OUTFILE_PATH\n",
                         folder.c_str(), place.stem.c_str(), owner, lockPath.c_str());
            return ProgramError::OutputFileOpen;
        }
        case platform::FileLock::Outcome::Failed:
            std::fprintf(out, "Output folder %s cannot be locked for the run %s: lock file %s: %s\n", folder.c_str(),
                         place.stem.c_str(), lockPath.c_str(), std::strerror(lock.Error()));
            return ProgramError::OutputFileOpen;
    }
    return overwrite ? ProgramError::None : MoveEarlierRunAside(place, out);
}

}  // namespace tessary
