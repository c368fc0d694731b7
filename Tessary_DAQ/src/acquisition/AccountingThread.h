// A second processor for the accounting. Filling the spectra is the run
// loop's largest work per byte read; this thread takes a batch's counters
// and spectra while the loop goes on with the same batch's list lines and
// file writes and with the next board's transfer and decoding. When the
// thread is still busy with another board's batch, the loop accounts the
// new one itself: both processors fill spectra while data come fast, and
// no batch waits for a processor while another one idles.
//
// A board's batches are accounted in their order, one at a time. Until
// Wait returns, the caller leaves alone what a batch in hand touches: the
// board's counters and totals (it may read the batch's events and the
// buffer they point into, which the thread only reads).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "DrelmTessaryLib.h"

namespace tessary {

class AccountingThread {
public:
    struct Batch {
        int board = -1;
        uint32_t bytes = 0;
        const EventRecord* events = nullptr;
        uint32_t count = 0;
        int channelCount = 0;
    };
    using Work = void (*)(void* context, const Batch& batch);

    AccountingThread() = default;
    ~AccountingThread() { Stop(); }
    AccountingThread(const AccountingThread&) = delete;
    AccountingThread& operator=(const AccountingThread&) = delete;

    // Starts the thread that does `work` for the batches it takes. False
    // when no thread is to be had: Submit then always does the work itself.
    bool Start(Work work, void* context);
    // Waits for the batch in hand and ends the thread. Safe more than once.
    void Stop();

    // Hands the batch to the thread when it is free (after the batch in
    // hand, if that is the same board's); does the work here while the
    // thread is busy with another board's.
    void Submit(const Batch& batch);
    // Returns once the batch in hand, if any, is done.
    void Wait();
    // The board and the events of the batch in hand: -1 and null for none.
    int BoardInHand() const { return inHand_.board; }
    const EventRecord* EventsInHand() const { return inHand_.events; }

private:
    void Run();

    Work work_ = nullptr;
    void* context_ = nullptr;
    Batch inHand_;  // the caller's view: set when handed over, cleared by Wait
    std::mutex mutex_;
    std::condition_variable handed_, done_;
    Batch batch_;
    bool pending_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tessary
