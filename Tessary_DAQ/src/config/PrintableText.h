// Text from a configuration file or the environment, made safe to print:
// a message that echoes it shows every character that is not printable as
// \xNN escapes of its bytes, so that a control byte neither disappears nor
// acts on the terminal.
#pragma once

#include <string>
#include <string_view>

namespace tessary {

// The text with these shown as "\x01"-style escapes of their bytes: control
// characters (below 0x20, 0x7F and U+0080 to U+009F), bytes that are not
// UTF-8, and the invisible format characters (zero-width characters and
// joiners, direction marks and overrides, word joiners, the byte-order
// mark). Everything else, other languages' letters included, is kept.
std::string Printable(std::string_view text);

}  // namespace tessary
