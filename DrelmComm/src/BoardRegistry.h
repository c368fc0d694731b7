// Every board the emulator knows, by address, and every open link, by
// handle. Process-wide; its mutex is held only to look up or change these
// tables, never during a board's own work or file I/O (building a board,
// writing a delivery log).
//
// Link handles count up from 0 and are not reused (until they wrap at
// INT32_MAX), so a stale handle fails instead of reaching another board.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "Board.h"
#include "BoardAddressing.h"
#include "DrelmEmulator.h"

namespace drelm::emu {

class BoardRegistry {
public:
    static BoardRegistry& Instance();

    static constexpr std::size_t kMaxOpenLinks = 128;

    // Forgets every board, link and description; reloads the settings file.
    void Reset();
    void Configure(const BoardAddress& address, const BoardConfig& config);
    void ConfigureFlash(const BoardAddress& address, const FlashConfig& flash);

    // A host named in a description, "localhost", or a dotted IPv4 address.
    bool IsKnownHost(const std::string& host);

    // The address must have passed CheckAddress. 0, -6 or -9.
    int32_t Open(const BoardAddress& address, int32_t& linkHandle);
    // 0, or -1 for a handle that is not open.
    int32_t Close(int32_t linkHandle);

    // The board behind an open link, or null. The caller locks the board and
    // checks board->linkHandle, which a concurrent close may have cleared.
    std::shared_ptr<Board> Find(int32_t linkHandle);
    int32_t HandleOf(const BoardAddress& address);

private:
    BoardRegistry();
    void LoadSettingsLocked();
    int32_t NextHandleLocked();

    struct Description {
        BoardConfig config;
        uint64_t generation = 0;
        FlashConfig flash;
    };
    // A new description, or a new generation of the known one.
    Description& Describe(const BoardAddress& key);
    // A board that is not open is made anew from its description at its next
    // open; an open one keeps running as it is until then.
    void ForgetIfClosedLocked(const BoardAddress& key);

    std::mutex mutex_;
    bool settingsLoaded_ = false;
    uint64_t nextGeneration_ = 1;
    uint64_t resets_ = 0;  // boards built before a reset are not inserted after it
    int32_t nextHandle_ = 0;
    std::map<BoardAddress, Description, AddressOrder> descriptions_;
    std::map<BoardAddress, std::shared_ptr<Board>, AddressOrder> boards_;
    std::map<int32_t, std::shared_ptr<Board>> links_;
    std::map<int32_t, BoardAddress> linkAddresses_;
};

}  // namespace drelm::emu
