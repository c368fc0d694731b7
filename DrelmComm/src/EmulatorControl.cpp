// The emulator's control interface (DrelmEmulator.h).
//
// ResetEmulator forgets boards, links, descriptions, faults and recorded
// traffic, and reloads the settings file; it leaves the clock as it is.
#include "BoardRegistry.h"
#include "ControlGuard.h"
#include "DrelmEmulator.h"
#include "EmulatorClock.h"
#include "FaultInjector.h"
#include "TrafficRecorder.h"

namespace drelm::emu {
void ResetEmulator() {
    ControlGuarded([] {
        BoardRegistry::Instance().Reset();
        FaultInjector::Instance().Clear();
        TrafficRecorder::Instance().Clear();
    });
}

void ConfigureBoard(const BoardAddress& address, const BoardConfig& config) {
    ControlGuarded([&] { BoardRegistry::Instance().Configure(address, config); });
}

int32_t LinkHandleOf(const BoardAddress& address) {
    return ControlGuarded(int32_t{-1}, [&] { return BoardRegistry::Instance().HandleOf(address); });
}

bool PeekRegister(int32_t linkHandle, uint32_t address, uint32_t* value) {
    if (!value) return false;
    return WithOpenBoard(linkHandle, [&](Board& board) { return board.Peek(address, *value); });
}

bool PokeRegister(int32_t linkHandle, uint32_t address, uint32_t value) {
    return WithOpenBoard(linkHandle, [&](Board& board) { return board.Poke(address, value); });
}

bool InjectEvents(int32_t linkHandle, const std::vector<uint32_t>& words) {
    return WithOpenBoard(linkHandle, [&](Board& board) { return board.InjectEvents(words); });
}

bool SendStartSignal(int32_t linkHandle) {
    return WithOpenBoard(linkHandle, [&](Board& board) { return board.StartSignal(); });
}

bool SoftwareTriggerCount(int32_t linkHandle, uint64_t* count) {
    if (!count) return false;
    return WithOpenBoard(linkHandle, [&](Board& board) {
        *count = board.SoftwareTriggers();
        return true;
    });
}

bool TriggerCounts(int32_t linkHandle, uint64_t* triggers, uint64_t* lost) {
    if (!triggers || !lost) return false;
    return WithOpenBoard(linkHandle, [&](Board& board) {
        board.TriggerCounts(*triggers, *lost);
        return true;
    });
}

void StartRecording() { ControlGuarded([] { TrafficRecorder::Instance().Start(); }); }
void StopRecording() { ControlGuarded([] { TrafficRecorder::Instance().Stop(); }); }
// Empty when the copy cannot be made.
std::vector<Access> RecordedTraffic() {
    return ControlGuarded(std::vector<Access>{}, [] { return TrafficRecorder::Instance().Snapshot(); });
}

// -1 when the fault cannot be stored.
int AddFault(const Fault& fault) {
    return ControlGuarded(-1, [&] { return FaultInjector::Instance().Add(fault); });
}
void RemoveFault(int id) { ControlGuarded([&] { FaultInjector::Instance().Remove(id); }); }
void ClearFaults() { ControlGuarded([] { FaultInjector::Instance().Clear(); }); }

void UseVirtualClock(bool on) { ControlGuarded([&] { EmulatorClock::Instance().UseVirtual(on); }); }
void AdvanceClock(uint64_t nanoseconds) { ControlGuarded([&] { EmulatorClock::Instance().Advance(nanoseconds); }); }
uint64_t EmulatedTimeNs() {
    return ControlGuarded(uint64_t{0}, [] { return EmulatorClock::Instance().NowNs(); });
}

}  // namespace drelm::emu
