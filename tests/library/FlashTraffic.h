// Expected flash traffic for the library tests: the chip's commands as the
// register accesses that carry them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "EmulatedBoards.h"
#include "Flash.h"

namespace tessary_test {

// The chip's 24-bit address field of a page and offset.
inline uint32_t Field(uint32_t page, uint32_t offset, uint32_t pageShift) { return (page << pageShift) | offset; }

inline std::vector<Expect> Cat(std::initializer_list<std::vector<Expect>> parts) {
    std::vector<Expect> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline std::vector<Expect> Select() { return {Write(drelm::tsy::kFlashControl, 2)}; }
inline std::vector<Expect> Release() { return {Write(drelm::tsy::kFlashControl, 3)}; }

// Select, the opcode and, when given, the three address bytes.
inline std::vector<Expect> Opcode(uint8_t opcode, std::optional<uint32_t> field = std::nullopt) {
    std::vector<Expect> out = Select();
    out.push_back(Write(drelm::tsy::kFlashData, opcode));
    if (field) {
        out.push_back(Write(drelm::tsy::kFlashData, (*field >> 16) & 0xFF));
        out.push_back(Write(drelm::tsy::kFlashData, (*field >> 8) & 0xFF));
        out.push_back(Write(drelm::tsy::kFlashData, *field & 0xFF));
    }
    return out;
}

// A ready wait: the status command with one read (see OneStatusReadPerWait).
inline std::vector<Expect> Wait() { return Cat({Opcode(0xD7), {Read(drelm::tsy::kFlashData)}, Release()}); }

// A page command (0x53, 0x83, 0x81) and its ready wait.
inline std::vector<Expect> PageCommand(uint8_t opcode, uint32_t page, uint32_t pageShift) {
    return Cat({Opcode(opcode, Field(page, 0, pageShift)), Release(), Wait()});
}

inline std::vector<Expect> ListWrites(const uint8_t* bytes, size_t count) {
    std::vector<Expect> out;
    for (size_t i = 0; i < count; ++i) out.push_back({Op::WriteRegisters, drelm::tsy::kFlashData, bytes[i]});
    return out;
}

inline std::vector<Expect> ListReads(size_t count) {
    return std::vector<Expect>(count, Expect{Op::ReadRegisters, drelm::tsy::kFlashData});
}

// The merge of a chunk into a page: page to buffer, buffer write, buffer to
// page, then FlashWrite's own wait.
inline std::vector<Expect> MergeChunk(uint32_t page, uint32_t offset, const uint8_t* bytes, size_t count,
                                      uint32_t pageShift) {
    return Cat({PageCommand(0x53, page, pageShift), Opcode(0x84, offset), ListWrites(bytes, count), Release(),
                PageCommand(0x83, page, pageShift), Wait()});
}

// A ready wait polls the status as long as the chip is busy, which depends
// on emulated time; the tests keep the last (ready) read of each wait.
inline std::vector<Access> OneStatusReadPerWait(const std::vector<Access>& traffic) {
    std::vector<Access> out;
    bool inStatus = false;
    for (const Access& a : traffic) {
        const bool statusRead = inStatus && a.op == Op::ReadRegister && a.address == drelm::tsy::kFlashData;
        if (statusRead && !out.empty() && out.back().op == Op::ReadRegister &&
            out.back().address == drelm::tsy::kFlashData) {
            out.back() = a;
            continue;
        }
        if (a.op == Op::WriteRegister && a.address == drelm::tsy::kFlashControl) inStatus = false;
        if (a.op == Op::WriteRegister && a.address == drelm::tsy::kFlashData && a.value == 0xD7 && !out.empty() &&
            out.back().op == Op::WriteRegister && out.back().address == drelm::tsy::kFlashControl &&
            out.back().value == 2)
            inStatus = true;
        out.push_back(a);
    }
    return out;
}

}  // namespace tessary_test
