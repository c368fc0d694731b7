#include "SummaryCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <vector>

#include "Checksum.h"
#include "ExitStatus.h"

namespace tessary::replay {
namespace {

using Json = nlohmann::json;

struct Entry {
    std::string name;  // as the summary gives it
    std::filesystem::path path;
    uint64_t size = 0;
    uint32_t crc = 0;
    bool complete = true;  // false: the run could not write the file whole
};

// A summary the checks cannot use; the text says which field and why.
struct Malformed {
    std::string what;
};

bool ParseCrc(const std::string& text, uint32_t& value) {
    if (text.size() != 8) return false;
    value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

// Whether a name of the summary stays inside the summary's folder: relative,
// and no ".." that climbs out of it (looked at as written: a link inside the
// folder is the folder's business).
bool InsideFolder(const std::string& name) {
    const std::filesystem::path path(name);
    if (name.find('\0') != std::string::npos || path.is_absolute() || path.has_root_name() ||
        path.has_root_directory())
        return false;
    int depth = 0;
    for (const std::filesystem::path& part : path) {
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
    }
    return depth > 0;
}

std::vector<Entry> ReadEntries(const Json& summary, const std::filesystem::path& folder) {
    if (!summary.is_object()) throw Malformed{"it is not a JSON object"};
    const auto boards = summary.find("boards");
    if (boards == summary.end() || !boards->is_array()) throw Malformed{"\"boards\" is missing or not a list"};
    std::vector<Entry> entries;
    for (std::size_t b = 0; b < boards->size(); ++b) {
        const Json& board = (*boards)[b];
        const std::string where = "boards[" + std::to_string(b) + "]";
        if (!board.is_object()) throw Malformed{where + " is not an object"};
        const auto files = board.find("files");
        if (files == board.end() || !files->is_array()) throw Malformed{where + ".files is missing or not a list"};
        for (std::size_t f = 0; f < files->size(); ++f) {
            const Json& file = (*files)[f];
            const std::string at = where + ".files[" + std::to_string(f) + "]";
            if (!file.is_object()) throw Malformed{at + " is not an object"};
            const auto name = file.find("name");
            const auto size = file.find("size");
            const auto crc = file.find("crc32c");
            if (name == file.end() || !name->is_string() || name->get_ref<const std::string&>().empty())
                throw Malformed{at + ".name is missing or not a file name"};
            if (size == file.end() || !size->is_number_unsigned())
                throw Malformed{at + ".size is missing or not a whole number of bytes"};
            Entry entry;
            if (crc == file.end() || !crc->is_string() || !ParseCrc(crc->get_ref<const std::string&>(), entry.crc))
                throw Malformed{at + ".crc32c is missing or not 8 hexadecimal digits"};
            if (const auto complete = file.find("complete"); complete != file.end()) {
                if (!complete->is_boolean()) throw Malformed{at + ".complete is not true or false"};
                entry.complete = complete->get<bool>();
            }
            entry.name = name->get<std::string>();
            entry.size = size->get<uint64_t>();
            // The run names its files relative to the summary's folder; any
            // other name is not the run's, and is not opened.
            if (!InsideFolder(entry.name))
                throw Malformed{at + ".name \"" + entry.name + "\" is not a file inside the summary's folder"};
            entry.path = folder / entry.name;
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

enum class Outcome { Ok, Mismatch, Missing, Unreadable };

// Streams the file through the checksum in large blocks. A file the run
// could not write whole is checked all the same against what the summary
// says it kept, but never passes: it is not all the run meant to write.
Outcome Check(const Entry& entry, std::vector<unsigned char>& block) {
    std::FILE* file = std::fopen(entry.path.string().c_str(), "rb");
    if (!file) {
        const int error = errno;
        std::printf("%s %s: %s\n", error == ENOENT ? "MISSING " : "UNREADABLE", entry.name.c_str(),
                    std::strerror(error));
        return error == ENOENT ? Outcome::Missing : Outcome::Unreadable;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    // By the file system library: a 64-bit size on every system (the
    // Windows C library's stat has a 32-bit one).
    std::error_code sizeError;
    const bool regular = std::filesystem::is_regular_file(entry.path, sizeError);
    const std::uintmax_t size = regular ? std::filesystem::file_size(entry.path, sizeError) : 0;
    if (regular && !sizeError && static_cast<uint64_t>(size) != entry.size) {
        std::printf("MISMATCH %s: size %llu expected %llu\n", entry.name.c_str(),
                    static_cast<unsigned long long>(size), static_cast<unsigned long long>(entry.size));
        return Outcome::Mismatch;
    }
    Crc32c crc;
    uint64_t bytes = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        crc.Add(block.data(), got);
        bytes += got;
        if (got < block.size()) break;
    }
    if (std::ferror(file)) {
        const int error = errno != 0 ? errno : EIO;
        std::printf("UNREADABLE %s: %s\n", entry.name.c_str(), std::strerror(error));
        return Outcome::Unreadable;
    }
    if (bytes != entry.size) {
        std::printf("MISMATCH %s: size %llu expected %llu\n", entry.name.c_str(),
                    static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(entry.size));
        return Outcome::Mismatch;
    }
    if (crc.Value() != entry.crc) {
        char got[9], expected[9];
        FormatCrc32c(crc.Value(), got);
        FormatCrc32c(entry.crc, expected);
        std::printf("MISMATCH %s: checksum %s expected %s\n", entry.name.c_str(), got, expected);
        return Outcome::Mismatch;
    }
    if (!entry.complete) {
        std::printf("INCOMPLETE %s: the run could not write it whole; the %llu bytes it kept match\n",
                    entry.name.c_str(), static_cast<unsigned long long>(entry.size));
        return Outcome::Mismatch;
    }
    std::printf("OK       %s\n", entry.name.c_str());
    return Outcome::Ok;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// A name as the program names a run's raw, list and histogram files; the
// first group is the prefix.
const std::regex& ProgramName() {
    static const std::regex kName(
        "(.+)_(raw_b[0-9]+_seg[0-9]+\\.bin|list_b[0-9]+_seg[0-9]+\\.txt|histo_b[0-9]+_ch[0-9]+\\.txt)");
    return kName;
}

// The prefix that the run's files share (its OUTFILE_NAME without a folder):
// what the summary's name has before "_summary.json", as the program names
// it; else the one that every name of the program's own kinds in the summary
// shares. None when neither tells.
std::optional<std::string> RunPrefix(const std::filesystem::path& summary, const std::vector<Entry>& entries) {
    const std::string name = summary.filename().string();
    const std::string ending = "_summary.json";
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        return name.substr(0, name.size() - ending.size());
    std::optional<std::string> prefix;
    for (const Entry& entry : entries) {
        std::smatch match;
        if (entry.name.find('/') != std::string::npos || !std::regex_match(entry.name, match, ProgramName())) continue;
        if (prefix && *prefix != match[1].str()) return std::nullopt;
        prefix = match[1].str();
    }
    return prefix;
}

// Files in the summary's folder that bear the run's prefix (<prefix>_... or
// <prefix>.xxx) but that the summary does not name, sorted. Not the summary
// itself, the run's <prefix>_summary.json and <prefix>.lock, nor the files of
// another run whose name extends the prefix (<prefix>_b) and whose summary is
// in the folder.
std::vector<std::string> ExtraFiles(const std::filesystem::path& summary, const std::vector<Entry>& entries) {
    namespace fs = std::filesystem;
    const std::optional<std::string> prefix = RunPrefix(summary, entries);
    if (!prefix || prefix->empty()) return {};
    const fs::path folder = summary.has_parent_path() ? summary.parent_path() : fs::path(".");
    std::set<fs::path> named;
    for (const Entry& entry : entries) named.insert(entry.path.lexically_normal());
    std::vector<std::string> candidates, others;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) continue;
        const std::string name = it->path().filename().string();
        if (!StartsWith(name, *prefix + "_") && !StartsWith(name, *prefix + ".")) continue;
        const std::string ending = "_summary.json";
        if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0 &&
            name != *prefix + ending)
            others.push_back(name.substr(0, name.size() - ending.size()));
        if (name == summary.filename().string() || name == *prefix + ending || name == *prefix + ".lock" ||
            named.count((folder / name).lexically_normal()))
            continue;
        candidates.push_back(name);
    }
    if (error) {
        std::fprintf(stderr, "tessary_replay: the folder %s cannot be listed (%s): files the summary does not name "
                             "were not looked for\n", folder.string().c_str(), error.message().c_str());
        return {};
    }
    std::vector<std::string> extra;
    for (const std::string& name : candidates) {
        std::smatch match;
        bool another = false;
        if (!std::regex_match(name, match, ProgramName()) || match[1].str() != *prefix)
            for (const std::string& other : others)
                another |= StartsWith(name, other + "_") || StartsWith(name, other + ".");
        if (!another) extra.push_back(name);
    }
    std::sort(extra.begin(), extra.end());
    return extra;
}

}  // namespace

int VerifySummary(const std::string& summaryPath) {
    std::vector<Entry> entries;
    try {
        std::ifstream in(summaryPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tessary_replay: the summary %s cannot be read: %s\n", summaryPath.c_str(),
                         std::strerror(errno));
            return kExitUsage;
        }
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) {
            std::fprintf(stderr, "tessary_replay: the summary %s cannot be read\n", summaryPath.c_str());
            return kExitUsage;
        }
        const Json summary = Json::parse(text);
        entries = ReadEntries(summary, std::filesystem::path(summaryPath).parent_path());
    } catch (const Malformed& bad) {
        std::fprintf(stderr, "tessary_replay: the summary %s is malformed: %s\n", summaryPath.c_str(),
                     bad.what.c_str());
        return kExitUsage;
    } catch (const Json::exception& bad) {
        std::fprintf(stderr, "tessary_replay: the summary %s is not valid JSON: %s\n", summaryPath.c_str(),
                     bad.what());
        return kExitUsage;
    } catch (const std::exception& bad) {
        std::fprintf(stderr, "tessary_replay: the summary %s cannot be read: %s\n", summaryPath.c_str(), bad.what());
        return kExitUsage;
    }

    std::vector<unsigned char> block(std::size_t{4} << 20);
    std::size_t counts[4] = {};
    for (const Entry& entry : entries) ++counts[static_cast<int>(Check(entry, block))];
    // Named neither by the summary nor as the run's own: a warning.
    const std::vector<std::string> extra = ExtraFiles(summaryPath, entries);
    for (const std::string& name : extra) std::printf("EXTRA    %s\n", name.c_str());
    std::printf("%zu files: %zu OK, %zu mismatched, %zu missing, %zu unreadable", entries.size(), counts[0],
                counts[1], counts[2], counts[3]);
    if (!extra.empty()) std::printf("; %zu not named (EXTRA)", extra.size());
    std::printf("\n");
    return counts[0] == entries.size() ? kExitOk : kExitBadData;
}

}  // namespace tessary::replay
