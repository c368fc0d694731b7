// Fuzz target for the replay tool's raw-file framing: the input as a raw
// file, read in blocks of a few words so that events cross block ends. Every
// run of events the framing hands out must decode without error into
// exactly that many events (the framing is what keeps the decoder from
// failing), the runs must lie inside the file, back to back with what was
// skipped, and a file the framing refuses must name the offset.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DrelmTessaryLib.h"
#include "RawEventStream.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The file the inputs are written to, one per process, removed at exit.
struct TempFile {
    TempFile() {
        char pattern[] = "/tmp/fuzz_rawfile_XXXXXX";
        const int fd = mkstemp(pattern);
        Require(fd >= 0);
        close(fd);
        name = pattern;
    }
    ~TempFile() { std::remove(name.c_str()); }
    std::string name;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TempFile temp;
    const std::string& name = temp.name;
    std::FILE* file = std::fopen(name.c_str(), "wb");
    Require(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);

    static std::vector<EventRecord> events(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    tessary::replay::RawEventStream stream(16);
    Require(stream.Open(name));
    tessary::replay::RawEventStream::Chunk chunk;
    tessary::replay::RawEventStream::Next next;
    uint64_t end = 0;
    while ((next = stream.Read(chunk, 1 + size % 5)) == tessary::replay::RawEventStream::Next::Chunk) {
        Require(chunk.events >= 1 && chunk.events <= 1 + size % 5 && chunk.offset >= end);
        end = chunk.offset + 4 * uint64_t{chunk.wordCount};
        Require(end <= size && stream.BytesDone() == end);
        uint32_t count = 0;
        Require(DRELM_TSY_GetEvents(0, chunk.words, chunk.wordCount, events.data(), &count) == 0);
        Require(count == chunk.events);
    }
    Require(next == tessary::replay::RawEventStream::Next::End ? stream.BytesDone() == size
                                                               : stream.Problem().find(": byte offset ") != std::string::npos);
    return 0;
}
