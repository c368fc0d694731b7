// Which board and group the plot and the statistics table show. The keys
// and the configuration may leave the selection beyond a board's groups (a
// board change, a group number of 8 or more): these bring it into range, so
// that nothing reads outside a board's 64 channels and 8 group masks.
#pragma once

#include "DaqConfig.h"

namespace tessary {

// The plotted board, within the configured boards (0 when there are none).
int PlottedBoard(const DaqConfig& config);

// The plotted board's groups; a board that reported no sensible channel
// count counts as a full one.
int PlottedGroups(const DaqConfig& config);

// The plotted group, brought into the plotted board's groups.
int EffectiveGroup(const DaqConfig& config);

}  // namespace tessary
