#include "EarlierRun.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "Directory.h"
#include "OutputFiles.h"
#include "Paths.h"

namespace tessary {
namespace {

std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The start of the run a summary describes, as YYYYMMDD-HHMMSS, from its
// "started" field (YYYY-MM-DDTHH:MM:SSZ, UTC); empty when it has none.
std::string StartOfSummary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const nlohmann::json summary = nlohmann::json::parse(text, nullptr, false);
    if (!summary.is_object()) return {};
    const auto started = summary.find("started");
    if (started == summary.end() || !started->is_string()) return {};
    const std::string& iso = started->get_ref<const std::string&>();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second,
                    &zone) != 7 ||
        zone != 'Z' || year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60 || hour < 0 || minute < 0 || second < 0)
        return {};
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute, second);
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

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t m = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m < 10 ? m + 3 : m - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

RunPlace PlaceOfRun(const DaqConfig& config, const std::string& userFolder) {
    RunPlace place;
    place.outputFiles = config.outfileRaw || config.outfileList || config.outfileHisto;
    // File names are the path and the name joined, as the files are named.
    const std::string path = (place.outputFiles ? Field(config.outfilePath, sizeof config.outfilePath) : userFolder) +
                             Field(config.outfileName, sizeof config.outfileName);
    const std::size_t slash = path.find_last_of(platform::PathSeparator());
    place.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    place.stem = slash == std::string::npos ? path : path.substr(slash + 1);
    return place;
}

std::string LockFilePath(const RunPlace& place) { return place.folder + place.stem + ".lock"; }

std::string EarlierRunFolderName(const std::string& stem, int64_t startedS) {
    const int64_t days = (startedS >= 0 ? startedS : startedS - 86399) / 86400;
    const int64_t secondOfDay = startedS - days * 86400;
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", year, month, day,
                  static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                  static_cast<int>(secondOfDay % 60));
    return stem + "_" + stamp;
}

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
    const std::string summary = place.stem + "_summary.json";
    if (std::any_of(files.begin(), files.end(), [&](const platform::FolderEntry& e) { return e.name == summary; })) {
        const std::string stamp = StartOfSummary(place.folder + summary);
        if (!stamp.empty()) name = place.stem + "_" + stamp;
    }
    if (name.empty()) {
        int64_t oldest = files.front().modifiedS;
        for (const platform::FolderEntry& e : files) oldest = std::min(oldest, e.modifiedS);
        name = EarlierRunFolderName(place.stem, oldest);
    }
    std::string aside;
    for (int suffix = 1;; ++suffix) {
        aside = place.folder + name + (suffix > 1 ? "-" + std::to_string(suffix) : std::string());
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
