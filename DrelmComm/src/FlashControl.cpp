// The control interface of the boards' flash chips and calibration tables
// (DrelmEmulator.h).
#include <algorithm>

#include "BoardRegistry.h"
#include "ControlGuard.h"
#include "DrelmEmulator.h"

namespace drelm::emu {
void ConfigureFlash(const BoardAddress& address, const FlashConfig& config) {
    ControlGuarded([&] { BoardRegistry::Instance().ConfigureFlash(address, config); });
}

bool ReadFlash(int32_t linkHandle, uint32_t address, uint32_t count, std::vector<uint8_t>* bytes) {
    if (!bytes) return false;
    return WithOpenBoard(linkHandle, [&](Board& board) {
        // Never more than the chip holds: a wild count reads the chip once.
        const uint32_t size = std::min(count, board.Flash().Size());
        bytes->resize(size);
        board.Flash().ReadArray(address, bytes->data(), size);
        return true;
    });
}

bool WriteFlash(int32_t linkHandle, uint32_t address, const std::vector<uint8_t>& bytes) {
    return WithOpenBoard(linkHandle, [&](Board& board) {
        board.Flash().WriteArray(address, bytes.data(), bytes.size());
        return true;
    });
}

bool FlashPageSize(int32_t linkHandle, uint32_t* pageSize) {
    if (!pageSize) return false;
    return WithOpenBoard(linkHandle, [&](Board& board) {
        *pageSize = board.Flash().PageSize();
        return true;
    });
}

bool ReadCalibrationTable(int32_t linkHandle, int sign, int kind, int channel, std::vector<uint16_t>* entries) {
    return WithOpenBoard(linkHandle,
                         [&](Board& board) { return board.Calibration().Table(sign, kind, channel, entries); });
}

uint64_t CalibrationWordsLoaded(int32_t linkHandle) {
    uint64_t words = 0;
    WithOpenBoard(linkHandle, [&](Board& board) {
        words = board.Calibration().WordsLoaded();
        return true;
    });
    return words;
}

}  // namespace drelm::emu
