#include "PrintableText.h"

#include <cstdint>

namespace tessary {
namespace {

// Length of the well-formed UTF-8 sequence that starts at text[i] (2 to 4)
// and its code point; 0 when the bytes there are none.
std::size_t Utf8Sequence(std::string_view text, std::size_t i, uint32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, codePoint = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, codePoint = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, codePoint = lead & 0x07u;
    else return 0;
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        codePoint = codePoint << 6 | (byte(i + k) & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kShortest[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        return 0;
    return length;
}

bool Invisible(uint32_t c) {
    return c <= 0x9F ||                        // C1 controls (shorter ones are single bytes)
           (c >= 0x200B && c <= 0x200F) ||     // zero-width space and joiners, direction marks
           (c >= 0x2028 && c <= 0x202E) ||     // line and paragraph separators, direction embeddings
           (c >= 0x2060 && c <= 0x206F) ||     // word joiner, invisible operators, direction isolates
           c == 0xFEFF;                        // byte-order mark, zero-width no-break space
}

void Escape(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b >= 0x20 && b < 0x7F) {
            out += text[i++];
            continue;
        }
        uint32_t codePoint = 0;
        const std::size_t length = b >= 0x80 ? Utf8Sequence(text, i, codePoint) : 0;
        if (length == 0) {
            Escape(out, text.substr(i, 1));
            ++i;
        } else {
            if (Invisible(codePoint)) Escape(out, text.substr(i, length));
            else out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

}  // namespace tessary
