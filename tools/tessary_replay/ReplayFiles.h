// The files a replay reads and writes, by the program's names: raw
// segments taken apart and put in their numbered order, the time stamps'
// order between files, and the board's list and histogram files already in
// the output folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DaqConfig.h"

namespace tessary::replay {

// The name the program gives a raw segment, <prefix>_raw_b<board>_seg<n>.bin
// (OutputFiles::BuildName), taken apart.
struct RawName {
    std::string prefix;
    std::string board;
    unsigned long long segment = 0;
};
std::optional<RawName> ParseRawName(const std::string& path);

// The raw files in the order to replay them: by segment number when every
// name follows the program's raw naming with one prefix and board (a shell
// glob puts seg10 before seg2), as given otherwise. True when that changed
// the order.
bool SegmentOrder(std::vector<std::string>& files);

// Whether time stamp `next` comes before `last` (48-bit counters of 8 ns
// ticks; a step back of more than half the range is the counter wrapping).
bool Backwards(uint64_t last, uint64_t next);

// The board's list segments and histogram files already in the output
// folder, for the kinds the configuration writes: list segments in number
// order first, then histograms in channel order.
std::vector<std::filesystem::path> ExistingOutputs(const DaqConfig& config, int board);

// Whether the replay would write over `raw`: one of the board's list or
// histogram files in the output folder, given by mistake as input.
bool OwnOutput(const std::string& raw, const DaqConfig& config, int board);

}  // namespace tessary::replay
