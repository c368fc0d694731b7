// Reading the configuration text: lines in pieces of bounded length, and
// the tokens of one line.
#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace tessary {

// Longest piece read at once; a longer line is read in several pieces and
// each piece is handled as a line of its own.
inline constexpr std::size_t kMaxLinePiece = 999;

// Reads the next piece: up to and including a line feed, at most
// kMaxLinePiece characters. The text ends at a zero byte, if any. Returns
// false when nothing was left to read (end of input or read error).
bool ReadLinePiece(std::istream& input, std::string& piece);

// True for a line that holds no setting: empty, or starting with a space,
// a tab, a carriage return, a line feed or '#'.
bool IsCommentLine(std::string_view line);

// The tokens of a line, separated by runs of space, tab, carriage return
// and line feed. Only the first kCapacity tokens are kept: no key uses more.
struct LineTokens {
    static constexpr int kCapacity = 8;
    std::string_view token[kCapacity];
    int count = 0;

    bool Has(int index) const { return index < count; }
    std::string_view operator[](int index) const { return Has(index) ? token[index] : std::string_view(); }
};
LineTokens SplitTokens(std::string_view line);

}  // namespace tessary
