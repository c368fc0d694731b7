#include "TableFile.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace drelm::tsy {

TableFile::~TableFile() {
    if (owned_ && stream_) std::fclose(stream_);
}

bool TableFile::Open(const std::string& path) {
    std::FILE* stream = std::fopen(path.c_str(), "r");
    if (!stream) return false;
    Attach(stream);
    owned_ = true;
    return true;
}

void TableFile::Attach(std::FILE* stream) {
    if (owned_ && stream_) std::fclose(stream_);
    stream_ = stream;
    owned_ = false;
}

bool TableFile::NextLine() {
    if (!stream_) return false;
    if (std::fgets(line_, sizeof line_, stream_) == nullptr) {
        line_[0] = '\0';
        return false;
    }
    return true;
}

std::optional<uint16_t> ParseOffsetValue(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p && std::isspace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(p[2])) p += 2;
    if (!std::isxdigit(*p)) return std::nullopt;
    uint32_t value = 0;
    for (; std::isxdigit(*p); ++p) {
        const uint32_t digit = std::isdigit(*p) ? *p - '0' : (std::tolower(*p) - 'a' + 10);
        value = ((value << 4) | digit) & 0xFFFFu;
    }
    if (negative) value = (0x10000u - value) & 0xFFFFu;
    return static_cast<uint16_t>(value);
}

std::optional<uint16_t> ParseCalibrationValue(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || !std::isfinite(value)) return std::nullopt;
    const double rounded = std::round(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    const auto whole = static_cast<int32_t>(rounded);
    return static_cast<uint16_t>(static_cast<uint32_t>(whole) & 0x3FFFu);
}

}  // namespace drelm::tsy
