#include "FaultInjector.h"

namespace drelm::emu {

FaultInjector& FaultInjector::Instance() {
    static FaultInjector injector;
    return injector;
}

int FaultInjector::Add(const Fault& fault) {
    std::lock_guard<std::mutex> hold(mutex_);
    const int id = nextId_++;
    faults_[id] = Armed{fault, 0};
    return id;
}

void FaultInjector::Remove(int id) {
    std::lock_guard<std::mutex> hold(mutex_);
    faults_.erase(id);
}

void FaultInjector::Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    faults_.clear();
}

std::optional<int32_t> FaultInjector::Check(Op op, std::optional<int32_t> linkHandle, uint32_t address) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::optional<int32_t> status;
    for (auto& [id, armed] : faults_) {
        const Fault& f = armed.fault;
        if (f.op != op) continue;
        if (f.address && *f.address != address) continue;
        if (f.linkHandle && (!linkHandle || *f.linkHandle != *linkHandle)) continue;
        const uint64_t call = ++armed.seen;
        // firstCall 0 is taken as 1: calls are numbered from 1.
        const uint64_t first = f.firstCall == 0 ? 1 : f.firstCall;
        const bool inWindow = call >= first && (f.count == 0 || call < first + f.count);
        if (inWindow && !status) status = f.status;
    }
    return status;
}

}  // namespace drelm::emu
