// The board's serial DataFlash chip, as the board's flash registers present
// it: a chip-select control (2 selects, 3 releases) and a data register that
// shifts one byte out per write and one byte in per read.
//
// The chip keeps its array as linear bytes, page × page size + offset, and
// answers the commands that the host library uses: 0x9F identification,
// 0xD7 status, 0x53/0x83 page to buffer and buffer to page (with built-in
// erase), 0x81 page erase, 0x84 buffer write, 0x82 page program through the
// buffer and 0x03 continuous read. Erasing and programming keep the chip busy
// for a while of emulated time; every bus call is given the current time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace drelm::emu {

// How long the chip stays busy after each kind of array operation (the
// board's FlashConfig sets them).
struct FlashTiming {
    uint64_t transferNs = 0;  // page to buffer
    uint64_t eraseNs = 0;     // page erase
    uint64_t programNs = 0;   // buffer to page, with its built-in erase
};

class DataFlash {
public:
    // Any device id is accepted (the chip reports it as given); the page
    // geometry follows the id: 0x25 264 × 4096, 0x26 528 × 4096,
    // 0x27 528 × 8192, 0x28 1056 × 8192, anything else 528 × 8192.
    DataFlash(uint8_t deviceId, FlashTiming timing);

    uint8_t DeviceId() const { return deviceId_; }
    uint32_t PageSize() const { return pageSize_; }
    uint32_t PageCount() const { return pageCount_; }
    uint32_t Size() const { return static_cast<uint32_t>(array_.size()); }

    // The bus. Control values other than 2 and 3 are ignored; data writes
    // without the chip selected are ignored and such reads give 0xFF. A
    // command ends only with a release: a select while selected changes
    // nothing, and an array command without data that gets bytes after its
    // address is dropped at the release.
    void WriteControl(uint32_t value, uint64_t nowNs);
    void WriteData(uint32_t value, uint64_t nowNs);
    uint8_t ReadData(uint64_t nowNs);

    bool Ready(uint64_t nowNs) const { return nowNs >= busyUntilNs_; }

    // The array behind the bus, by linear byte address taken modulo the
    // chip's size (the same wrap the chip's page numbers make).
    void ReadArray(uint32_t address, uint8_t* out, size_t count) const;
    void WriteArray(uint32_t address, const uint8_t* in, size_t count);

    // Keeps the array in a file from now on. A file that holds an image of
    // this chip's size is loaded; a missing or empty file gets the current
    // contents. A non-empty file of another size is refused (reported on
    // stderr) and not touched. False when the file is refused or can't be
    // read or written (the chip then works on without it).
    bool AttachFile(const std::string& path);

private:
    void Release(uint64_t nowNs);
    uint32_t PageOf(uint32_t field) const;
    uint32_t OffsetOf(uint32_t field) const;
    uint32_t AddressField() const;
    void ProgramPage(uint32_t page, const uint8_t* bytes);
    void ErasePage(uint32_t page);
    void Persist(uint32_t first, size_t count);

    uint8_t deviceId_;
    FlashTiming timing_;
    uint32_t pageSize_ = 528;
    uint32_t pageCount_ = 8192;
    uint32_t pageShift_ = 10;
    std::vector<uint8_t> array_;
    std::vector<uint8_t> buffer_;
    uint64_t busyUntilNs_ = 0;
    std::string file_;

    // The command in progress while the chip is selected.
    bool selected_ = false;
    bool ignored_ = false;          // came while busy, or got bytes past its address: not carried out
    uint8_t opcode_ = 0;
    uint32_t commandBytes_ = 0;     // opcode and address bytes taken so far
    uint8_t address_[3] = {0, 0, 0};
    uint32_t cursor_ = 0;           // next buffer or array byte
    uint32_t readCount_ = 0;        // bytes shifted out so far
};

}  // namespace drelm::emu
