#include "PlotSelection.h"

namespace tessary {

int PlottedBoard(const DaqConfig& config) { return config.boardCount > 0 ? config.plotBoard % config.boardCount : 0; }

int PlottedGroups(const DaqConfig& config) {
    const int channels = config.boards[PlottedBoard(config)].channelCount;
    return channels > 0 && channels <= kMaxChannels ? channels / kChannelsPerGroup : kGroupsPerBoard;
}

int EffectiveGroup(const DaqConfig& config) { return config.plotGroup % PlottedGroups(config); }

}  // namespace tessary
