// Reading the configuration text: lines in pieces of bounded length, and
// the tokens of one line.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace tessary {

// Longest piece read at once; a longer line is read in several pieces and
// each piece is handled as a line of its own.
inline constexpr std::size_t kMaxLinePiece = 999;

// Most bytes of configuration text read: configurations are small, and a
// text that goes on past this (a device such as /dev/zero, a pipe that
// never ends) is refused instead of read for ever.
inline constexpr uint64_t kMaxConfigBytes = uint64_t{16} << 20;

// The configuration text, piece by piece. A UTF-8 byte-order mark at its
// start (what Windows editors write) is skipped. Bytes are counted as they
// are read, so that any stream is bounded.
class ConfigText {
public:
    explicit ConfigText(std::istream& input) : input_(input) {}

    // Reads the next piece: up to and including a line feed, at most
    // kMaxLinePiece characters. The text ends at a zero byte, if any.
    // Returns false when nothing was left to read (end of input or read
    // error), and when the text goes on past kMaxConfigBytes (TooLarge).
    bool ReadPiece(std::string& piece);

    // The text holds more than kMaxConfigBytes; nothing past them was read.
    bool TooLarge() const { return tooLarge_; }

private:
    std::istream& input_;
    uint64_t bytes_ = 0;  // read so far, the byte-order mark included
    bool tooLarge_ = false;
};

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
