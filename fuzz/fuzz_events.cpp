// Fuzz target for the event decoder: the input, as whole 32-bit words, in a
// buffer of exactly that many words. Whatever the words hold, decoding must
// stay inside them and inside the 1023 records, and every amplitude pointer
// it hands out must point at amplitudes inside the buffer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "DrelmTessaryLib.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

// The decoder prints every word of a malformed buffer to standard output,
// and nearly every fuzz input is malformed: a long run would fill the disk.
// Standard output goes to /dev/null once, before the first input; the
// fuzzer's own messages go to standard error and stay.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDOUT_FILENO) < 0) {
        std::perror("fuzz_events: standard output to /dev/null");
        std::abort();
    }
    if (null != STDOUT_FILENO) close(null);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t words = size / 4;
    if (words > UINT32_MAX) return 0;
    std::unique_ptr<uint32_t[]> buffer(new uint32_t[words]);
    if (words != 0) std::memcpy(buffer.get(), data, words * 4);
    static EventRecord records[DRELM_TSY_MAX_EVENTS_PER_TRANSFER];

    uint32_t count = 0;
    const int32_t status =
        DRELM_TSY_GetEvents(0, buffer.get(), static_cast<uint32_t>(words), records, &count);
    Require(status == DRELM_TSY_Success || status == DRELM_TSY_DecodeError);
    Require(count <= DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    const auto* begin = reinterpret_cast<const uint16_t*>(buffer.get());
    const auto* end = reinterpret_cast<const uint16_t*>(buffer.get() + words);
    for (uint32_t i = 0; i < count; ++i) {
        for (const EventBlock& block : records[i].blocks) {
            const int amplitudes = __builtin_popcount(block.channelMask);
            if (amplitudes == 0) continue;
            Require(block.amplitudes >= begin && block.amplitudes + amplitudes <= end);
            // Touch them, as a reader would.
            volatile uint16_t sink = 0;
            for (int k = 0; k < amplitudes; ++k) sink = static_cast<uint16_t>(sink + block.amplitudes[k]);
        }
    }
    return 0;
}
