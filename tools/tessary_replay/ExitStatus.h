// Exit statuses of tessary_replay, as its help lists them.
#pragma once

namespace tessary::replay {

inline constexpr int kExitOk = 0;
// A raw file damaged (an event of another channel count among them),
// truncated or unreadable (replay); a file that does not match the summary,
// or is missing (verify).
inline constexpr int kExitBadData = 1;
// Refused before anything is written: bad arguments, a configuration the
// parser refuses, a board number outside it, output files that exist already
// (without --overwrite), raw files whose channel counts differ or contradict
// --channels; an unreadable or malformed summary (a name outside its folder
// too).
inline constexpr int kExitUsage = 2;
// Output files that could not be created or written whole.
inline constexpr int kExitOutput = 3;

}  // namespace tessary::replay
