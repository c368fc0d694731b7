#include "BoardCounters.h"

#include <algorithm>
#include <new>

namespace tessary {

int AllocCounterSpectra(BoardCounters& counters) {
    constexpr std::size_t kBins = std::size_t{kMaxChannels} * kSpectrumBins;
    counters.spectra.reset(new (std::nothrow) double[kBins]);
    if (!counters.spectra) return 1;
    std::fill_n(counters.spectra.get(), kBins, 0.0);
    for (int ch = 0; ch < kMaxChannels; ++ch) counters.spectrum[ch] = counters.spectra.get() + std::size_t{kSpectrumBins} * ch;
    return 0;
}

int ResetCounters(BoardCounters& c) {
    c.eventsProcessed = 0;
    c.eventsWithoutPileUp = 0;
    c.pileUpEvents = 0;
    c.triggerCount = 0;
    c.lastTimestamp = 0;
    std::fill(std::begin(c.channelHits), std::end(c.channelHits), 0u);
    std::fill(std::begin(c.channelSaturated), std::end(c.channelSaturated), 0u);
    if (c.spectra) std::fill_n(c.spectra.get(), std::size_t{kMaxChannels} * kSpectrumBins, 0.0);
    return 0;
}

void TakeSnapshot(const BoardCounters& current, BoardCounters& previous) {
    previous.eventsProcessed = current.eventsProcessed;
    previous.eventsWithoutPileUp = current.eventsWithoutPileUp;
    previous.pileUpEvents = current.pileUpEvents;
    previous.readoutBytes = current.readoutBytes;
    previous.triggerCount = current.triggerCount;
    previous.lastTimestamp = current.lastTimestamp;
    std::copy(std::begin(current.channelHits), std::end(current.channelHits), std::begin(previous.channelHits));
    std::copy(std::begin(current.channelSaturated), std::end(current.channelSaturated),
              std::begin(previous.channelSaturated));
}

}  // namespace tessary
