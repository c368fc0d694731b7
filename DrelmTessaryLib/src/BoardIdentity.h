// Identification of a board: the forms table, the model table, the release
// texts and the board-information record filled at open.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DrelmTessaryLib.h"

namespace drelm::tsy {

struct BoardEntry;

// Sets formIndex, channelCount and groupCount from familyCode and formCode.
void ApplyBoardForm(BoardEntry& entry);

// "M310" ... for model codes 0x5500 to 0x5503, "UNKNOWN" otherwise.
const char* ModelName(uint32_t modelCode);

// "%02d.%02d - Build %04X" of a revision register, cut to fit `size` bytes
// (always NUL-terminated).
void FormatRelease(uint32_t revision, char* text, size_t size);

// Probes the groups' AMC revision registers in order and returns 0 with the
// first revision whose bits 16-31 are not zero, or GenericError when no
// group answers with one. Only the board's own groups are probed.
int32_t ProbeAmcRevision(int32_t board, uint32_t* revision);

// Fills the board-information record of an entry whose identification
// fields are set. 0, ReadFailed or GenericError.
int32_t FillBoardInfo(int32_t board, BoardInfo* info);

}  // namespace drelm::tsy
