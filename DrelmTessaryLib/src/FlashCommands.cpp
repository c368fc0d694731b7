// The chip's commands, each framed by a select and a release of the chip.
#include "Flash.h"

#include "BoardTable.h"
#include "DrelmComm.h"
#include "DrelmTessaryLib.h"
#include "Sleep.h"

namespace drelm::tsy {
namespace {

struct Chip {
    uint8_t deviceId;
    uint16_t pageSize;
    uint32_t pageShift;
    uint32_t pageCount;
};

constexpr Chip kChips[] = {
    {0x25, 264, 9, 4096},
    {0x27, 528, 10, 8192},
    {0x28, 1056, 11, 8192},
};

FlashState g_state;
std::mutex g_session;

// Scratch lists of the list transfers, one page long.
uint32_t g_addresses[kFlashMaxPage];
uint32_t g_values[kFlashMaxPage];
int32_t g_statuses[kFlashMaxPage];

const Chip& CurrentChip() {
    for (const Chip& chip : kChips)
        if (chip.pageSize == g_state.flashPageSize) return chip;
    return kChips[1];
}

int32_t Link(int32_t board) { return Board(board).linkHandle; }

void Control(int32_t board, uint32_t value) { LinkWriteRegister(Link(board), kFlashControl, value); }

void Send(int32_t board, uint8_t byte) { LinkWriteRegister(Link(board), kFlashData, byte); }

uint8_t Receive(int32_t board) {
    uint32_t value = 0;
    LinkReadRegister(Link(board), kFlashData, &value);
    return static_cast<uint8_t>(value);
}

// The chip's 24-bit address field, bits 16-23 first.
void SendAddress(int32_t board, uint32_t page, uint32_t offset) {
    const uint32_t field = FlashAddressField(page, offset);
    Send(board, static_cast<uint8_t>(field >> 16));
    Send(board, static_cast<uint8_t>(field >> 8));
    Send(board, static_cast<uint8_t>(field));
}

int32_t PageCommand(int32_t board, uint8_t opcode, uint16_t page) {
    if (!g_state.flashIdentified) return DRELM_TSY_InvalidHandle;
    Control(board, kFlashSelect);
    Send(board, opcode);
    SendAddress(board, page, 0);
    Control(board, kFlashRelease);
    return FlashWaitReady(board);
}

}  // namespace

const FlashState& CurrentFlashState() { return g_state; }

bool FlashIdentifiedFor(int32_t board) {
    return g_state.flashIdentified && g_state.identifiedBoard == board && g_state.identifiedLink == Link(board);
}

uint32_t FlashAddressField(uint32_t page, uint32_t offset) {
    const Chip& chip = CurrentChip();
    return ((page % chip.pageCount) << chip.pageShift) | (offset & ((1u << chip.pageShift) - 1));
}

std::unique_lock<std::mutex> FlashSession() { return std::unique_lock<std::mutex>(g_session); }

int32_t FlashIdentify(int32_t board) {
    Control(board, kFlashSelect);
    Send(board, kFlashReadId);
    Receive(board);  // manufacturer
    const uint8_t id = Receive(board);
    Control(board, kFlashRelease);
    g_state.flashDeviceId = id;
    g_state.identifiedBoard = board;
    g_state.identifiedLink = Link(board);
    for (const Chip& chip : kChips) {
        if (chip.deviceId == id) {
            g_state.flashPageSize = chip.pageSize;
            g_state.flashIdentified = 1;
            return DRELM_TSY_Success;
        }
    }
    g_state.flashIdentified = 0;
    return kFlashUnknownDevice;
}

int32_t FlashWaitReady(int32_t board) {
    if (!g_state.flashIdentified) return DRELM_TSY_InvalidHandle;
    Control(board, kFlashSelect);
    Send(board, kFlashStatus);
    // The chip repeats its status for as long as it stays selected.
    for (uint32_t pauses = 0;; ++pauses) {
        if (Receive(board) & kFlashReadyBit) break;
        if (pauses == kFlashReadyPauses) {
            Control(board, kFlashRelease);
            return DRELM_TSY_Timeout;
        }
        SleepMs(kFlashReadyPauseMs);
    }
    Control(board, kFlashRelease);
    return DRELM_TSY_Success;
}

int32_t FlashErasePage(int32_t board, uint16_t page) { return PageCommand(board, kFlashPageErase, page); }

int32_t FlashPageToBuffer(int32_t board, uint16_t page) { return PageCommand(board, kFlashPageToBuffer, page); }

int32_t FlashBufferToPage(int32_t board, uint16_t page) { return PageCommand(board, kFlashBufferToPage, page); }

int32_t FlashBufferWrite(int32_t board, uint32_t offset, const uint8_t* source, uint16_t count) {
    if (!g_state.flashIdentified) return DRELM_TSY_InvalidHandle;
    Control(board, kFlashSelect);
    Send(board, kFlashBufferWrite);
    SendAddress(board, 0, offset);
    FlashSendBytes(board, source, count);
    if (LinkWriteRegister(Link(board), kFlashControl, kFlashRelease) != 0) return DRELM_TSY_GenericError;
    return DRELM_TSY_Success;
}

int32_t FlashReadPage(int32_t board, uint32_t byteAddress, uint8_t* destination) {
    if (!g_state.flashIdentified) return DRELM_TSY_InvalidHandle;
    const uint32_t pageSize = g_state.flashPageSize;
    Control(board, kFlashSelect);
    Send(board, kFlashContinuousRead);
    SendAddress(board, byteAddress / pageSize, byteAddress % pageSize);
    const int32_t status = FlashReceiveBytes(board, destination);
    Control(board, kFlashRelease);
    return status == 0 ? DRELM_TSY_Success : DRELM_TSY_ReadFailed;
}

int32_t FlashSendBytes(int32_t board, const uint8_t* source, uint32_t count) {
    if (count > kFlashMaxPage) return DRELM_TSY_InvalidParam;
    for (uint32_t i = 0; i < count; ++i) {
        g_addresses[i] = kFlashData;
        g_values[i] = source[i];
    }
    return LinkWriteRegisters(Link(board), g_addresses, static_cast<int32_t>(count), g_values, g_statuses);
}

int32_t FlashReceiveBytes(int32_t board, uint8_t* destination) {
    for (uint32_t i = 0; i < kFlashReadLength; ++i) {
        g_addresses[i] = kFlashData;
        g_values[i] = 0;
    }
    const int32_t status =
        LinkReadRegisters(Link(board), g_addresses, static_cast<int32_t>(kFlashReadLength), g_values, g_statuses);
    for (uint32_t i = 0; i < kFlashReadLength; ++i) destination[i] = static_cast<uint8_t>(g_values[i]);
    return status;
}

}  // namespace drelm::tsy
