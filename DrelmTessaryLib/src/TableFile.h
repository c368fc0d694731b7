// Reading the offset and calibration text files. Lines are read as the
// boards' tools always have: at most 19 characters at a time, so a longer
// line comes out as several lines. The files are outside input: whatever
// they hold gives a defined value and never more than a line's worth of
// work per read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace drelm::tsy {

class TableFile {
public:
    TableFile() = default;
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    ~TableFile();

    // False when the file can't be opened.
    bool Open(const std::string& path);
    // Reads from a stream the caller opened; the caller also closes it.
    void Attach(std::FILE* stream);

    // The next line (a read of at most 19 characters, its line end
    // included when it fits). False at the end of the file.
    bool NextLine();
    const char* Text() const { return line_; }

private:
    std::FILE* stream_ = nullptr;
    bool owned_ = false;
    char line_[20] = {};
};

// A hexadecimal number (optional sign and "0x"), taken modulo 2^16. Empty
// when the line holds no hexadecimal digit where the number should begin.
std::optional<uint16_t> ParseOffsetValue(const char* text);

// A decimal number, rounded to the nearest integer (halves away from zero)
// and cut to its low 14 bits. Empty when the line holds no number, or one
// that is not finite or lies outside the 32-bit integers.
std::optional<uint16_t> ParseCalibrationValue(const char* text);

}  // namespace drelm::tsy
