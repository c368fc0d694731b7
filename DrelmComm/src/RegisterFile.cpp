#include "RegisterFile.h"

#include <algorithm>

namespace drelm::emu {

// Power-on values: every register 0, except the status register's bit 7
// (the board's clock is locked; bits 6-7 survive a software reset). The
// ready and running bits of the status register are not stored: Board
// computes them from emulated time.
namespace {

constexpr uint32_t kPowerOnStatus = 0x80;
constexpr uint32_t kMidScaleOffsets = 0x80008000;

}  // namespace

RegisterFile::RegisterFile(uint32_t groups) : groups_(std::min(groups, reg::kMaxGroups)) { PowerOn(); }

RegisterLocation RegisterFile::Locate(uint32_t address) const {
    RegisterLocation where;
    if (address % 4 != 0) return where;
    if (address >= reg::kGroupBase && address < reg::kGroupSpaceEnd) {
        const uint32_t group = (address >> 8) & 0xF;
        if (group >= groups_) return where;
        where.exists = true;
        where.group = group;
        where.offset = address & 0xFF;
        return where;
    }
    where.exists = (address >= reg::kBoardBase && address < reg::kBoardEnd) ||
                   (address >= reg::kControlBase && address < reg::kControlEnd);
    return where;
}

RegisterAccess RegisterFile::AccessOf(const RegisterLocation& where, uint32_t address) {
    if (where.group) {
        switch (where.offset) {
            case reg::kGroupStatus:
            case reg::kGroupAmcRevision: return RegisterAccess::ReadOnly;
            case reg::kGroupCalibrationLoad: return RegisterAccess::WriteOnly;
            default: return RegisterAccess::ReadWrite;
        }
    }
    switch (address) {
        case reg::kAcquisitionStatus:
        case reg::kRocRevision:
        case reg::kBoardInfo:
        case reg::kNextEventSize:
        case reg::kTotalTime:
        case reg::kDeadTime: return RegisterAccess::ReadOnly;
        case reg::kSoftwareTrigger:
        case reg::kSoftwareReset: return RegisterAccess::WriteOnly;
        default: return RegisterAccess::ReadWrite;
    }
}

uint32_t RegisterFile::WidthMask(uint32_t address) {
    if (address >= reg::kGroupBase && address < reg::kGroupSpaceEnd) {
        switch (address & 0xFF) {
            case reg::kGroupZsThreshold: return 0x3FFF;
            case reg::kGroupChannelEnable: return 0xFF;
            default: return 0xFFFFFFFF;
        }
    }
    switch (address) {
        case reg::kGroupEnableMask: return 0xFF;
        case reg::kEventsPerTransfer: return 0xFFF;
        default: return 0xFFFFFFFF;
    }
}

void RegisterFile::Store(uint32_t address, uint32_t value) {
    *Slot(address) = value & WidthMask(address);
    ++changes_;
}

void RegisterFile::PowerOn() {
    ++changes_;
    group_.fill(0);
    board_.fill(0);
    control_.fill(0);
    Store(reg::kAcquisitionStatus, kPowerOnStatus);
    // The DC-offset DACs come up at mid-scale, where the baseline is nominal.
    for (uint32_t g = 0; g < groups_; ++g) Store(reg::kGroupBase | g << 8 | reg::kGroupDcOffset, kMidScaleOffsets);
}

uint32_t* RegisterFile::Slot(uint32_t address) {
    return const_cast<uint32_t*>(static_cast<const RegisterFile*>(this)->Slot(address));
}

const uint32_t* RegisterFile::Slot(uint32_t address) const {
    if (address >= reg::kBoardBase && address < reg::kBoardEnd) return &board_[(address - reg::kBoardBase) / 4];
    if (address >= reg::kControlBase && address < reg::kControlEnd)
        return &control_[(address - reg::kControlBase) / 4];
    const uint32_t group = (address >> 8) & 0xF;
    return &group_[(group * reg::kGroupBlockSize + (address & 0xFF)) / 4];
}

}  // namespace drelm::emu
