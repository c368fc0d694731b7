// Number forms of configuration values, without locale or errno.
#include "ConfigValues.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace tessary {

namespace {

// White space the C conversions skip before a number; tokens may still hold
// vertical tabs and form feeds.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    return d < base ? d : -1;
}

std::size_t SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

bool HasHexPrefix(std::string_view text, std::size_t i) {
    return i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
           DigitValue(text[i + 2], 16) >= 0;
}

// Reads digits of the base from position i; saturates at limit.
struct Digits {
    uint64_t value = 0;
    bool any = false;
    bool overflow = false;
};
Digits ReadDigits(std::string_view text, std::size_t i, int base, uint64_t limit) {
    Digits d;
    for (; i < text.size(); ++i) {
        int digit = DigitValue(text[i], base);
        if (digit < 0) break;
        d.any = true;
        if (d.overflow) continue;
        if (d.value > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            d.overflow = true;
            d.value = limit;
        } else {
            d.value = d.value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        }
    }
    return d;
}

}  // namespace

DecimalValue ParseDecimal(std::string_view text) {
    std::size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude of the lowest 32-bit value is one more than the highest.
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    Digits d = ReadDigits(text, i, 10, limit);
    DecimalValue result;
    result.hasDigits = d.any;
    if (negative) {
        result.value = d.value == limit ? std::numeric_limits<int32_t>::min() : -static_cast<int32_t>(d.value);
    } else {
        result.value = static_cast<int32_t>(d.value);
    }
    return result;
}

HexValue ParseHexadecimal(std::string_view text) {
    std::size_t i = SkipSpace(text);
    if (HasHexPrefix(text, i)) i += 2;
    Digits d = ReadDigits(text, i, 16, std::numeric_limits<uint64_t>::max());
    return HexValue{d.value, d.any, d.overflow};
}

AddressValue ParseBaseAddress(std::string_view text) {
    std::size_t i = SkipSpace(text);
    int base = 10;
    if (HasHexPrefix(text, i)) {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '0') {
        base = 8;
    }
    Digits d = ReadDigits(text, i, base, std::numeric_limits<uint32_t>::max());
    return AddressValue{static_cast<uint32_t>(d.value), d.any, d.overflow};
}

RealValue ParseReal(std::string_view text) {
    std::size_t i = SkipSpace(text);
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    bool anyDigit = false;
    for (; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) number += text[i];
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        for (; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) number += text[i];
    }
    RealValue result;
    if (!anyDigit) return result;
    result.hasDigits = true;
    // An exponent counts only when at least one digit follows its sign.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        if (j < text.size() && IsDigit(text[j])) {
            for (; j < text.size() && IsDigit(text[j]); ++j) exponent += text[j];
            number += exponent;
        }
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large is refused by the caller.
        bool tiny = false;
        std::size_t e = number.find('e');
        if (e != std::string::npos) tiny = number[e + 1] == '-';
        if (tiny) return result;
        result.overflow = true;
        return result;
    }
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        result.overflow = true;
        return result;
    }
    result.value = static_cast<float>(value);
    return result;
}

bool CopyText(char* field, std::size_t fieldSize, std::string_view text) {
    if (text.size() + 1 > fieldSize) return false;
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

}  // namespace tessary
