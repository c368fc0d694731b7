// Where a board sits: which parts of a LinkOpen call name the board, and
// which are ignored, so that one board has one identity however it is named.
//
//   type 0 (USB):          link number; node and base address ignored
//   type 1 (optical/PCI):  link number and node 0-7 (daisy chain); base ignored
//   type 5 (USB adapter):  link number and node 0-7 (daisy chain); base ignored
//   type 6 (Ethernet):     host name (compared without case); link, node, base ignored
//   type 7 (USB-VME):      link number and base address; node ignored
#pragma once

#include <cstdint>
#include <string>

#include "DrelmEmulator.h"

namespace drelm::emu {

constexpr int32_t kMaxChainNode = 7;
constexpr std::size_t kMaxHostNameLength = 255;

bool IsSupportedConnectionType(int32_t connectionType);

// The canonical form of an address (ignored parts zeroed, host lower case).
BoardAddress NormalizedAddress(const BoardAddress& address);

// 0, or the status LinkOpen gives for this address (-4 type, -5 link/node).
// The host is not checked here (see BoardRegistry::IsKnownHost).
int32_t CheckAddress(const BoardAddress& address);

// "a.b.c.d" with four decimal parts 0-255.
bool IsDottedQuad(const std::string& host);

struct AddressOrder {
    bool operator()(const BoardAddress& a, const BoardAddress& b) const;
};

}  // namespace drelm::emu
