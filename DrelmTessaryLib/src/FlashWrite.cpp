// Writing any byte range of the flash, one page at a time: a whole page
// aligned to its start goes straight through the chip's buffer, anything
// less is merged into the page's present contents.
#include "Flash.h"

#include <algorithm>

#include "BoardTable.h"
#include "DrelmComm.h"
#include "DrelmTessaryLib.h"

namespace drelm::tsy {
namespace {

void Control(int32_t board, uint32_t value) { LinkWriteRegister(Board(board).linkHandle, kFlashControl, value); }

void Send(int32_t board, uint8_t byte) { LinkWriteRegister(Board(board).linkHandle, kFlashData, byte); }

void ProgramWholePage(int32_t board, uint32_t page, const uint8_t* source, uint32_t pageSize) {
    const uint32_t field = FlashAddressField(page, 0);
    Control(board, kFlashSelect);
    Send(board, kFlashProgramThroughBuffer);
    Send(board, static_cast<uint8_t>(field >> 16));
    Send(board, static_cast<uint8_t>(field >> 8));
    Send(board, static_cast<uint8_t>(field));
    FlashSendBytes(board, source, pageSize);
    Control(board, kFlashRelease);
}

}  // namespace

int32_t FlashWrite(int32_t board, uint32_t byteAddress, const uint8_t* source, uint16_t count) {
    if (!CurrentFlashState().flashIdentified) return DRELM_TSY_InvalidHandle;
    const uint32_t pageSize = CurrentFlashState().flashPageSize;
    uint32_t room = pageSize - byteAddress % pageSize;
    uint32_t position = 0;
    uint32_t left = count;
    // Runs at least once: a write of no bytes reprograms its page unchanged.
    do {
        const uint32_t page = byteAddress / pageSize;
        const uint32_t offset = byteAddress % pageSize;
        const uint32_t chunk = std::min(left, room);
        // A chip that never gets ready has not taken the page: stop there.
        if (chunk == pageSize && offset == 0) {
            ProgramWholePage(board, page, source + position, pageSize);
        } else {
            if (FlashPageToBuffer(board, static_cast<uint16_t>(page)) == DRELM_TSY_Timeout) return DRELM_TSY_Timeout;
            FlashBufferWrite(board, offset, source + position, static_cast<uint16_t>(chunk));
            if (FlashBufferToPage(board, static_cast<uint16_t>(page)) == DRELM_TSY_Timeout) return DRELM_TSY_Timeout;
        }
        if (FlashWaitReady(board) == DRELM_TSY_Timeout) return DRELM_TSY_Timeout;
        position += chunk;
        byteAddress += chunk;
        left -= chunk;
        room = pageSize;
    } while (left != 0);
    return DRELM_TSY_Success;
}

}  // namespace drelm::tsy
