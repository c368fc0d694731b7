#include "Board.h"

#include <climits>
#include <cstring>

#include <iostream>

#include "EmulatorClock.h"
#include "FactoryTables.h"
#include "LinkStatus.h"

namespace drelm::emu {
namespace {

constexpr uint64_t kNsPerUs = 1000;
// Its own random stream, so that spare words change no event.
constexpr uint64_t kSpareWordStream = 0x082EFA98EC4E6C89ull;
// What a board puts in the spare word: read as an event header it claims far
// more words than any transfer holds.
constexpr uint32_t kSpareWord = 0xFFFFFFFFu;
constexpr uint32_t kStartModeBits = 0x3;

}  // namespace

Board::Board(const BoardConfig& config, uint64_t generation, EmulatorClock& clock, const FlashConfig& flash,
             int32_t connectionType)
    : config_(ResolvedConfig(config)),
      generation_(generation),
      clock_(clock),
      rom_(config_),
      registers_(static_cast<uint32_t>(config_.channels) / 8),
      acquisition_(uint64_t{config_.runLatencyUs} * kNsPerUs, clock.NowNs()),
      events_(config_.eventMemoryEvents),
      stream_(config_),
      timing_(config_, connectionType),
      log_(config_.truthFile, static_cast<uint32_t>(config_.channels)),
      spare_(config_.seed ^ kSpareWordStream),
      flashConfig_(flash) {
    StoreIdentity();
    // A board whose flash lives in a file reads (or starts) it at power-up.
    if (!flashConfig_.file.empty()) Flash();
}

const EventSettings& Board::Settings() {
    if (settingsChanges_ != registers_.Changes() || settingsTables_ != calibration_.get()) {
        settings_ = EventSettings::From(registers_);
        settings_.calibration = settingsTables_ = calibration_.get();
        settingsChanges_ = registers_.Changes();
    }
    return settings_;
}

void Board::CatchUp(uint64_t now) {
    const EventSettings settings = Settings();  // a copy: the generation below may store registers
    uint64_t at = 0;
    for (;;) {
        // A start applied elsewhere (Running, SetRunBit) is taken up here too.
        if (acquisition_.Starts() != seenStarts_) {
            seenStarts_ = acquisition_.Starts();
            stream_.StartRun(acquisition_.RunStartNs());
        }
        if (!acquisition_.ChangeDue(now, at)) break;
        stream_.Generate(at, Listening(), settings, events_);
        acquisition_.ApplyNextChange();
    }
    stream_.Generate(now, Listening(), settings, events_);
}

bool Board::InjectEvents(const std::vector<uint32_t>& words) {
    CatchUp(clock_.NowNs());
    return events_.Append(words);
}

void Board::TriggerCounts(uint64_t& triggers, uint64_t& lost) {
    CatchUp(clock_.NowNs());
    triggers = stream_.Triggers();
    lost = stream_.Lost();
}

void Board::LinkOpened() {
    CatchUp(clock_.NowNs());
    transferCarried_ = false;  // a new session starts no transfer with a spare word
    log_.Start(stream_.Triggers(), stream_.Lost());
}

std::string Board::LinkClosed() {
    CatchUp(clock_.NowNs());
    return log_.Format(stream_.Triggers(), stream_.Lost());
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
        case reg::kDeadTime: return stream_.DeadTimeUnits(now);
        default: return stored;
    }
}

int32_t Board::Read(uint32_t address, uint32_t& value) {
    const uint64_t now = clock_.NowNs();
    CatchUp(now);
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
    CatchUp(now);
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
        if (where.offset == reg::kGroupDcOffset) {
            // A group still settling its DAC (or with a poked busy bit) takes no
            // new offset: the write is lost and the busy time runs on as it was.
            const uint32_t status = reg::kGroupBase | *where.group << 8 | reg::kGroupStatus;
            if (now < busyEndNs_[*where.group] || (registers_.Stored(status) & reg::kGroupBusy) != 0) return kLinkOk;
            busyEndNs_[*where.group] = now + uint64_t{config_.dcOffsetBusyUs} * kNsPerUs;
        }
        registers_.Store(address, value);
        return kLinkOk;
    }
    switch (address) {
        case reg::kSoftwareReset: SoftwareReset(now); return kLinkOk;
        case reg::kSoftwareTrigger:
            acquisition_.SoftwareTrigger(now);
            if (Listening()) stream_.SoftwareTrigger(now, Settings(), events_);
            return kLinkOk;
        case reg::kAcquisitionControl: {
            // Start modes 1 to 3 wait for the start signal.
            std::optional<uint64_t> signalAfter;
            if (config_.startSignalUs) signalAfter = uint64_t{*config_.startSignalUs} * kNsPerUs;
            acquisition_.SetRunBit((value & reg::kControlRun) != 0, now, (value & kStartModeBits) != 0, signalAfter);
            registers_.Store(address, value);
            CatchUp(now);  // a start without latency shows at once
            return kLinkOk;
        }
        case reg::kFlashControl: FlashControlWrite(value); break;
        case reg::kFlashData: FlashDataWrite(value); return kLinkOk;
        default: break;
    }
    registers_.Store(address, value);
    return kLinkOk;
}

