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
//   - 0x8104 bit 2 follows the run bit of 0x8100 after runLatencyUs; in
//     start modes 1 to 3 only once the start signal came.
//   - 0x81C8 counts from the last reset (or power-up), running or not.
//   - group 0x88 bit 2 is set for dcOffsetBusyUs after a write to group 0x98;
//     a write to group 0x98 while it is set is lost.
//   - triggers and the events they make (EventStream), generated up to the
//     time of each access before the access takes effect.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Acquisition.h"
#include "CalibrationTables.h"
#include "DataFlash.h"
#include "DrelmEmulator.h"
#include "DeliveryLog.h"
#include "EventMemory.h"
#include "EventStream.h"
#include "LinkTiming.h"
#include "IdentificationRom.h"
#include "RandomStream.h"
#include "RegisterFile.h"

namespace drelm::emu {

class EmulatorClock;

class Board {
public:
    // `config` is taken through ResolvedConfig; `generation` tells which
    // description of the address the board was made from.
    // `connectionType` chooses the link timing's defaults.
    Board(const BoardConfig& config, uint64_t generation, EmulatorClock& clock,
          const FlashConfig& flash = FlashConfig{}, int32_t connectionType = 0);

    // Everything below needs this mutex held.
    std::mutex& Mutex() { return mutex_; }

    // The link handle while open, else -1.
    int32_t linkHandle = -1;
    uint64_t generation() const { return generation_; }
    const BoardConfig& config() const { return config_; }

    // Link accesses, with every side effect. Statuses as DrelmComm.h.
    int32_t Read(uint32_t address, uint32_t& value);
    int32_t Write(uint32_t address, uint32_t value);
    // Event words from the event memory, as a stream that fills the room;
    // a transfer may end with a spare word. DrelmComm.h's LinkBlockRead.
    int32_t BlockRead(unsigned char* dest, int32_t maxWords, int32_t& wordsMoved);

    // Behind the link's back: no side effects, no timing; false when the
    // register does not exist. The computed registers (0x814C, 0x81C8,
    // 0x81CC) cannot be poked. The ready, running and busy bits that emulated
    // time decides are ORed with the stored ones: a poked busy bit stays set.
    bool Peek(uint32_t address, uint32_t& value);
    bool Poke(uint32_t address, uint32_t value);

    bool InjectEvents(const std::vector<uint32_t>& words);
    // The start signal of start modes 1 to 3 (SendStartSignal).
    bool StartSignal();
    uint64_t SoftwareTriggers() const { return acquisition_.SoftwareTriggers(); }
    void TriggerCounts(uint64_t& triggers, uint64_t& lost);

    // How long a link operation moving `bytes` takes (LinkTiming).
    uint64_t LinkCostNs(uint64_t bytes) const { return timing_.CostNs(bytes); }
    // The link was opened or closed: the delivery log starts, or its text is
    // made for the caller to write once the board is released (empty when
    // the board keeps no log).
    void LinkOpened();
    std::string LinkClosed();
    const std::string& DeliveryLogPath() const { return log_.Path(); }

    // The flash chip and the loaded calibration tables, made on first use
    // (a chip holds megabytes, and most boards never touch theirs).
    DataFlash& Flash();
    const CalibrationTables& Calibration();

private:
    bool Recovering(uint64_t now) const { return now < resetEndNs_; }
    // The value a read sees: stored bits plus what time and state add.
    uint32_t Compose(const RegisterLocation& where, uint32_t address, uint64_t now);
    void SoftwareReset(uint64_t now);
    // What the registers and the loaded tables say about the events to build.
    // What the registers say about the events, worked out again only when
    // they or the loaded tables changed: every link access catches up.
    const EventSettings& Settings();
    // Generates triggers and events up to `now`, through every change of
    // the running status on the way.
    void CatchUp(uint64_t now);
    bool Listening() const { return acquisition_.RunBit() && acquisition_.RunningNow(); }
    void StoreIdentity();
    static bool IsComputed(uint32_t address);

    // The serial flash chip behind 0xEF2C/0xEF30.
    void FlashControlWrite(uint32_t value);
    void FlashDataWrite(uint32_t value);
    uint32_t FlashDataRead();
    // Calibration table entries (group 0x80): each write is one load word
    // for the board's calibration tables.
    void CalibrationLoadWrite(uint32_t group, uint32_t value);

    std::mutex mutex_;
    BoardConfig config_;
    uint64_t generation_;
    EmulatorClock& clock_;
    IdentificationRom rom_;
    RegisterFile registers_;
    Acquisition acquisition_;
    EventMemory events_;
    EventStream stream_;
    LinkTiming timing_;
    DeliveryLog log_;
    RandomStream spare_;       // which transfers end with a spare word
    bool transferCarried_ = false;  // the transfer under way has moved words
    uint64_t seenStarts_ = 0;  // starts the stream has been told of
    uint64_t resetEndNs_ = 0;
    std::array<uint64_t, reg::kMaxGroups> busyEndNs_{};
    FlashConfig flashConfig_;
    std::unique_ptr<DataFlash> flash_;
    std::unique_ptr<CalibrationTables> calibration_;
    EventSettings settings_;
    uint64_t settingsChanges_ = UINT64_MAX;  // register changes settings_ was worked out at
    const CalibrationTables* settingsTables_ = nullptr;
};

}  // namespace drelm::emu
