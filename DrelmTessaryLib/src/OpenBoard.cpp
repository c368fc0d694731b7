// Opening a board: link, identification, board information, start-up settings.
#include <cstring>

#include "ApiGuard.h"
#include "BoardIdentity.h"
#include "BoardTable.h"
#include "DrelmComm.h"
#include "RegisterAccess.h"
#include "StartupSettings.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

constexpr int32_t kEthernetBridge = 6;
constexpr int32_t kUsbVmeBridge = 7;

int32_t LowestFreeEntry() {
    for (int32_t i = 0; i < kMaxBoards; ++i)
        if (Board(i).inUse == 0) return i;
    return -1;
}

// Every failure after the link came up closes it and leaves the entry free.
int32_t Abandon(BoardEntry& entry, int32_t status) {
    LinkClose(entry.linkHandle);
    entry.inUse = 0;
    entry.linkHandle = -1;
    return status;
}

int32_t Identify(int32_t board) {
    BoardEntry& entry = Board(board);
    uint32_t value = 0;
    // The first two reads only show that the board answers.
    if (BoardReadRegister(board, 0xF030, &value) != 0 || BoardReadRegister(board, 0xF034, &value) != 0)
        return DRELM_TSY_CommReadError;
    if (BoardReadRegister(board, 0x8140, &value) != 0) return DRELM_TSY_CommReadError;
    entry.familyCode = static_cast<int32_t>(value & 0xFFu);
    if (BoardReadRegister(board, 0xF034, &value) != 0) return DRELM_TSY_CommReadError;
    entry.formCode = static_cast<int32_t>(value);
    // A board whose form is not known must not inherit the counts of the
    // board that used this entry before it.
    entry.formIndex = 0;
    entry.channelCount = 0;
    entry.groupCount = 0;
    ApplyBoardForm(entry);
    return DRELM_TSY_Success;
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_OpenTessary2(int32_t connectionType, const void* linkArg, int32_t node, uint32_t baseAddress,
                               int32_t* handle) {
    return Guarded([&]() -> int32_t {
        if (handle == nullptr) return DRELM_TSY_InvalidParam;
        const int32_t board = LowestFreeEntry();
        if (board < 0) return DRELM_TSY_TooManyBoards;
        BoardEntry& entry = Board(board);

        int32_t link = -1;
        const int32_t linkStatus = LinkOpen(connectionType, linkArg, node, baseAddress, &link);
        if (linkStatus != 0) return MapLinkStatus(linkStatus);
        entry.linkHandle = link;

        if (const int32_t status = Identify(board); status != 0) return Abandon(entry, status);
        if (const int32_t status = FillBoardInfo(board, &entry.info); status != 0) return Abandon(entry, status);
        entry.inUse = 1;

        uint32_t revision = 0;
        if (ProbeAmcRevision(board, &revision) != 0) return Abandon(entry, DRELM_TSY_CommError);
        *handle = board;

        if (const int32_t status = WriteStartupSettings(board, StartupCaller::Open); status != 0)
            return Abandon(entry, status);
        entry.readoutBufferSize = kDefaultReadoutBufferSize;
        return DRELM_TSY_Success;
    });
}

int32_t DRELM_TSY_OpenTessary(int32_t connectionType, int32_t linkNumber, int32_t node, uint32_t baseAddress,
                              int32_t* handle) {
    return Guarded([&]() -> int32_t {
        // These bridges need a host name or a bridge link argument that a
        // plain link number cannot carry.
        if (connectionType == kEthernetBridge || connectionType == kUsbVmeBridge || linkNumber < 0)
            return DRELM_TSY_InvalidParam;
        return DRELM_TSY_OpenTessary2(connectionType, &linkNumber, node, baseAddress, handle);
    });
}

}  // extern "C"
