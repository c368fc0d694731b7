// Line pieces and tokens of the configuration text.
#include "ConfigLines.h"

namespace tessary {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool ReadLinePiece(std::istream& input, std::string& piece) {
    piece.clear();
    bool readAny = false;
    char c = 0;
    while (piece.size() < kMaxLinePiece && input.get(c)) {
        readAny = true;
        piece += c;
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
