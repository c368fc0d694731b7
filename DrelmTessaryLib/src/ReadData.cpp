// Block transfers from a board into the caller's readout buffer, under the
// board's lock for the whole transfer so that no register access to the
// same board interleaves with it.
#include <cstdint>
#include <mutex>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "DrelmComm.h"
#include "RegisterAccess.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kNextEventSize = 0x814C;
constexpr uint32_t kMaxWordsPerRead = 0x200000;
// A link that keeps answering "more may follow" without moving a word would
// otherwise hold the board's lock forever.
constexpr int kMaxEmptyReads = 100;
// Words of an event header and of a full 16-channel block (its header word
// and 8 amplitude words), and the most blocks an event of this family has.
constexpr uint32_t kEventHeaderWords = 4;
constexpr uint32_t kFullBlockWords = 9;
constexpr uint32_t kMostBlocks = 4;

struct Transfer {
    int32_t status;
    uint32_t bytes;
};

constexpr Transfer Failed(int32_t status) { return {status, 0}; }

// The largest event this board sends: the header and one full block per 16
// channels (22 words on a 32-channel form, 40 on a 64-channel one). A board
// of a form not known here counts as the widest.
uint32_t LargestEventWords(const BoardEntry& entry) {
    const uint32_t blocks = entry.channelCount > 0 ? static_cast<uint32_t>(entry.channelCount) / 16 : kMostBlocks;
    return kEventHeaderWords + kFullBlockWords * blocks;
}

// Words the link claims to have moved, checked against what it was asked for.
bool Plausible(int32_t moved, uint32_t asked) { return moved >= 0 && static_cast<uint32_t>(moved) <= asked; }

// Mode 0: block reads until the board ends the transfer.
Transfer ReadUntilEnd(const BoardEntry& entry, uint8_t* buffer) {
    const uint32_t limit = entry.readoutBufferSize;
    uint32_t bytes = 0;
    int emptyReads = 0;
    for (;;) {
        uint32_t room = (limit - bytes) / 4;
        if (room > kMaxWordsPerRead) room = kMaxWordsPerRead;
        if (room == 0) return Failed(DRELM_TSY_OutOfMemory);
        int32_t moved = 0;
        const int32_t status = LinkBlockRead(entry.linkHandle, 0, buffer + bytes, static_cast<int32_t>(room), &moved);
        if (status != 0 && status != DRELM_COMM_END_OF_TRANSFER) return Failed(DRELM_TSY_GenericError);
        if (!Plausible(moved, room)) return Failed(DRELM_TSY_GenericError);
        bytes += 4 * static_cast<uint32_t>(moved);
        if (status == DRELM_COMM_END_OF_TRANSFER) return {DRELM_TSY_Success, bytes};
        emptyReads = moved == 0 ? emptyReads + 1 : 0;
        // With less room left than this board's largest event, the empty
        // reads may mean that the next event does not fit.
        if (emptyReads == kMaxEmptyReads)
            return Failed(room < LargestEventWords(entry) ? DRELM_TSY_OutOfMemory : DRELM_TSY_GenericError);
    }
}

// Mode 3: one event, of the size the board announces.
Transfer ReadOneEvent(int32_t board, const BoardEntry& entry, uint8_t* buffer) {
    uint32_t words = 0;
    if (BoardReadRegister(board, kNextEventSize, &words) != 0) return Failed(DRELM_TSY_ReadFailed);
    if (words == 0) return {DRELM_TSY_Success, 0};
    // An event that cannot fit stays on the board rather than arriving cut.
    if (words > entry.readoutBufferSize / 4 || words > kMaxWordsPerRead) return Failed(DRELM_TSY_OutOfMemory);
    int32_t moved = 0;
    const int32_t status = LinkBlockRead(entry.linkHandle, 0, buffer, static_cast<int32_t>(words), &moved);
    // The board may end the transfer with the event: its words still count.
    if (status != 0 && status != DRELM_COMM_END_OF_TRANSFER) return Failed(DRELM_TSY_GenericError);
    if (!Plausible(moved, words)) return Failed(DRELM_TSY_GenericError);
    return {DRELM_TSY_Success, 4 * static_cast<uint32_t>(moved)};
}

}  // namespace

extern "C" int32_t DRELM_TSY_ReadData(int32_t handle, int32_t mode, void* buffer, uint32_t* bytesRead) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (buffer == nullptr || bytesRead == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        BoardEntry& entry = Board(handle);
        auto* destination = static_cast<uint8_t*>(buffer);
        Transfer transfer{DRELM_TSY_Success, 0};
        {
            std::lock_guard<std::recursive_mutex> hold(entry.lock);
            switch (mode) {
                case 0: transfer = ReadUntilEnd(entry, destination); break;
                case 3: transfer = ReadOneEvent(handle, entry, destination); break;
                case 1:
                case 2:
                case 4:
                case 5: transfer = Failed(DRELM_TSY_NotAvailable); break;
                default: transfer = Failed(DRELM_TSY_CommError); break;
            }
        }
        *bytesRead = transfer.bytes;
        return transfer.status;
    });
}
