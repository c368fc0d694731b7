// Line pieces and tokens of the configuration text.
#include "ConfigLines.h"

namespace tessary {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool ConfigText::ReadPiece(std::string& piece) {
    piece.clear();
    if (tooLarge_) return false;
    bool readAny = false;
    char c = 0;
    while (piece.size() < kMaxLinePiece) {
        if (bytes_ == kMaxConfigBytes) {
            // Exactly the limit is still a whole text; one byte more is not.
            tooLarge_ = input_.peek() != std::istream::traits_type::eof();
            if (tooLarge_) return false;
            break;
        }
        if (!input_.get(c)) break;
        ++bytes_;
        readAny = true;
        piece += c;
        // The mark is no part of the first line, nor of its length.
        if (bytes_ == kByteOrderMark.size() && piece == kByteOrderMark) piece.clear();
        if (c == '\n') break;
    }
    // A zero byte ends the text of the line, as in a C string.
    std::size_t zero = piece.find('\0');
    if (zero != std::string::npos) piece.resize(zero);
    return readAny;
}

bool IsCommentLine(std::string_view line) {
    return line.empty() || IsSeparator(line.front()) || line.front() == '#';
}

LineTokens SplitTokens(std::string_view line) {
    LineTokens tokens;
    std::size_t i = 0;
    while (i < line.size() && tokens.count < LineTokens::kCapacity) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !IsSeparator(line[i])) ++i;
        if (i > start) tokens.token[tokens.count++] = line.substr(start, i - start);
    }
    return tokens;
}

}  // namespace tessary
