#include "MonitorJson.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "BoardCounters.h"

namespace tessary::monitor {
namespace {

using nlohmann::json;

// A wall-clock time as ISO 8601 UTC with milliseconds; null for 0 (never).
json Time(int64_t ms) {
    if (ms <= 0) return nullptr;
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    if (gmtime_r(&seconds, &utc) == nullptr) return nullptr;
    char text[64];  // room for any year the fields can hold
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

json Statistics(const BoardStatus& board) {
    if (!board.printed) return nullptr;
    const StatisticsFigures& f = board.figures;
    json channels = json::array();
    for (int ch = 0; ch < board.channelCount && ch < kMaxChannels; ++ch) {
        const ChannelFigures& c = f.channels[ch];
        const auto figure = [&](double value) { return c.enabled ? json(value) : json(nullptr); };
        channels.push_back({{"channel", ch},
                            {"enabled", c.enabled},
                            {"saturated_percent", figure(c.saturatedPercent)},
                            {"suppressed_percent", figure(c.suppressedPercent)},
                            {"ocr_kcps", figure(c.ocrKcps)},
                            {"ocr_with_saturated_kcps", figure(c.ocrWithSaturatedKcps)}});
    }
    return {{"printed", Time(board.printedAtMs)},
            {"no_data", f.noData},
            {"real_time_s", f.realTimeS},
            {"live_time_s", f.liveTimeS},
            {"dead_time_percent", f.deadTimePercent},
            {"throughput_mb_s", f.throughputMBps},
            {"detected_khz", f.detectedKHz},
            {"processed_khz", f.processedKHz},
            {"pile_up_khz", f.pileUpKHz},
            {"channels", std::move(channels)}};
}

json Board(const BoardStatus& board) {
    json written = json::object();
    for (int kind = 0; kind < kFileKinds; ++kind) written[FileKindName(kind)] = board.writtenBytes[kind];
    return {{"board", board.board},
            {"model", board.model},
            {"channels", board.channelCount},
            {"events", board.events},
            {"bytes", board.bytes},
            {"triggers", board.triggers},
            {"triggers_lost", board.triggersLost},
            {"pile_up_events", board.pileUpEvents},
            {"saturated", board.saturated},
            {"written_bytes", std::move(written)},
            {"live_time_s", board.liveTimeS},
            {"dead_time_s", board.deadTimeS},
            {"statistics", Statistics(board)}};
}

json Disk(const DiskStatus& disk) {
    if (!disk.known) return nullptr;
    return {{"free_bytes", disk.freeBytes},
            {"write_bytes_per_s", disk.writeBytesPerS},
            {"seconds_to_full", disk.secondsToFull < 0 ? json(nullptr) : json(disk.secondsToFull)},
            {"low_space_warning", disk.lowSpaceWarned}};
}

std::string Text(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

std::string StatusJson(const RunStatus& status, const std::vector<Message>& messages) {
    json boards = json::array();
    for (const BoardStatus& board : status.boards) boards.push_back(Board(board));
    json files = json::array();
    for (const FileStatus& file : status.files) files.push_back({{"path", file.path}, {"bytes", file.bytes}});
    json kept = json::array();
    for (const Message& message : messages)
        kept.push_back({{"number", message.number}, {"time", Time(message.timeMs)}, {"text", message.text}});
    const json preset = status.preset.empty() ? json(nullptr)
                                              : json{{"text", status.preset}, {"progress", status.presetProgress}};
    return Text({{"sequence", status.sequence},
                 {"state", RunStateName(status.state)},
                 {"ended_by", status.state == RunState::Ended ? json(status.endedBy) : json(nullptr)},
                 {"config", status.configPath},
                 {"version", status.version},
                 {"started", Time(status.startedMs)},
                 {"published", Time(status.publishedMs)},
                 {"acquisition_s", status.acquisitionS},
                 {"preset", preset},
                 {"plot", {{"board", status.plotBoard}, {"group", status.plotGroup}}},
                 // What the state allows the controls now.
                 {"control",
                  {{"start", status.state == RunState::Waiting || status.state == RunState::Stopped},
                   {"stop", status.state == RunState::Acquiring}}},
                 {"spectrum_bins", kSpectrumBins},
                 {"boards", std::move(boards)},
                 {"files", std::move(files)},
                 {"disk", Disk(status.disk)},
                 {"messages", std::move(kept)}});
}

std::string SpectrumJson(int board, int channel, const std::vector<uint32_t>& counts, int64_t takenMs) {
    return Text({{"board", board},
                 {"channel", channel},
                 {"bins", counts.size()},
                 {"taken", Time(takenMs)},
                 {"counts", counts}});
}

}  // namespace tessary::monitor
