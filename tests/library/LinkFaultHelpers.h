// Shorthands for the emulator's fault injection, as the settings and
// acquisition tests use it: make reads or writes of one register fail.
#pragma once

#include <cstdint>

#include "DrelmEmulator.h"

namespace tessary_test {

// The link status a faulted access reports.
inline constexpr int32_t kFaultStatus = -2;

// Accesses number firstCall .. firstCall + count - 1 (count 0: all from
// firstCall on) of `op` to `address` fail.
inline int FailAccesses(drelm::emu::Op op, uint32_t address, uint32_t firstCall = 1, uint32_t count = 0) {
    drelm::emu::Fault fault;
    fault.op = op;
    fault.status = kFaultStatus;
    fault.firstCall = firstCall;
    fault.count = count;
    fault.address = address;
    return drelm::emu::AddFault(fault);
}

inline int FailReads(uint32_t address, uint32_t firstCall = 1, uint32_t count = 0) {
    return FailAccesses(drelm::emu::Op::ReadRegister, address, firstCall, count);
}

inline int FailWrites(uint32_t address, uint32_t firstCall = 1, uint32_t count = 0) {
    return FailAccesses(drelm::emu::Op::WriteRegister, address, firstCall, count);
}

}  // namespace tessary_test
