// The number forms of configuration values. Each conversion reads from the
// start of the token and stops at the first character that does not fit,
// as the file format allows trailing text ("1000ms"). The caller learns
// whether any digit was read, so a value without a number can be refused.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessary {

// Signed decimal with optional sign; out-of-range values clamp to the
// 32-bit limits, and are marked.
struct DecimalValue {
    int32_t value = 0;
    bool hasDigits = false;
    bool overflow = false;  // clamped: the number is beyond the 32-bit range
};
DecimalValue ParseDecimal(std::string_view text);

// Unsigned 64-bit hexadecimal with optional "0x" prefix; a value that does
// not fit in 64 bits is marked.
struct HexValue {
    uint64_t value = 0;
    bool hasDigits = false;
    bool overflow = false;
};
HexValue ParseHexadecimal(std::string_view text);

// Unsigned 32-bit base address: optional sign, then "0x"/"0X" hexadecimal,
// leading "0" octal, decimal otherwise; a value that does not fit in 32 bits
// is marked, and so is a minus sign before a value other than 0.
struct AddressValue {
    uint32_t value = 0;
    bool hasDigits = false;
    bool overflow = false;
    bool negative = false;
};
AddressValue ParseBaseAddress(std::string_view text);

// Floating-point number in decimal notation with optional exponent, as a
// single-precision value. A magnitude beyond single precision is marked as
// overflow (the value is then infinity with the number's sign), a value
// that is not zero but would be stored as 0 as underflow (the value is then
// 0); both are decided by the number's magnitude, however it is written.
struct RealValue {
    float value = 0.0f;
    bool hasDigits = false;
    bool overflow = false;
    bool underflow = false;
};
RealValue ParseReal(std::string_view text);

// Copies text into a zero-terminated field of fieldSize bytes. Returns false
// and leaves the field alone when the text does not fit.
bool CopyText(char* field, std::size_t fieldSize, std::string_view text);

}  // namespace tessary
