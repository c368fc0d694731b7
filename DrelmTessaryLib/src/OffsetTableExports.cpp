// The offset table: two 16-bit DC offsets per group, NEG and POS, stored as
// 32 bytes at the start of the offset page and loaded into the groups'
// DC-offset registers.
#include <array>
#include <cstdio>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "Flash.h"
#include "GroupIdle.h"
#include "RegisterAccess.h"
#include "Sleep.h"
#include "TableFile.h"
#include "TableFlash.h"
#include "TableLayout.h"

using namespace drelm::tsy;

extern "C" {

int32_t DRELM_TSY_UploadOffsetToFlash(int32_t handle, const char* directory) {
    return Guarded([&]() -> int32_t {
        std::array<uint8_t, kTablePageSize> image{};
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        if (directory == nullptr) return DRELM_TSY_InvalidParam;
        const auto session = FlashSession();
        if (IdentifyTableFlash(handle) != 0) return DRELM_TSY_GenericError;
        if (const int32_t status = EraseTablePage(handle, kOffsetTablePage); status != 0) return status;
        for (int sign : {kSignNeg, kSignPos}) {
            const std::string path = OffsetFilePath(directory, sign);
            TableFile file;
            if (!file.Open(path)) {
                std::printf("Warning: %s offset file does not exist, related offsets will be set to 0\n", path.c_str());
                continue;
            }
            // A line without a number repeats the value before it.
            uint16_t value = 0;
            for (int group = 0; group < kGroupsInOffsetTable && file.NextLine(); ++group) {
                value = ParseOffsetValue(file.Text()).value_or(value);
                image[4 * group + 2 * sign] = static_cast<uint8_t>(value & 0xFF);
                image[4 * group + 2 * sign + 1] = static_cast<uint8_t>(value >> 8);
            }
        }
        return FlashWrite(handle, kOffsetTableAddress, image.data(), kOffsetTableBytes);
    });
}

int32_t DRELM_TSY_LoadOffset(int32_t handle) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        std::array<uint8_t, kFlashReadLength> page{};
        {
            const auto session = FlashSession();
            // Offsets from a flash that can't be read would be garbage in the DACs.
            if (IdentifyTableFlash(handle) != 0) return DRELM_TSY_GenericError;
            if (FlashReadPage(handle, kOffsetTableAddress, page.data()) != 0) return DRELM_TSY_GenericError;
        }
        const int32_t groups = TableChannels(handle) / 8;
        for (int32_t g = 0; g < groups; ++g) {
            if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
            const uint32_t word = uint32_t{page[4 * g]} | (uint32_t{page[4 * g + 1]} << 8) |
                                  (uint32_t{page[4 * g + 2]} << 16) | (uint32_t{page[4 * g + 3]} << 24);
            // A group still busy from an earlier offset write would drop this one.
            const int32_t written = WhenGroupIdle(handle, GroupStatusRegister(g),
                                                  [&] { return BoardWriteRegister(handle, DcOffsetRegister(g), word); });
            if (written != 0) return DRELM_TSY_GenericError;
            SleepMs(10);
        }
        return DRELM_TSY_Success;
    });
}

}  // extern "C"
