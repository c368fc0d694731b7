#include "Board.h"

#include <climits>

#include "EmulatorClock.h"
#include "LinkStatus.h"

namespace drelm::emu {
namespace {

constexpr uint64_t kNsPerUs = 1000;

}  // namespace

Board::Board(const BoardConfig& config, uint64_t generation, EmulatorClock& clock)
    : config_(ResolvedConfig(config)),
      generation_(generation),
      clock_(clock),
      rom_(config_),
      registers_(static_cast<uint32_t>(config_.channels) / 8),
      acquisition_(uint64_t{config_.runLatencyUs} * kNsPerUs) {
    StoreIdentity();
}

// The revision and board-information registers read what the description
// says; they are stored, so that a poke can change them until the next reset.
void Board::StoreIdentity() {
    registers_.Store(reg::kRocRevision, config_.rocRevision);
    registers_.Store(reg::kBoardInfo, (config_.familyCode & 0xFF) | (config_.boardInfoByte2 & 0xFF) << 16);
    for (uint32_t g = 0; g < registers_.groups(); ++g)
        registers_.Store(reg::kGroupBase | g << 8 | reg::kGroupAmcRevision, config_.amcRevision);
}

bool Board::IsComputed(uint32_t address) {
    return address == reg::kNextEventSize || address == reg::kTotalTime || address == reg::kDeadTime;
}

uint32_t Board::Compose(const RegisterLocation& where, uint32_t address, uint64_t now) {
    const uint32_t stored = registers_.Stored(address);
    if (where.group) {
        switch (where.offset) {
            case reg::kGroupStatus: return stored | (now < busyEndNs_[*where.group] ? reg::kGroupBusy : 0);
            default: return stored;
        }
    }
    switch (address) {
        case reg::kAcquisitionStatus:
            return stored | (Recovering(now) ? 0 : reg::kStatusReady) |
                   (acquisition_.Running(now) ? reg::kStatusRunning : 0);
        case reg::kNextEventSize: return events_.NextEventSize();
        case reg::kTotalTime: return acquisition_.TotalTimeUnits(now);
        case reg::kDeadTime: return acquisition_.DeadTimeUnits(now);
        default: return stored;
    }
}

int32_t Board::Read(uint32_t address, uint32_t& value) {
    const uint64_t now = clock_.NowNs();
    if (IdentificationRom::Contains(address)) {
        if (address % 4 != 0) return kLinkNoRegisterRead;
        value = rom_.Read(address);
        return kLinkOk;
    }
    const RegisterLocation where = registers_.Locate(address);
    if (!where.exists || RegisterFile::AccessOf(where, address) == RegisterAccess::WriteOnly)
        return kLinkNoRegisterRead;
    value = address == reg::kFlashData ? FlashDataRead() : Compose(where, address, now);
    return kLinkOk;
}

int32_t Board::Write(uint32_t address, uint32_t value) {
    const uint64_t now = clock_.NowNs();
    if (IdentificationRom::Contains(address)) return kLinkNoRegisterWrite;
    const RegisterLocation where = registers_.Locate(address);
    if (!where.exists || RegisterFile::AccessOf(where, address) == RegisterAccess::ReadOnly)
        return kLinkNoRegisterWrite;
    if (Recovering(now)) return kLinkTimeout;

    if (where.group) {
        if (where.offset == reg::kGroupCalibrationLoad) {
            CalibrationLoadWrite(*where.group, value);
            return kLinkOk;
        }
        if (where.offset == reg::kGroupDcOffset)
            busyEndNs_[*where.group] = now + uint64_t{config_.dcOffsetBusyUs} * kNsPerUs;
        registers_.Store(address, value);
        return kLinkOk;
    }
    switch (address) {
        case reg::kSoftwareReset: SoftwareReset(now); return kLinkOk;
        case reg::kSoftwareTrigger: acquisition_.SoftwareTrigger(now); return kLinkOk;
        case reg::kAcquisitionControl: acquisition_.SetRunBit((value & reg::kControlRun) != 0, now); break;
        case reg::kFlashControl: FlashControlWrite(value); break;
        case reg::kFlashData: FlashDataWrite(value); return kLinkOk;
        default: break;
    }
    registers_.Store(address, value);
    return kLinkOk;
}

int32_t Board::BlockRead(unsigned char* dest, int32_t maxWords, int32_t& wordsMoved) {
    // 0 in the events-per-transfer register sets no event limit.
    const std::size_t limit = registers_.Stored(reg::kEventsPerTransfer);
    std::size_t events = 0;
    wordsMoved = static_cast<int32_t>(events_.Take(dest, static_cast<std::size_t>(maxWords), limit, events));
    if (events_.Empty() || (limit != 0 && events == limit)) return kLinkEndOfTransfer;
    return kLinkOk;
}

void Board::SoftwareReset(uint64_t now) {
    const uint32_t kept = registers_.Stored(reg::kAcquisitionStatus) & reg::kStatusKeptByReset;
    registers_.PowerOn();
    StoreIdentity();
    registers_.Store(reg::kAcquisitionStatus,
                     (registers_.Stored(reg::kAcquisitionStatus) & ~reg::kStatusKeptByReset) | kept);
    acquisition_ = Acquisition(uint64_t{config_.runLatencyUs} * kNsPerUs);
    events_.Clear();
    busyEndNs_.fill(0);
    resetEndNs_ = now + uint64_t{config_.resetTimeUs} * kNsPerUs;
}

bool Board::Peek(uint32_t address, uint32_t& value) {
    if (IdentificationRom::Contains(address)) {
        if (address % 4 != 0) return false;
        value = rom_.Read(address);
        return true;
    }
    const RegisterLocation where = registers_.Locate(address);
    if (!where.exists) return false;
    value = Compose(where, address, clock_.NowNs());
    return true;
}

bool Board::Poke(uint32_t address, uint32_t value) {
    if (IdentificationRom::Contains(address)) {
        if (address % 4 != 0) return false;
        rom_.Poke(address, value);
        return true;
    }
    const RegisterLocation where = registers_.Locate(address);
    if (!where.exists || IsComputed(address)) return false;
    registers_.Store(address, value);
    return true;
}

void Board::FlashControlWrite(uint32_t) {}
void Board::FlashDataWrite(uint32_t) {}
uint32_t Board::FlashDataRead() { return 0xFF; }
void Board::CalibrationLoadWrite(uint32_t, uint32_t) {}

}  // namespace drelm::emu
