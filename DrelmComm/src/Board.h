// One emulated board: its registers, ROM, acquisition and event memory,
// under its own mutex, so that calls for different boards run in parallel.
// The board lives from its creation until the emulator is reset; closing
// its link leaves its state as it is, as a powered board keeps it.
//
// Time-dependent behaviour is worked out from emulated time when a register
// is read (no background threads):
//   - software reset (any write to 0xEF24): every register back to its
//     power-on value except bits 6-7 of 0x8104; for resetTimeUs the board is
//     recovering: 0x8104 reads with bit 8 clear and every write times out (-7);
//     the event memory is emptied and acquisition stops.
//   - 0x8104 bit 2 follows the run bit of 0x8100 after runLatencyUs.
//   - group 0x88 bit 2 is set for dcOffsetBusyUs after a write to group 0x98.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Acquisition.h"
#include "DrelmEmulator.h"
#include "EventMemory.h"
#include "IdentificationRom.h"
#include "RegisterFile.h"

namespace drelm::emu {

class EmulatorClock;

class Board {
public:
    // `config` is taken through ResolvedConfig; `generation` tells which
    // description of the address the board was made from.
    Board(const BoardConfig& config, uint64_t generation, EmulatorClock& clock);

    // Everything below needs this mutex held.
    std::mutex& Mutex() { return mutex_; }

    // The link handle while open, else -1.
    int32_t linkHandle = -1;
    uint64_t generation() const { return generation_; }
    const BoardConfig& config() const { return config_; }

    // Link accesses, with every side effect. Statuses as DrelmComm.h.
    int32_t Read(uint32_t address, uint32_t& value);
    int32_t Write(uint32_t address, uint32_t value);
    // Whole events from the event memory; DrelmComm.h's LinkBlockRead.
    int32_t BlockRead(unsigned char* dest, int32_t maxWords, int32_t& wordsMoved);

    // Behind the link's back: no side effects, no timing; false when the
    // register does not exist. The computed registers (0x814C, 0x81C8,
    // 0x81CC) cannot be poked. The ready, running and busy bits that emulated
    // time decides are ORed with the stored ones: a poked busy bit stays set.
    bool Peek(uint32_t address, uint32_t& value);
    bool Poke(uint32_t address, uint32_t value);

    bool InjectEvents(const std::vector<uint32_t>& words) { return events_.Append(words); }
    uint64_t SoftwareTriggers() const { return acquisition_.SoftwareTriggers(); }

private:
    bool Recovering(uint64_t now) const { return now < resetEndNs_; }
    // The value a read sees: stored bits plus what time and state add.
    uint32_t Compose(const RegisterLocation& where, uint32_t address, uint64_t now);
    void SoftwareReset(uint64_t now);
    void StoreIdentity();
    static bool IsComputed(uint32_t address);

    // The serial flash chip behind 0xEF2C/0xEF30. Until the chip is built,
    // it takes every write and reads as erased.
    void FlashControlWrite(uint32_t value);
    void FlashDataWrite(uint32_t value);
    uint32_t FlashDataRead();
    // Calibration table entries (group 0x80): loaded into the board's
    // correction logic, which is not emulated; accepted.
    void CalibrationLoadWrite(uint32_t group, uint32_t value);

    std::mutex mutex_;
    BoardConfig config_;
    uint64_t generation_;
    EmulatorClock& clock_;
    IdentificationRom rom_;
    RegisterFile registers_;
    Acquisition acquisition_;
    EventMemory events_;
    uint64_t resetEndNs_ = 0;
    std::array<uint64_t, reg::kMaxGroups> busyEndNs_{};
};

}  // namespace drelm::emu
