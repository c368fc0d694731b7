// Storing every calibration table of a board from its text files into the
// flash, one table per 528-byte page in the staircase coding.
#include <cstdio>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "Flash.h"
#include "Staircase.h"
#include "TableFile.h"
#include "TableFlash.h"
#include "TableLayout.h"

using namespace drelm::tsy;

namespace {

// The table's page image from its file; false when the file can't be opened.
bool EncodeFile(const std::string& path, int sign, StaircasePage* page) {
    TableFile file;
    if (!file.Open(path)) return false;
    StaircaseEncoder encoder(sign);
    // A line without a number repeats the value before it.
    uint16_t value = 0;
    for (int line = 0; line < kTableEntries && file.NextLine(); ++line) {
        value = ParseCalibrationValue(file.Text()).value_or(value);
        encoder.Add(value);
    }
    *page = encoder.Page();
    return true;
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_UploadCalibToFlash(int32_t handle, const char* directory) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        if (directory == nullptr) return DRELM_TSY_InvalidParam;
        const auto session = FlashSession();
        if (IdentifyTableFlash(handle) != 0) return DRELM_TSY_GenericError;
        const int32_t channels = TableChannels(handle);
        for (int sign : {kSignNeg, kSignPos}) {
            for (int kind : {kKindDacDU, kKindDacUD}) {
                for (int ch = 0; ch < channels; ++ch) {
                    if (const int32_t status = EraseTablePage(handle, CalibrationPage(sign, kind, ch)); status != 0)
                        return status;
                    const std::string path = CalibrationFilePath(directory, kind, ch, sign);
                    StaircasePage page{};
                    if (!EncodeFile(path, sign, &page)) {
                        std::printf(
                            "Warning: %s calib file for channel %d does not exist, related calibrations will be set "
                            "to 0\n",
                            path.c_str(), ch);
                    }
                    const int32_t status = FlashWrite(handle, CalibrationAddress(sign, kind, ch), page.data(),
                                                      static_cast<uint16_t>(page.size()));
                    if (status != 0) return status;
                }
            }
        }
        return DRELM_TSY_Success;
    });
}

}  // extern "C"