int32_t Board::BlockRead(unsigned char* dest, int32_t maxWords, int32_t& wordsMoved) {
    // 0 in the events-per-transfer register sets no event limit.
    CatchUp(clock_.NowNs());
    const std::size_t limit = registers_.Stored(reg::kEventsPerTransfer);
    const auto room = static_cast<std::size_t>(maxWords);
    std::size_t events = 0;
    DeliveryLog* log = log_.Enabled() ? &log_ : nullptr;
    if (log) log_.Transfer();
    std::size_t moved = events_.Take(dest, room, limit, events, log);
    transferCarried_ = transferCarried_ || moved > 0;
    // The board hands out words until the room is full; it ends the transfer
    // only when it stops short of the room, having nothing more to give in
    // this transfer (memory empty or event limit reached).
    if (moved == room) {
        wordsMoved = static_cast<int32_t>(moved);
        return kLinkOk;
    }
    if (transferCarried_ && spare_.Next() % 100 < config_.spareWordPercent) {
        std::memcpy(dest + moved * sizeof(uint32_t), &kSpareWord, sizeof kSpareWord);
        if (log) log_.Delivered(&kSpareWord, 1);
        ++moved;
    }
    transferCarried_ = false;
    wordsMoved = static_cast<int32_t>(moved);
    return kLinkEndOfTransfer;
}

bool Board::StartSignal() {
    const uint64_t now = clock_.NowNs();
    CatchUp(now);
    acquisition_.StartSignal(now);
    CatchUp(now);
    return true;
}

void Board::SoftwareReset(uint64_t now) {
    const uint32_t kept = registers_.Stored(reg::kAcquisitionStatus) & reg::kStatusKeptByReset;
    registers_.PowerOn();
    StoreIdentity();
    registers_.Store(reg::kAcquisitionStatus,
                     (registers_.Stored(reg::kAcquisitionStatus) & ~reg::kStatusKeptByReset) | kept);
    acquisition_ = Acquisition(uint64_t{config_.runLatencyUs} * kNsPerUs, now);
    seenStarts_ = 0;
    transferCarried_ = false;
    stream_.Reset(now);
    events_.Clear();
    busyEndNs_.fill(0);
    // The loaded calibration tables go with the reset, as 0x80E4 bit 0 does.
    if (calibration_) calibration_->Clear();
    resetEndNs_ = now + uint64_t{config_.resetTimeUs} * kNsPerUs;
}

bool Board::Peek(uint32_t address, uint32_t& value) {
    CatchUp(clock_.NowNs());
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
    CatchUp(clock_.NowNs());
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

DataFlash& Board::Flash() {
    if (!flash_) {
        const FlashTiming timing{uint64_t{flashConfig_.transferUs} * kNsPerUs, uint64_t{flashConfig_.eraseUs} * kNsPerUs,
                                 uint64_t{flashConfig_.programUs} * kNsPerUs};
        flash_ = std::make_unique<DataFlash>(flashConfig_.deviceId, timing);
        WriteFactoryTables(*flash_);
        if (!flashConfig_.file.empty() && !flash_->AttachFile(flashConfig_.file))
            std::cerr << "DrelmComm emulator: cannot keep the flash in " << flashConfig_.file
                      << "; its contents last only while the board exists\n";
    }
    return *flash_;
}

const CalibrationTables& Board::Calibration() {
    if (!calibration_) calibration_ = std::make_unique<CalibrationTables>(config_.channels);
    return *calibration_;
}

void Board::FlashControlWrite(uint32_t value) { Flash().WriteControl(value, clock_.NowNs()); }
void Board::FlashDataWrite(uint32_t value) { Flash().WriteData(value, clock_.NowNs()); }
uint32_t Board::FlashDataRead() { return Flash().ReadData(clock_.NowNs()); }

void Board::CalibrationLoadWrite(uint32_t group, uint32_t value) {
    Calibration();
    calibration_->Load(group, value);
}

}  // namespace drelm::emu
