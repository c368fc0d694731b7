// Right-aligned decimal columns written straight into a line, for the text
// outputs that print thousands of numbers per second: the same characters as
// "%*u" with the field's width, without going through a format string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tessary {

// Longest unsigned 64-bit decimal.
inline constexpr std::size_t kMaxDecimalDigits = 20;

// Writes `value` right-aligned in the `width` characters that start at
// `field`, blanks before it. When the number is longer than the field the
// field grows, as with printf. Returns the characters written.
inline std::size_t PutRightAligned(char* field, std::size_t width, uint64_t value) {
    char digits[kMaxDecimalDigits];
    char* end = digits + kMaxDecimalDigits;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const auto length = static_cast<std::size_t>(end - p);
    const std::size_t blanks = length < width ? width - length : 0;
    std::memset(field, ' ', blanks);
    std::memcpy(field + blanks, p, length);
    return blanks + length;
}

}  // namespace tessary
