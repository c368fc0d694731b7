#include "DataFlash.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace drelm::emu {
namespace {

constexpr uint32_t kSelect = 2;
constexpr uint32_t kRelease = 3;
constexpr uint8_t kManufacturer = 0x1F;
constexpr uint8_t kErased = 0xFF;

constexpr uint8_t kReadId = 0x9F;
constexpr uint8_t kStatus = 0xD7;
constexpr uint8_t kPageToBuffer = 0x53;
constexpr uint8_t kBufferToPage = 0x83;
constexpr uint8_t kPageErase = 0x81;
constexpr uint8_t kBufferWrite = 0x84;
constexpr uint8_t kProgramThroughBuffer = 0x82;
constexpr uint8_t kContinuousRead = 0x03;

struct Geometry {
    uint32_t pageSize;
    uint32_t pageCount;
    uint32_t pageShift;
    uint8_t densityCode;  // status bits 2-5
};

Geometry GeometryOf(uint8_t deviceId) {
    switch (deviceId) {
        case 0x25: return {264, 4096, 9, 0x9};
        case 0x26: return {528, 4096, 10, 0xB};
        case 0x28: return {1056, 8192, 11, 0xF};
        default: return {528, 8192, 10, 0xD};
    }
}

bool TakesAddress(uint8_t opcode) {
    return opcode == kPageToBuffer || opcode == kBufferToPage || opcode == kPageErase || opcode == kBufferWrite ||
           opcode == kProgramThroughBuffer || opcode == kContinuousRead;
}

}  // namespace

DataFlash::DataFlash(uint8_t deviceId, FlashTiming timing) : deviceId_(deviceId), timing_(timing) {
    const Geometry g = GeometryOf(deviceId);
    pageSize_ = g.pageSize;
    pageCount_ = g.pageCount;
    pageShift_ = g.pageShift;
    array_.assign(size_t{pageSize_} * pageCount_, kErased);
    buffer_.assign(pageSize_, kErased);
}

uint32_t DataFlash::AddressField() const {
    return (uint32_t{address_[0]} << 16) | (uint32_t{address_[1]} << 8) | address_[2];
}

uint32_t DataFlash::PageOf(uint32_t field) const { return (field >> pageShift_) % pageCount_; }

uint32_t DataFlash::OffsetOf(uint32_t field) const { return (field & ((1u << pageShift_) - 1)) % pageSize_; }

void DataFlash::WriteControl(uint32_t value, uint64_t nowNs) {
    if (value == kSelect) {
        // The chip select is already low: the command in progress goes on.
        if (selected_) return;
        selected_ = true;
        ignored_ = false;
        commandBytes_ = 0;
        readCount_ = 0;
        cursor_ = 0;
    } else if (value == kRelease) {
        if (selected_) Release(nowNs);
        selected_ = false;
    }
}

void DataFlash::WriteData(uint32_t value, uint64_t nowNs) {
    if (!selected_ || ignored_) return;
    const auto byte = static_cast<uint8_t>(value);
    if (commandBytes_ == 0) {
        opcode_ = byte;
        commandBytes_ = 1;
        // A busy chip answers only the status and identification commands.
        if (!Ready(nowNs) && opcode_ != kStatus && opcode_ != kReadId) ignored_ = true;
        return;
    }
    if (TakesAddress(opcode_) && commandBytes_ < 4) {
        address_[commandBytes_ - 1] = byte;
        ++commandBytes_;
        if (commandBytes_ == 4) {
            const uint32_t field = AddressField();
            if (opcode_ == kContinuousRead)
                cursor_ = PageOf(field) * pageSize_ + OffsetOf(field);
            else
                cursor_ = OffsetOf(field);  // buffer position for 0x84 and 0x82
        }
        return;
    }
    if ((opcode_ == kBufferWrite || opcode_ == kProgramThroughBuffer) && commandBytes_ == 4) {
        buffer_[cursor_] = byte;
        cursor_ = (cursor_ + 1) % pageSize_;  // the buffer wraps at its end
        return;
    }
    // An erase or transfer starts only when the release follows its last
    // address byte; one more byte and the chip drops the command.
    if (TakesAddress(opcode_) && opcode_ != kContinuousRead) ignored_ = true;
}

