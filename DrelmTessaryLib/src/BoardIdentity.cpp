#include "BoardIdentity.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "BoardTable.h"
#include "DrelmComm.h"
#include "RegisterAccess.h"

namespace drelm::tsy {
namespace {

constexpr uint32_t kBoardInfoRegister = 0x8140;
constexpr uint32_t kRocRevision = 0x8124;
constexpr uint32_t kAmcRevisionOffset = 0x8C;
constexpr uint32_t kRomModelHigh = 0xF030;
constexpr uint32_t kRomModelLow = 0xF034;
constexpr uint32_t kRomSerialHigh = 0xF080;
constexpr uint32_t kRomSerialLow = 0xF084;
constexpr uint32_t kRomCode32[4] = {0xF040, 0xF044, 0xF048, 0xF04C};
constexpr int32_t kLinkInfoQuery = 5;
constexpr uint32_t kFamilyConstant = 12;
constexpr size_t kModelNameChars = 9;

}  // namespace

void ApplyBoardForm(BoardEntry& entry) {
    if (entry.familyCode != kFamilyCode) return;
    switch (entry.formCode) {
        case 0:
        case 1:
            entry.formIndex = 0;
            entry.channelCount = 64;
            entry.groupCount = 8;
            break;
        case 2:
        case 3:
            entry.formIndex = entry.formCode;
            entry.channelCount = 32;
            entry.groupCount = 4;
            break;
        default:
            break;
    }
}

const char* ModelName(uint32_t modelCode) {
    switch (modelCode) {
        case 0x5500: return "M310";
        case 0x5501: return "ME310";
        case 0x5502: return "MB310";
        case 0x5503: return "MR310";
        default: return "UNKNOWN";
    }
}

void FormatRelease(uint32_t revision, char* text, size_t size) {
    if (size == 0) return;
    // Room for the longest text ("255.255 - Build FFFF"); a field too short
    // for it keeps the leading characters.
    char full[32];
    std::snprintf(full, sizeof full, "%02u.%02u - Build %04X", (revision >> 8) & 0xFFu, revision & 0xFFu,
                  (revision >> 16) & 0xFFFFu);
    const size_t length = std::min(std::strlen(full), size - 1);
    std::memcpy(text, full, length);
    text[length] = '\0';
}

int32_t ProbeAmcRevision(int32_t board, uint32_t* revision) {
    // Bounded by the board's own groups: registers past the last group do
    // not exist, and past group 15 the address would wrap onto group 0.
    const int32_t groups = Board(board).groupCount;
    for (int32_t g = 0; g < groups; ++g) {
        uint32_t value = 0;
        if (BoardReadRegister(board, GroupRegister(static_cast<uint32_t>(g), kAmcRevisionOffset), &value) == 0 &&
            (value >> 16) != 0) {
            *revision = value;
            return DRELM_TSY_Success;
        }
    }
    return DRELM_TSY_GenericError;
}

int32_t FillBoardInfo(int32_t board, BoardInfo* info) {
    BoardEntry& entry = Board(board);
    info->linkHandle = entry.linkHandle;
    LinkQueryInfo(entry.linkHandle, kLinkInfoQuery, info->linkInfo);

    uint32_t value = 0;
    if (BoardReadRegister(board, kBoardInfoRegister, &value) != 0) return DRELM_TSY_ReadFailed;
    info->boardInfoByte2 = (value >> 16) & 0xFFu;

    uint32_t high = 0;
    uint32_t low = 0;
    if (BoardReadRegister(board, kRomModelHigh, &high) != 0 || BoardReadRegister(board, kRomModelLow, &low) != 0)
        return DRELM_TSY_ReadFailed;
    const char* name = ModelName(((high & 0xFFu) << 8) | (low & 0xFFu));
    std::memset(info->modelName, 0, sizeof info->modelName);
    std::strncpy(info->modelName, name, kModelNameChars);

    if (entry.familyCode == kFamilyCode) info->familyConstant = kFamilyConstant;

    if (BoardReadRegister(board, kRocRevision, &value) != 0) return DRELM_TSY_GenericError;
    FormatRelease(value, info->rocRelease, sizeof info->rocRelease);

    if (ProbeAmcRevision(board, &value) != 0) return DRELM_TSY_GenericError;
    FormatRelease(value, info->amcRelease, sizeof info->amcRelease);

    if (BoardReadRegister(board, kRomSerialHigh, &high) != 0 || BoardReadRegister(board, kRomSerialLow, &low) != 0)
        return DRELM_TSY_GenericError;
    info->romCode16 = (high & 0xFFu) * 256u + (low & 0xFFu);
    uint32_t code32 = 0;
    for (uint32_t address : kRomCode32) {
        if (BoardReadRegister(board, address, &value) != 0) return DRELM_TSY_GenericError;
        code32 = (code32 << 8) | (value & 0xFFu);
    }
    info->romCode32 = code32;

    info->formCode = static_cast<uint32_t>(entry.formCode);
    info->familyCode = static_cast<uint32_t>(entry.familyCode);
    info->formIndex = entry.formIndex;
    return DRELM_TSY_Success;
}

}  // namespace drelm::tsy
