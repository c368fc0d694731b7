// Escape sequences in a byte stream (a terminal, or a pipe on any system):
// the same reading on every platform, over its own NextByte.
#include "Console.h"

namespace tessary::platform {

namespace {
constexpr int kMaxSequenceBytes = 16;
}  // namespace

// An ESC came: the Escape key alone, or the start of a sequence.
int ConsoleKeys::AfterEscape() {
    int byte = NextByte(kEscapeSequenceWaitMs);
    if (byte < 0) return kEscapeKey;
    if (byte != '[' && byte != 'O') {
        // ESC and a printable character is Alt with a key; anything else
        // is a key of its own, read next.
        if (byte >= 0x20 && byte <= 0x7E) return kUnknownKey;
        pending_ = byte;
        return kEscapeKey;
    }
    // ESC [ or ESC O: parameter and intermediate bytes (0x20..0x3F) up to a
    // final byte (0x40..0x7E). A byte that cannot be part of it is kept.
    for (int i = 0; i < kMaxSequenceBytes; ++i) {
        byte = NextByte(kEscapeSequenceWaitMs);
        if (byte < 0 || (byte >= 0x40 && byte <= 0x7E)) break;
        if (byte < 0x20 || byte > 0x3F) {
            pending_ = byte;
            break;
        }
    }
    return kUnknownKey;
}

}  // namespace tessary::platform
