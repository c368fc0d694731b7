#include "TableFlash.h"

#include <array>

#include "BoardTable.h"
#include "DrelmTessaryLib.h"
#include "Flash.h"
#include "TableLayout.h"

namespace drelm::tsy {

int32_t TableChannels(int32_t board) {
    const int32_t channels = Board(board).channelCount;
    return channels < 0 ? 0 : channels > 64 ? 64 : channels;
}

int32_t IdentifyTableFlash(int32_t board) {
    return FlashIdentify(board) == DRELM_TSY_Success ? DRELM_TSY_Success : DRELM_TSY_GenericError;
}

int32_t EraseTablePage(int32_t board, uint32_t tablePage) {
    if (CurrentFlashState().flashPageSize == kTablePageSize)
        return FlashErasePage(board, static_cast<uint16_t>(tablePage));
    std::array<uint8_t, kTablePageSize> erased;
    erased.fill(0xFF);
    return FlashWrite(board, tablePage * kTablePageSize, erased.data(), static_cast<uint16_t>(erased.size()));
}

}  // namespace drelm::tsy
