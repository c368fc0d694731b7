// What a run acquired from each board over all its periods of acquisition:
// the totals of the run summary, which must agree with the output files,
// and what the presets compare with. The statistics' counters restart at
// every start and reset; these do not.
//
// Per batch the work is a subtraction per event (the trigger-index gaps),
// and the saturated words of the blocks that the accounting leaves out
// (pile-up); the event, pile-up and other saturation counts are the
// accounting's own, taken as the difference its batch made.
#pragma once

#include <cstdint>
#include <vector>

#include "BoardCounters.h"
#include "DrelmTessaryLib.h"
#include "RunSummary.h"

namespace tessary {

// The accounting's counters before a batch, to take its difference.
struct BatchMark {
    uint32_t events = 0;
    uint32_t pileUp = 0;
    uint32_t saturated = 0;  // over all channels

    static BatchMark Of(const BoardCounters& counters);
};

class RunTotals {
public:
    void Resize(int boards);
    int Boards() const { return static_cast<int>(boards_.size()); }
    const BoardTotals& Board(int board) const { return boards_[board].totals; }

    // After UpdateBatchCounters of board k (with its channel count), with
    // the mark taken before it.
    void AddBatch(int board, uint32_t bytes, const EventRecord* events, uint32_t count, const BatchMark& before,
                  const BoardCounters& after, int channelCount);

    // The acquisition started or stopped on every board: the boards' trigger
    // indexes start again from 0, and their time counters are read.
    void Started(const int32_t* handles);
    void Stopped(const int32_t* handles);
    // While acquiring: reads every board's time counters and adds what they
    // advanced since the last good reading. The 32-bit counters wrap after
    // about 26 days, so this must come more often than that; a failed read
    // adds nothing and the next good one makes up for it, and a total and a
    // dead time are only taken as a pair, so that live time is never made up.
    void Poll(const int32_t* handles);

    // The board's time over the run's periods of acquisition, as far as its
    // counters have been read.
    using Times = tessary::BoardTimes;
    Times BoardTimes(int board) const;

private:
    struct Entry {
        BoardTotals totals;
        uint32_t nextIndex = 0;
        bool haveReading = false;  // since the period's start
        uint32_t lastTotal = 0;
        uint32_t lastDead = 0;
    };
    std::vector<Entry> boards_;
    bool running_ = false;
};

}  // namespace tessary
