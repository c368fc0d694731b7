// Loading the calibration tables into the board, from the flash or straight
// from the text files. Each table entry is one load word written to the
// load register of the channel's group, 32 words to a list write.
#include <cstdio>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "DrelmComm.h"
#include "Flash.h"
#include "RegisterAccess.h"
#include "Staircase.h"
#include "TableFile.h"
#include "TableFlash.h"
#include "TableLayout.h"

using namespace drelm::tsy;

namespace {

// Collects load words for one channel and sends them 32 at a time. Once a
// list write fails, nothing more is sent.
class LoadBatch {
public:
    LoadBatch(int32_t linkHandle, int channel) : link_(linkHandle) {
        for (uint32_t& address : addresses_) address = CalibrationLoadRegister(channel);
    }

    void Add(uint32_t word) {
        words_[count_++] = word;
        if (count_ == kLoadBatch) {
            if (!failed_) failed_ = LinkWriteRegisters(link_, addresses_, kLoadBatch, words_, statuses_) != 0;
            count_ = 0;
        }
    }
    bool Failed() const { return failed_; }

private:
    int32_t link_;
    uint32_t addresses_[kLoadBatch];
    uint32_t words_[kLoadBatch];
    int32_t statuses_[kLoadBatch];
    uint32_t count_ = 0;
    bool failed_ = false;
};

}  // namespace

extern "C" {

int32_t DRELM_TSY_LoadCalibration(int32_t handle) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        uint32_t loaded = 0;
        if (BoardReadRegister(handle, kCalibrationLoaded, &loaded) != 0) return DRELM_TSY_ReadFailed;
        if (loaded & 1u) return DRELM_TSY_Success;
        {
            // Tables from a flash that can't be read would be garbage in the board.
            const auto session = FlashSession();
            if (IdentifyTableFlash(handle) != 0) return DRELM_TSY_GenericError;
        }
        const int32_t link = Board(handle).linkHandle;
        const int32_t channels = TableChannels(handle);
        uint8_t page[kFlashReadLength];
        for (int sign : {kSignNeg, kSignPos}) {
            for (int kind : {kKindDacDU, kKindDacUD}) {
                for (int ch = 0; ch < channels; ++ch) {
                    {
                        // The flash is held for the page read only, so that boards
                        // load side by side: the load words, most of the time, need
                        // no flash. Another board's job may have identified its own
                        // chip meanwhile: then this one is identified again.
                        const auto session = FlashSession();
                        if (!FlashIdentifiedFor(handle) && IdentifyTableFlash(handle) != 0)
                            return DRELM_TSY_GenericError;
                        if (FlashReadPage(handle, CalibrationAddress(sign, kind, ch), page) != 0)
                            return DRELM_TSY_GenericError;
                    }
                    LoadBatch batch(link, ch);
                    DecodeStaircase(page, sign, [&](uint32_t entry, uint32_t value) {
                        batch.Add(LoadWord(entry, kind, sign, ch, value));
                    });
                    if (batch.Failed()) return DRELM_TSY_WriteFailed;
                }
            }
        }
        return BoardSetBits(handle, kCalibrationLoaded, 1u);
    });
}

int32_t DRELM_TSY_LoadCalibrationFromFiles(int32_t handle, const char* directory) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        if (directory == nullptr) return DRELM_TSY_InvalidParam;
        const int32_t link = Board(handle).linkHandle;
        const int32_t channels = TableChannels(handle);
        for (int sign : {kSignNeg, kSignPos}) {
            for (int kind : {kKindDacDU, kKindDacUD}) {
                for (int ch = 0; ch < channels; ++ch) {
                    const std::string path = CalibrationFilePath(directory, kind, ch, sign);
                    TableFile file;
                    if (!file.Open(path)) {
                        std::printf("Warning: %s calib file for channel %d does not exist\n", path.c_str(), ch);
                        continue;
                    }
                    LoadBatch batch(link, ch);
                    // A line without a number repeats the value before it.
                    uint16_t value = 0;
                    for (uint32_t line = 0; file.NextLine(); ++line) {
                        if (line == kTableEntries) {
                            std::printf("more than 4096 lines in a DAC config file\n");
                            break;
                        }
                        value = ParseCalibrationValue(file.Text()).value_or(value);
                        batch.Add(LoadWord(line, kind, sign, ch, value));
                    }
                    if (batch.Failed()) return DRELM_TSY_WriteFailed;
                }
            }
        }
        return DRELM_TSY_Success;
    });
}

}  // extern "C"
