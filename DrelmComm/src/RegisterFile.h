// The board's read/write register storage: which addresses exist, which
// may be read or written over the link, how many bits each keeps, and the
// power-on values. Behaviour that depends on time or causes side effects
// (status bits, resets, triggers, the flash chip) belongs to Board.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "RegisterMap.h"

namespace drelm::emu {

enum class RegisterAccess { ReadWrite, ReadOnly, WriteOnly };

struct RegisterLocation {
    bool exists = false;
    std::optional<uint32_t> group;  // set for addresses in a group block
    uint32_t offset = 0;            // offset inside the group block
};

class RegisterFile {
public:
    explicit RegisterFile(uint32_t groups);

    // Any aligned address of the mapped ranges (RegisterMap.h) except the ROM.
    RegisterLocation Locate(uint32_t address) const;
    static RegisterAccess AccessOf(const RegisterLocation& where, uint32_t address);

    // The caller has checked that the address exists.
    uint32_t Stored(uint32_t address) const { return *Slot(address); }
    // Keeps only the register's own bits (see WidthMask).
    void Store(uint32_t address, uint32_t value);

    // Every register back to its power-on value.
    void PowerOn();

    uint32_t groups() const { return groups_; }
    // Counts every store and power-on, so that what is worked out from the
    // registers can be kept until they change.
    uint64_t Changes() const { return changes_; }

private:
    static uint32_t WidthMask(uint32_t address);
    uint32_t* Slot(uint32_t address);
    const uint32_t* Slot(uint32_t address) const;

    uint32_t groups_;
    uint64_t changes_ = 0;
    std::array<uint32_t, reg::kMaxGroups * reg::kGroupBlockSize / 4> group_{};
    std::array<uint32_t, (reg::kBoardEnd - reg::kBoardBase) / 4> board_{};
    std::array<uint32_t, (reg::kControlEnd - reg::kControlBase) / 4> control_{};
};

}  // namespace drelm::emu
