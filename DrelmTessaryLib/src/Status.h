// Status codes and the translation of link statuses.
#pragma once

#include <cstdint>

#include "DrelmTessaryLib.h"

namespace drelm::tsy {

// Translates a link status, or an internal ReadFailed/WriteFailed passed as
// one, into a LibStatus.
int32_t MapLinkStatus(int32_t linkStatus);

// Short name of a LibStatus, for messages and tests ("InvalidHandle").
const char* StatusName(int32_t status);

}  // namespace drelm::tsy
