// Injected faults: decides, call by call, whether a link access fails and
// with which status. Each fault counts the calls that match it.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "DrelmEmulator.h"

namespace drelm::emu {

class FaultInjector {
public:
    static FaultInjector& Instance();

    int Add(const Fault& fault);
    void Remove(int id);
    void Clear();

    // Counts the call against every matching fault; the status of the
    // first fault (oldest) whose window covers the call, if any.
    // linkHandle is nullopt for an open, which no link filter matches.
    std::optional<int32_t> Check(Op op, std::optional<int32_t> linkHandle, uint32_t address);

private:
    struct Armed {
        Fault fault;
        uint64_t seen = 0;
    };
    std::mutex mutex_;
    int nextId_ = 1;
    std::map<int, Armed> faults_;
};

}  // namespace drelm::emu
