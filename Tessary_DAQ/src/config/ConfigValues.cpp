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
    result.overflow = d.overflow;
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
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        minus = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (HasHexPrefix(text, i)) {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '0') {
        base = 8;
    }
    Digits d = ReadDigits(text, i, base, std::numeric_limits<uint32_t>::max());
    return AddressValue{static_cast<uint32_t>(d.value), d.any, d.overflow, minus && d.value != 0};
}

namespace {

// Decimal exponent of the leading nonzero digit of a number written as
// integer digits, fraction digits and an exponent: the value lies in
// [10^m, 10^(m+1)). Saturates far beyond any floating-point range.
int64_t LeadingDigitExponent(std::string_view integer, std::string_view fraction, int64_t exponent) {
    const std::size_t first = integer.find_first_not_of('0');
    int64_t position = 0;
    if (first != std::string_view::npos) {
        position = static_cast<int64_t>(integer.size() - first) - 1;
    } else {
        position = -static_cast<int64_t>(fraction.find_first_not_of('0')) - 1;
    }
    return position + exponent;
}

}  // namespace

RealValue ParseReal(std::string_view text) {
    std::size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t integerStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    const std::string_view integer = text.substr(integerStart, i - integerStart);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        fraction = text.substr(fractionStart, i - fractionStart);
    }
    RealValue result;
    if (integer.empty() && fraction.empty()) return result;
    result.hasDigits = true;

    // An exponent counts only when at least one digit follows its sign.
    constexpr int64_t kExponentLimit = 1'000'000'000;
    int64_t exponent = 0;
    std::string_view exponentText;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponentNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponentNegative = text[j++] == '-';
        if (j < text.size() && IsDigit(text[j])) {
            for (; j < text.size() && IsDigit(text[j]); ++j) {
                if (exponent < kExponentLimit) exponent = exponent * 10 + (text[j] - '0');
            }
            if (exponentNegative) exponent = -exponent;
            exponentText = text.substr(i, j - i);
        }
    }
    const bool zero = integer.find_first_not_of('0') == std::string_view::npos &&
                      fraction.find_first_not_of('0') == std::string_view::npos;
    if (zero) return result;

    // Out of range is decided by the magnitude, not by the sign of the
    // exponent: "1" and 400 zeros "e-10" is huge, "0." and 400 zeros "1"
    // is tiny. Tiny values are refused like huge ones: read as 0 they would
    // quietly mean something else (a gate width of 0 selects another
    // trigger mode).
    const int64_t magnitude = LeadingDigitExponent(integer, fraction, exponent);
    constexpr int kFloatMaxExponent = std::numeric_limits<float>::max_exponent10;  // 38
    const float infinity = std::numeric_limits<float>::infinity();
    if (magnitude > kFloatMaxExponent) {
        result.overflow = true;
        result.value = negative ? -infinity : infinity;
        return result;
    }
    if (magnitude < -2 * kFloatMaxExponent) {
        result.underflow = true;
        result.value = negative ? -0.0f : 0.0f;
        return result;
    }
    std::string number;
    if (negative) number += '-';
    number.append(integer.empty() ? std::string_view("0") : integer);
    if (!fraction.empty()) {
        number += '.';
        number.append(fraction);
    }
    number.append(exponentText);
    double value = 0.0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error != std::errc() || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        result.overflow = true;
        result.value = negative ? -infinity : infinity;
        return result;
    }
    result.value = static_cast<float>(value);
    if (result.value == 0.0f) result.underflow = true;
    return result;
}

bool CopyText(char* field, std::size_t fieldSize, std::string_view text) {
    if (text.size() + 1 > fieldSize) return false;
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

}  // namespace tessary
