#include "BoardSetup.h"

#include "DrelmTessaryLib.h"
#include "PrintableText.h"

namespace tessary {

int OpenBoards(std::FILE* out, int32_t* handles, const DaqConfig& config) {
    for (int i = 0; i < config.boardCount; ++i) {
        const BoardSettings& b = config.boards[i];
        std::fprintf(out, "Board %d: ", i);
        const int32_t link = b.linkNumber;
        const void* linkArg = &link;
        if (b.connectionType == kConnectionEthR330) {
            std::fprintf(out, "hostname: %s;", Printable(b.hostName).c_str());
            linkArg = b.hostName;
        } else {
            std::fprintf(out, "link ID: %d;", b.linkNumber);
        }
        std::fprintf(out, " Node ID: %d; Base Address: %x\n", b.nodeNumber, b.baseAddress);
        std::fflush(out);
        if (DRELM_TSY_OpenTessary2(b.connectionType, linkArg, b.nodeNumber, b.baseAddress, &handles[i]) != 0)
            return 1;
    }
    return 0;
}

int32_t ProgramBoard(std::FILE* out, int32_t handle, BoardSettings& s) {
    int32_t result = DRELM_TSY_Reset(handle);
    result |= DRELM_TSY_SetIOLevel(handle, s.ioLevel);
    result |= DRELM_TSY_SetAcquisitionMode(handle, 0);
    result |= DRELM_TSY_SetSWTriggerMode(handle, 1);
    result |= DRELM_TSY_SetExtTriggerInputMode(handle, 1);
    result |= DRELM_TSY_SetRecordLength(handle, s.triggerMode != 0 ? 1 : s.gateWidth);
    result |= s.slidingScale != 0 ? DRELM_TSY_SlScaleEnable(handle) : DRELM_TSY_SlScaleDisable(handle);
    result |= DRELM_TSY_SetTriggerMode(handle, s.triggerMode);
    result |= DRELM_TSY_SetChMode(handle, static_cast<uint32_t>(s.spectrumShift));
    result |= s.zsEnable != 0 ? DRELM_TSY_ZSEnable(handle) : DRELM_TSY_ZSDisable(handle);
    result |= DRELM_TSY_SetPolarity(handle, static_cast<uint32_t>(s.polarity));
    result |= DRELM_TSY_SetInputRange(handle, static_cast<uint32_t>(s.inputRange));
    result |= DRELM_TSY_GetMaxChannels(handle, &s.channelCount);
    // A board that reports no sensible count is programmed as it would be read: not at all.
    const int groups = s.channelCount > 0 && s.channelCount <= kMaxChannels ? s.channelCount / kChannelsPerGroup : 0;
    for (int g = 0; g < groups; ++g) {
        result |= DRELM_TSY_SetGroupZSThreshold(handle, static_cast<uint32_t>(g), s.zsThreshold[g]);
        result |= DRELM_TSY_SetChannelEnableMask(handle, g, s.groupEnableMask[g]);
    }
    if (result != 0) std::fputs("Errors found during the programming of the digitizer\n", out);
    return result;
}

}  // namespace tessary
