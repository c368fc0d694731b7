// Flash steps shared by the table exports, with the decisions that keep a
// board's tables safe: a chip that doesn't identify is never written or
// trusted, and erasing a table's page never reaches a neighbouring table.
#pragma once

#include <cstdint>

namespace drelm::tsy {

// The channels whose tables a board keeps (its channel count, at most 64).
int32_t TableChannels(int32_t board);

// 0, or GenericError (-1) when no known chip answered.
int32_t IdentifyTableFlash(int32_t board);

// Makes a 528-byte table page read as erased. On a chip with 528-byte pages
// that is the chip's page erase; on the others a chip page holds half a
// table or two tables, so the table's own bytes are written as 0xFF. 0, or
// Timeout (-18) when the chip never gets ready.
int32_t EraseTablePage(int32_t board, uint32_t tablePage);

}  // namespace drelm::tsy
