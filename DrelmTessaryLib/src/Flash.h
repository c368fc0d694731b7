// The board's serial DataFlash chip, driven byte by byte through the flash
// control register (2 selects the chip, 3 releases it) and the flash data
// register. Internal: nothing here is exported.
//
// The flash state (identification, page size, scratch lists) is shared by
// the whole process, so only one flash operation runs at a time: callers
// hold a FlashSession for the length of their work.
#pragma once

#include <cstdint>
#include <mutex>

namespace drelm::tsy {

inline constexpr uint32_t kFlashControl = 0xEF2C;
inline constexpr uint32_t kFlashData = 0xEF30;
inline constexpr uint32_t kFlashSelect = 2;
inline constexpr uint32_t kFlashRelease = 3;

inline constexpr uint8_t kFlashReadId = 0x9F;
inline constexpr uint8_t kFlashStatus = 0xD7;
inline constexpr uint8_t kFlashPageToBuffer = 0x53;
inline constexpr uint8_t kFlashBufferToPage = 0x83;
inline constexpr uint8_t kFlashPageErase = 0x81;
inline constexpr uint8_t kFlashBufferWrite = 0x84;
inline constexpr uint8_t kFlashProgramThroughBuffer = 0x82;
inline constexpr uint8_t kFlashContinuousRead = 0x03;

// Bytes a page read delivers, whatever the chip's page size.
inline constexpr uint32_t kFlashReadLength = 528;
// The largest page: the scratch lists hold one.
inline constexpr uint32_t kFlashMaxPage = 1056;

// FlashIdentify's answer for a device id outside the known chips.
inline constexpr int32_t kFlashUnknownDevice = -7;

// The status bit that reports the chip ready, and how long to wait for it:
// a page program takes a few tens of milliseconds at worst, so two seconds
// of 1 ms pauses means the chip or the link is gone.
inline constexpr uint8_t kFlashReadyBit = 0x80;
inline constexpr uint32_t kFlashReadyPauses = 2000;
inline constexpr uint32_t kFlashReadyPauseMs = 1;

struct FlashState {
    int32_t flashIdentified = 0;
    uint8_t flashDeviceId = 0;
    uint16_t flashPageSize = 528;
    // Whose chip the state describes (board handle and its link), so that a
    // job can tell when another board's job identified its own chip since.
    int32_t identifiedBoard = -1;
    int32_t identifiedLink = -1;
};

// The state describes the chip of this board.
bool FlashIdentifiedFor(int32_t board);

// The process-wide flash state, for tests and tools that look at it.
const FlashState& CurrentFlashState();

// Serialises whole flash jobs across threads.
std::unique_lock<std::mutex> FlashSession();

// The chip's 24-bit address field for a page and an offset, with the page
// taken modulo the chip's page count and the offset modulo 2^page shift.
uint32_t FlashAddressField(uint32_t page, uint32_t offset);

// 0, or kFlashUnknownDevice (-7).
int32_t FlashIdentify(int32_t board);
// 0, -5 when the flash is not identified, Timeout (-18) when the chip never
// reports ready.
int32_t FlashWaitReady(int32_t board);
int32_t FlashErasePage(int32_t board, uint16_t page);
int32_t FlashPageToBuffer(int32_t board, uint16_t page);
int32_t FlashBufferToPage(int32_t board, uint16_t page);
// 0, -5, or -1 when the final control write failed.
int32_t FlashBufferWrite(int32_t board, uint32_t offset, const uint8_t* source, uint16_t count);
// Reads 528 bytes from the byte address on, across page ends. 0, -5, or
// ReadFailed (-10) when the list read failed (the destination is then not
// to be trusted).
int32_t FlashReadPage(int32_t board, uint32_t byteAddress, uint8_t* destination);
// Writes any byte range, a page at a time. 0, -5, or -18.
int32_t FlashWrite(int32_t board, uint32_t byteAddress, const uint8_t* source, uint16_t count);
// One list write of count data bytes (count at most 1056; more gives -3
// with no traffic). The link's status.
int32_t FlashSendBytes(int32_t board, const uint8_t* source, uint32_t count);
// One list read of 528 data bytes. The link's status.
int32_t FlashReceiveBytes(int32_t board, uint8_t* destination);

}  // namespace drelm::tsy
