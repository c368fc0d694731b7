// Fuzz target: the table-file reader and the value parsers, on any bytes,
// and the staircase coding of whatever values they give.
#include <cstdint>
#include <cstdio>

#include "Staircase.h"
#include "TableFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* stream = std::tmpfile();
    if (!stream) return 0;
    if (size) std::fwrite(data, 1, size, stream);
    std::rewind(stream);
    drelm::tsy::TableFile file;
    file.Attach(stream);
    drelm::tsy::StaircaseEncoder rising(1);
    drelm::tsy::StaircaseEncoder falling(0);
    uint16_t calibration = 0;
    uint16_t offset = 0;
    while (file.NextLine()) {
        calibration = drelm::tsy::ParseCalibrationValue(file.Text()).value_or(calibration);
        offset = drelm::tsy::ParseOffsetValue(file.Text()).value_or(offset);
        rising.Add(calibration);
        falling.Add(calibration);
    }
    uint32_t sum = offset;
    drelm::tsy::DecodeStaircase(rising.Page().data(), 1, [&](uint32_t, uint32_t value) { sum += value; });
    drelm::tsy::DecodeStaircase(falling.Page().data(), 0, [&](uint32_t, uint32_t value) { sum += value; });
    std::fclose(stream);
    return static_cast<int>(sum & 0);
}
