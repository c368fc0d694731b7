// What a new board's flash holds when it leaves the factory: an offset table
// and calibration tables for 64 channels, at the places and in the coding
// the host library reads them (tables laid out in 528-byte pages from page
// 7935 on, whatever the chip's own page size).
#pragma once

#include <cstdint>

namespace drelm::emu {

class DataFlash;

// The factory's values, also for tests that check a fresh board.
uint16_t FactoryOffset(int group, int sign);
uint16_t FactoryCalibration(int sign, int kind, int channel, int entry);

void WriteFactoryTables(DataFlash& flash);

}  // namespace drelm::emu
