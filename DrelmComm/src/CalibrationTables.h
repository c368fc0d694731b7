// The calibration tables that a board holds once they are loaded: for every
// sign (0 NEG, 1 POS), kind (0 DACDU, 1 DACUD) and channel, 4096 entries of
// 14 bits. Each write to a group's calibration load register delivers one
// entry as a load word: bits 0-11 entry, 12 kind, 13 sign, 14-17 channel
// mod 16, 18-31 value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace drelm::emu {

class CalibrationTables {
public:
    static constexpr int kEntries = 4096;

    explicit CalibrationTables(int channels);

    // A load word written to the load register of `group`. A word whose
    // channel bits name a channel outside that group, or a group the board
    // doesn't have, is dropped.
    void Load(uint32_t group, uint32_t word);

    // The 4096 entries of one table (0 where nothing was loaded). False for
    // coordinates the board doesn't have.
    bool Table(int sign, int kind, int channel, std::vector<uint16_t>* entries) const;

    // One entry; 0 for coordinates the board doesn't have.
    uint16_t Entry(int sign, int kind, int channel, int entry) const {
        if (sign < 0 || sign > 1 || kind < 0 || kind > 1 || channel < 0 || channel >= channels_ || entry < 0 ||
            entry >= kEntries)
            return 0;
        return values_[Index(sign, kind, channel) + static_cast<std::size_t>(entry)];
    }

    uint64_t WordsLoaded() const { return wordsLoaded_; }

    // A software reset loses the loaded tables (every entry back to 0); the
    // count of words taken stays.
    void Clear();

private:
    std::size_t Index(int sign, int kind, int channel) const;

    int channels_;
    std::vector<uint16_t> values_;
    uint64_t wordsLoaded_ = 0;
};

}  // namespace drelm::emu
