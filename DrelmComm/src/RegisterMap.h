// Addresses of the board's registers and the layout of its address space.
//
// Mapped (32-bit aligned addresses only; everything else is a bus error):
//   0x1000 | g << 8 .. +0xFC   the block of group g, for the board's own groups
//   0x8000 .. 0x81FC           board registers
//   0xEF00 .. 0xEFFC           board control registers
//   0xF000 .. 0xF3FC           identification ROM, read-only, one byte per register
#pragma once

#include <cstdint>

namespace drelm::emu::reg {

constexpr uint32_t kGroupBase = 0x1000;
constexpr uint32_t kGroupSpaceEnd = 0x2000;  // 16 group positions
constexpr uint32_t kGroupBlockSize = 0x100;
constexpr uint32_t kMaxGroups = 8;

// Offsets inside a group block.
constexpr uint32_t kGroupZsThreshold = 0x24;
constexpr uint32_t kGroupCalibrationLoad = 0x80;
constexpr uint32_t kGroupStatus = 0x88;
constexpr uint32_t kGroupAmcRevision = 0x8C;
constexpr uint32_t kGroupDcOffset = 0x98;
constexpr uint32_t kGroupChannelEnable = 0xA8;

constexpr uint32_t kBoardBase = 0x8000;
constexpr uint32_t kBoardEnd = 0x8200;
constexpr uint32_t kConfiguration = 0x8000;
constexpr uint32_t kStartupSetting800C = 0x800C;
constexpr uint32_t kRecordLength = 0x8020;
constexpr uint32_t kChannelConfig = 0x80E0;
constexpr uint32_t kCalibrationControl = 0x80E4;
constexpr uint32_t kAcquisitionControl = 0x8100;
constexpr uint32_t kAcquisitionStatus = 0x8104;
constexpr uint32_t kSoftwareTrigger = 0x8108;
constexpr uint32_t kTriggerMask1 = 0x810C;
constexpr uint32_t kTriggerMask2 = 0x8110;
constexpr uint32_t kFrontPanelIo = 0x811C;
constexpr uint32_t kGroupEnableMask = 0x8120;
constexpr uint32_t kRocRevision = 0x8124;
constexpr uint32_t kBoardInfo = 0x8140;
constexpr uint32_t kNextEventSize = 0x814C;
constexpr uint32_t kTotalTime = 0x81C8;
constexpr uint32_t kDeadTime = 0x81CC;

constexpr uint32_t kControlBase = 0xEF00;
constexpr uint32_t kControlEnd = 0xF000;
constexpr uint32_t kBoardControl = 0xEF00;
constexpr uint32_t kEventsPerTransfer = 0xEF1C;
constexpr uint32_t kSoftwareReset = 0xEF24;
constexpr uint32_t kFlashControl = 0xEF2C;
constexpr uint32_t kFlashData = 0xEF30;

constexpr uint32_t kRomBase = 0xF000;
constexpr uint32_t kRomEnd = 0xF400;
constexpr uint32_t kRomModelHigh = 0xF030;
constexpr uint32_t kRomFormCode = 0xF034;  // also the model code's low byte
constexpr uint32_t kRomCode32 = 0xF040;     // 0xF040..0xF04C, most significant first
constexpr uint32_t kRomSerialHigh = 0xF080;
constexpr uint32_t kRomSerialLow = 0xF084;

// Status bits.
constexpr uint32_t kStatusRunning = 1u << 2;
constexpr uint32_t kStatusReady = 1u << 8;
constexpr uint32_t kStatusKeptByReset = 0xC0;  // bits 6-7 survive a software reset
constexpr uint32_t kControlRun = 1u << 2;
constexpr uint32_t kGroupBusy = 1u << 2;

}  // namespace drelm::emu::reg
