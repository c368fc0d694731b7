#include "Metrics.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tessary::monitor {
namespace {

// A label value or help text with its backslashes, new lines (and, in a
// label value, double quotes) escaped as the format asks.
void Escaped(std::string& out, std::string_view text, bool quotes) {
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' && quotes) {
            out += "\\\"";
        } else {
            out += c;
        }
    }
}

void Number(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
    } else {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        out.append(text, end);
    }
}

void Number(std::string& out, uint64_t value) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    Escaped(out, help, false);
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// name{board="B",model="M"[,kind="K"]} value
template <typename Value>
void Sample(std::string& out, const char* name, const BoardStatus& board, Value value, const char* kind = nullptr) {
    out += name;
    out += "{board=\"";
    Number(out, static_cast<uint64_t>(board.board < 0 ? 0 : board.board));
    out += "\",model=\"";
    Escaped(out, board.model, true);
    if (kind != nullptr) {
        out += "\",kind=\"";
        out += kind;
    }
    out += "\"} ";
    Number(out, value);
    out += '\n';
}

struct Counter {
    const char* name;
    const char* help;
    uint64_t BoardStatus::*value;
};

constexpr Counter kCounters[] = {
    {"tessary_events_total", "Events read from the board during the run.", &BoardStatus::events},
    {"tessary_readout_bytes_total", "Bytes read out from the board during the run.", &BoardStatus::bytes},
    {"tessary_triggers_total", "Triggers the board counted during the run.", &BoardStatus::triggers},
    {"tessary_triggers_lost_total", "Triggers the board lost during the run.", &BoardStatus::triggersLost},
    {"tessary_pile_up_events_total", "Piled-up events during the run.", &BoardStatus::pileUpEvents},
    {"tessary_saturated_amplitudes_total", "Saturated amplitudes during the run.", &BoardStatus::saturated},
};

struct Rate {
    const char* name;
    const char* help;
    double StatisticsFigures::*value;
    double scale;  // the printed unit in base units
};

constexpr Rate kRates[] = {
    {"tessary_throughput_bytes_per_second", "Readout throughput in the last statistics block.",
     &StatisticsFigures::throughputMBps, 1e6},
    {"tessary_detected_trigger_rate_hertz", "Detected trigger rate in the last statistics block.",
     &StatisticsFigures::detectedKHz, 1e3},
    {"tessary_processed_trigger_rate_hertz", "Processed trigger rate in the last statistics block.",
     &StatisticsFigures::processedKHz, 1e3},
    {"tessary_pile_up_rate_hertz", "Pile-up rate in the last statistics block.", &StatisticsFigures::pileUpKHz,
     1e3},
};

}  // namespace

std::string MetricsText(const RunStatus& status) {
    std::string out;
    out.reserve(1024 + status.boards.size() * 2048);
    for (const Counter& counter : kCounters) {
        Family(out, counter.name, "counter", counter.help);
        for (const BoardStatus& board : status.boards) Sample(out, counter.name, board, board.*counter.value);
    }
    Family(out, "tessary_written_bytes_total", "counter", "Bytes written to the output files, per kind of file.");
    for (const BoardStatus& board : status.boards)
        for (int kind = 0; kind < kFileKinds; ++kind)
            Sample(out, "tessary_written_bytes_total", board, board.writtenBytes[kind], FileKindName(kind));

    Family(out, "tessary_acquiring", "gauge", "1 while the board acquires, else 0.");
    for (const BoardStatus& board : status.boards)
        Sample(out, "tessary_acquiring", board, status.state == RunState::Acquiring ? 1.0 : 0.0);
    Family(out, "tessary_live_time_seconds", "gauge", "The board's live time over the run's periods of acquisition.");
    for (const BoardStatus& board : status.boards) Sample(out, "tessary_live_time_seconds", board, board.liveTimeS);
    Family(out, "tessary_dead_time_ratio", "gauge",
           "The board's dead time over its total time during the run's periods of acquisition.");
    for (const BoardStatus& board : status.boards) {
        const double total = board.liveTimeS + board.deadTimeS;
        Sample(out, "tessary_dead_time_ratio", board, total > 0 ? board.deadTimeS / total : 0.0);
    }
    for (const Rate& rate : kRates) {
        Family(out, rate.name, "gauge", rate.help);
        for (const BoardStatus& board : status.boards)
            if (board.printed) Sample(out, rate.name, board, board.figures.*rate.value * rate.scale);
    }

    if (status.disk.known) {
        Family(out, "tessary_output_free_bytes", "gauge", "Free bytes on the output file system.");
        out += "tessary_output_free_bytes ";
        Number(out, status.disk.freeBytes);
        out += '\n';
    }
    return out;
}

}  // namespace tessary::monitor
