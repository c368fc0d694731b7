#include "RunSummary.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "Checksum.h"
#include "OutputFile.h"
#include "PrintableText.h"

namespace tessary {
namespace {

std::string IsoUtc(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const std::tm* utc = std::gmtime(&seconds);  // the program's only thread by now
    char text[32] = "unknown";
    if (utc) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    return text;
}

std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

// The folder part of a path, separator included ("" for none).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string RelativeTo(const std::string& folder, const std::string& name) {
    if (!folder.empty() && name.compare(0, folder.size(), folder) == 0) return name.substr(folder.size());
    return name;
}

}  // namespace

std::string ConnectionText(const BoardSettings& b) {
    char text[160];
    switch (b.connectionType) {
        case kConnectionUsb: std::snprintf(text, sizeof text, "USB link %d", b.linkNumber); break;
        case kConnectionPci:
            std::snprintf(text, sizeof text, "PCI link %d node %d", b.linkNumber, b.nodeNumber);
            break;
        case kConnectionUsbR210:
            std::snprintf(text, sizeof text, "USB_R210 link %d node %d", b.linkNumber, b.nodeNumber);
            break;
        case kConnectionEthR330:
            std::snprintf(text, sizeof text, "ETH_R330 host %s base address %x",
                          Field(b.hostName, sizeof b.hostName).c_str(), b.baseAddress);
            break;
        case kConnectionUsbR330:
            std::snprintf(text, sizeof text, "USB_R330 link %d base address %x", b.linkNumber, b.baseAddress);
            break;
        default: std::snprintf(text, sizeof text, "connection type %d", b.connectionType); break;
    }
    return text;
}

std::string SummaryPath(const DaqConfig& config, const std::string& userFolder) {
    const bool files = config.outfileRaw || config.outfileList || config.outfileHisto || config.outfileHdf5;
    const std::string folder = files ? Field(config.outfilePath, sizeof config.outfilePath) : userFolder;
    return folder + Field(config.outfileName, sizeof config.outfileName) + kSummarySuffix;
}

std::string SummaryJson(const RunSummary& s, const std::string& summaryPath) {
    using json = nlohmann::ordered_json;  // fields in the order a reader expects them
    const std::string folder = FolderOf(summaryPath);
    json boards = json::array();
    for (const RunSummary::Board& b : s.boards) {
        json files = json::array();
        for (const WrittenFile& f : b.files) {
            char crc[9];
            FormatCrc32c(f.checksum, crc);
            json file = {{"name", RelativeTo(folder, f.name)}, {"size", f.bytes}, {"crc32c", crc}};
            if (!f.whole) file["complete"] = false;
            files.push_back(std::move(file));
        }
        boards.push_back({{"model", b.model},
                          {"connection", b.connection},
                          {"events", b.totals.events},
                          {"bytes", b.totals.bytes},
                          {"triggers", b.totals.triggers},
                          {"triggers_lost", b.totals.triggersLost},
                          {"pile_up", b.totals.pileUp},
                          {"saturated", b.totals.saturated},
                          {"real_time_s", b.times.realS},
                          {"live_time_s", b.times.LiveS()},
                          {"dead_time_s", b.times.deadS},
                          {"files", std::move(files)}});
    }
    json summary = {{"version", s.version},
                    {"config", s.configPath},
                    {"started", IsoUtc(s.startedMs)},
                    {"stopped", IsoUtc(s.stoppedMs)},
                    {"ended_by", s.endedBy}};
    if (s.presetBoard >= 0) summary["preset_board"] = s.presetBoard;
    json periods = json::array();
    for (const RunSummary::Period& p : s.periods)
        periods.push_back({{"started", IsoUtc(p.startedMs)}, {"stopped", IsoUtc(p.stoppedMs)}});
    summary["acquisition"] = std::move(periods);
    summary["boards"] = std::move(boards);
    // Invalid UTF-8 in a path is replaced, not thrown at the end of a run.
    return summary.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool WriteSummaryFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string part = path + ".part";
    const int fd = platform::CreateOutputFile(part.c_str());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool written = platform::WriteFully(fd, text.data(), text.size(), nullptr, 0);
    int failure = written ? 0 : errno;
    // On the disk before it takes the old one's place, and the close checked.
    if (written && !platform::SyncOutputFile(fd)) written = false, failure = errno;
    if (!platform::CloseOutputFile(fd) && written) written = false, failure = errno;
    if (written && !platform::ReplaceFile(part.c_str(), path.c_str())) written = false, failure = errno;
    if (!written) {
        error = std::strerror(failure);
        platform::RemoveFile(part.c_str());
    }
    return written;
}

void PrintSummary(std::FILE* out, const RunSummary& s) {
    std::fprintf(out, "Run summary: %s to %s, ended by %s\n", IsoUtc(s.startedMs).c_str(),
                 IsoUtc(s.stoppedMs).c_str(), s.endedBy.c_str());
    for (std::size_t b = 0; b < s.boards.size(); ++b) {
        const RunSummary::Board& board = s.boards[b];
        const BoardTotals& t = board.totals;
        std::fprintf(out,
                     "Board %zu (%s, %s): %llu events, %llu bytes, %llu triggers (%llu lost), %llu pile-up, "
                     "%llu saturated; real %.3f s, live %.3f s\n",
                     b, board.model.c_str(), Printable(board.connection).c_str(),
                     static_cast<unsigned long long>(t.events),
                     static_cast<unsigned long long>(t.bytes), static_cast<unsigned long long>(t.triggers),
                     static_cast<unsigned long long>(t.triggersLost), static_cast<unsigned long long>(t.pileUp),
                     static_cast<unsigned long long>(t.saturated), board.times.realS, board.times.LiveS());
    }
}

}  // namespace tessary