uint8_t DataFlash::ReadData(uint64_t nowNs) {
    if (!selected_ || ignored_) return kErased;
    const uint32_t index = readCount_++;
    switch (opcode_) {
        case kReadId: {
            static constexpr uint8_t kTail[] = {0x01, 0x00};
            if (index == 0) return kManufacturer;
            if (index == 1) return deviceId_;
            return index - 2 < sizeof kTail ? kTail[index - 2] : 0x00;
        }
        case kStatus: {
            const uint8_t ready = Ready(nowNs) ? 0x80 : 0x00;
            return static_cast<uint8_t>(ready | (GeometryOf(deviceId_).densityCode << 2));
        }
        case kContinuousRead: {
            if (commandBytes_ < 4) return kErased;
            const uint8_t byte = array_[cursor_];
            cursor_ = (cursor_ + 1) % Size();  // runs on across page ends
            return byte;
        }
        default: return kErased;
    }
}

void DataFlash::Release(uint64_t nowNs) {
    if (ignored_ || commandBytes_ < 4) return;
    const uint32_t page = PageOf(AddressField());
    switch (opcode_) {
        case kPageToBuffer:
            std::copy_n(array_.begin() + size_t{page} * pageSize_, pageSize_, buffer_.begin());
            busyUntilNs_ = nowNs + timing_.transferNs;
            break;
        case kBufferToPage:
        case kProgramThroughBuffer:
            ProgramPage(page, buffer_.data());
            busyUntilNs_ = nowNs + timing_.programNs;
            break;
        case kPageErase:
            ErasePage(page);
            busyUntilNs_ = nowNs + timing_.eraseNs;
            break;
        default: break;
    }
}

void DataFlash::ProgramPage(uint32_t page, const uint8_t* bytes) {
    std::copy_n(bytes, pageSize_, array_.begin() + size_t{page} * pageSize_);
    Persist(page * pageSize_, pageSize_);
}

void DataFlash::ErasePage(uint32_t page) {
    std::fill_n(array_.begin() + size_t{page} * pageSize_, pageSize_, kErased);
    Persist(page * pageSize_, pageSize_);
}

void DataFlash::ReadArray(uint32_t address, uint8_t* out, size_t count) const {
    size_t at = address % Size();
    for (size_t i = 0; i < count; ++i) {
        out[i] = array_[at];
        at = (at + 1) % Size();
    }
}

void DataFlash::WriteArray(uint32_t address, const uint8_t* in, size_t count) {
    if (count == 0) return;
    const uint32_t start = address % Size();
    size_t at = start;
    for (size_t i = 0; i < count; ++i) {
        array_[at] = in[i];
        at = (at + 1) % Size();
    }
    if (start + count <= Size()) {
        Persist(start, count);
    } else {
        Persist(0, Size());
    }
}

bool DataFlash::AttachFile(const std::string& path) {
    file_.clear();
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size == Size()) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> image(Size());
        if (in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()))) {
            array_ = std::move(image);
            file_ = path;
            return true;
        }
        return false;
    }
    // A file that holds something else (another chip's image, uploaded tables
    // of another board, an unrelated file) is left alone.
    if (!error && size != 0) {
        std::cerr << "DrelmComm emulator: the flash file " << path << " holds " << size
                  << " bytes, not the chip's " << Size() << "; it is left untouched\n";
        return false;
    }
    // No image of this chip yet: start the file from the present contents.
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(array_.data()), static_cast<std::streamsize>(array_.size())))
        return false;
    file_ = path;
    return true;
}

void DataFlash::Persist(uint32_t first, size_t count) {
    if (file_.empty()) return;
    std::fstream io(file_, std::ios::binary | std::ios::in | std::ios::out);
    if (!io) return;  // the file went away: the chip keeps working from memory
    io.seekp(first);
    io.write(reinterpret_cast<const char*>(array_.data() + first), static_cast<std::streamsize>(count));
}

}  // namespace drelm::emu
