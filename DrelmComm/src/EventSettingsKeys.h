// The settings file's keys for event data, link timing and the delivery
// log, kept apart from the board-identity keys of SettingsFile.cpp.
#pragma once

#include <optional>
#include <string>

#include "DrelmEmulator.h"

namespace drelm::emu {

// Applies `name = value` when `name` is one of these keys: the error text,
// empty on success. Nothing when the key is not one of them.
std::optional<std::string> ApplyEventKey(BoardConfig& config, const std::string& name, const std::string& value);

}  // namespace drelm::emu
