#include "BoardRegistry.h"

#include <climits>

#include "DrelmComm.h"
#include "EmulatorClock.h"
#include "LinkStatus.h"
#include "SettingsFile.h"

namespace drelm::emu {

BoardRegistry& BoardRegistry::Instance() {
    static BoardRegistry registry;
    return registry;
}

BoardRegistry::BoardRegistry() = default;

// The settings file is read at first use, not when the registry is made, so
// that a ResetEmulator as the very first call reads it once.
void BoardRegistry::LoadSettingsLocked() {
    if (settingsLoaded_) return;
    settingsLoaded_ = true;
    for (const SettingsFile::Entry& entry : SettingsFile::LoadFromEnvironment())
        descriptions_[NormalizedAddress(entry.address)] = Description{entry.config, nextGeneration_++, entry.flash};
}

void BoardRegistry::Reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    ++resets_;
    for (auto& [handle, board] : links_) {
        std::lock_guard<std::mutex> boardHold(board->Mutex());
        board->linkHandle = -1;
    }
    links_.clear();
    linkAddresses_.clear();
    boards_.clear();
    descriptions_.clear();
    settingsLoaded_ = false;
    LoadSettingsLocked();
}

BoardRegistry::Description& BoardRegistry::Describe(const BoardAddress& key) {
    Description& description = descriptions_[key];
    description.generation = nextGeneration_++;
    return description;
}

void BoardRegistry::ForgetIfClosedLocked(const BoardAddress& key) {
    auto board = boards_.find(key);
    if (board == boards_.end()) return;
    // Keeps the board (and the mutex held below) alive past the erase.
    const std::shared_ptr<Board> keep = board->second;
    std::lock_guard<std::mutex> boardHold(keep->Mutex());
    if (keep->linkHandle < 0) boards_.erase(board);
}

void BoardRegistry::ConfigureFlash(const BoardAddress& address, const FlashConfig& flash) {
    const BoardAddress key = NormalizedAddress(address);
    std::lock_guard<std::mutex> hold(mutex_);
    LoadSettingsLocked();
    Describe(key).flash = flash;
    ForgetIfClosedLocked(key);
}

void BoardRegistry::Configure(const BoardAddress& address, const BoardConfig& config) {
    const BoardAddress key = NormalizedAddress(address);
    std::lock_guard<std::mutex> hold(mutex_);
    LoadSettingsLocked();
    Describe(key).config = config;
    ForgetIfClosedLocked(key);
}

bool BoardRegistry::IsKnownHost(const std::string& host) {
    if (host == "localhost" || IsDottedQuad(host)) return true;
    BoardAddress probe;
    probe.connectionType = DRELM_LINK_ETHERNET;
    probe.host = host;
    const BoardAddress key = NormalizedAddress(probe);
    std::lock_guard<std::mutex> hold(mutex_);
    LoadSettingsLocked();
    for (const auto& [address, description] : descriptions_)
        if (address.connectionType == DRELM_LINK_ETHERNET && address.host == key.host) return true;
    return false;
}

int32_t BoardRegistry::NextHandleLocked() {
    while (links_.count(nextHandle_) != 0) nextHandle_ = nextHandle_ == INT32_MAX ? 0 : nextHandle_ + 1;
    const int32_t handle = nextHandle_;
    nextHandle_ = nextHandle_ == INT32_MAX ? 0 : nextHandle_ + 1;
    return handle;
}

// A new board is built (flash image, factory tables, flash file) with the
// registry unlocked, so that other boards' calls go on meanwhile; it is
// inserted only if nothing changed its address's description or reset the
// emulator in the meantime, else it is built again.
int32_t BoardRegistry::Open(const BoardAddress& address, int32_t& linkHandle) {
    const BoardAddress key = NormalizedAddress(address);
    std::shared_ptr<Board> made;  // declared before the lock: an unused one is freed unlocked
    uint64_t madeAfterReset = 0;
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        LoadSettingsLocked();
        const auto description = descriptions_.find(key);
        const uint64_t generation = description == descriptions_.end() ? 0 : description->second.generation;
        const auto found = boards_.find(key);
        if (found != boards_.end()) {
            std::lock_guard<std::mutex> boardHold(found->second->Mutex());
            if (found->second->linkHandle >= 0) return kLinkAlreadyOpen;
        }
        if (links_.size() >= kMaxOpenLinks) return kLinkTooManyLinks;
        std::shared_ptr<Board> board;
        if (found != boards_.end() && found->second->generation() == generation)
            board = found->second;
        else if (made && made->generation() == generation && madeAfterReset == resets_)
            board = boards_.insert_or_assign(key, made).first->second;
        if (!board) {
            const Description copy = description == descriptions_.end() ? Description{} : description->second;
            madeAfterReset = resets_;
            hold.unlock();
            made.reset();
            made = std::make_shared<Board>(copy.config, generation, EmulatorClock::Instance(), copy.flash,
                                           key.connectionType);
            hold.lock();
            continue;
        }
        const int32_t handle = NextHandleLocked();
        {
            std::lock_guard<std::mutex> boardHold(board->Mutex());
            board->linkHandle = handle;
            board->LinkOpened();
        }
        links_[handle] = board;
        linkAddresses_[handle] = key;
        linkHandle = handle;
        return kLinkOk;
    }
}

// The link leaves the tables under the registry's lock; the board's last
// catch-up and its delivery log are made under the board's lock only, and
// the log is written with no lock held.
int32_t BoardRegistry::Close(int32_t linkHandle) {
    std::shared_ptr<Board> board;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        const auto link = links_.find(linkHandle);
        if (link == links_.end()) return kLinkGenericFailure;
        board = link->second;
        links_.erase(link);
        linkAddresses_.erase(linkHandle);
    }
    std::string log;
    {
        std::lock_guard<std::mutex> boardHold(board->Mutex());
        board->linkHandle = -1;
        log = board->LinkClosed();
    }
    if (!log.empty()) DeliveryLog::WriteFile(board->DeliveryLogPath(), log);
    return kLinkOk;
}

std::shared_ptr<Board> BoardRegistry::Find(int32_t linkHandle) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto link = links_.find(linkHandle);
    return link == links_.end() ? nullptr : link->second;
}

int32_t BoardRegistry::HandleOf(const BoardAddress& address) {
    const BoardAddress key = NormalizedAddress(address);
    std::lock_guard<std::mutex> hold(mutex_);
    for (const auto& [handle, linkAddress] : linkAddresses_)
        if (linkAddress == key) return handle;
    return -1;
}

}  // namespace drelm::emu
