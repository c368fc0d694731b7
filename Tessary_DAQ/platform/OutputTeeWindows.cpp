// The tee on Windows, whose C library cannot make a stream over functions
// of the program's own: the stream writes into a pipe, unbuffered (the
// library would take line buffering for full buffering), and a thread
// reads the pipe, passes the bytes on to `out`, flushed, and to the sink.
// Each write is then on the console as soon as the thread has read it.

#include "OutputTee.h"

#include <fcntl.h>
#include <io.h>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace tessary::platform {
namespace {

constexpr unsigned kPipeBytes = 4096;

struct Tee {
    std::FILE* out;
    TeeSink sink;
    void* context;
    int readFd;
    std::thread reader;
};

std::mutex teesMutex;
std::map<std::FILE*, std::unique_ptr<Tee>> tees;

// Runs until the stream is closed, which ends the pipe.
void Forward(Tee* tee) {
    char data[kPipeBytes];
    for (;;) {
        const int got = _read(tee->readFd, data, sizeof data);
        if (got <= 0) return;
        const auto size = static_cast<std::size_t>(got);
        // The console may refuse (a closed pipe); the sink still gets it.
        std::fwrite(data, 1, size, tee->out);
        std::fflush(tee->out);
        tee->sink(tee->context, data, size);
    }
}

}  // namespace

std::FILE* OpenTee(std::FILE* out, TeeSink sink, void* context) {
    int ends[2];
    if (_pipe(ends, kPipeBytes, _O_BINARY | _O_NOINHERIT) != 0) return nullptr;
    std::FILE* stream = _fdopen(ends[1], "wb");
    if (stream == nullptr) {
        _close(ends[0]);
        _close(ends[1]);
        return nullptr;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    auto tee = std::make_unique<Tee>(Tee{out, sink, context, ends[0], std::thread()});
    try {
        tee->reader = std::thread(Forward, tee.get());
    } catch (...) {
        std::fclose(stream);
        _close(ends[0]);
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(teesMutex);
    tees[stream] = std::move(tee);
    return stream;
}

void CloseTee(std::FILE* tee) {
    std::unique_ptr<Tee> found;
    {
        const std::lock_guard<std::mutex> lock(teesMutex);
        const auto entry = tees.find(tee);
        if (entry != tees.end()) {
            found = std::move(entry->second);
            tees.erase(entry);
        }
    }
    std::fclose(tee);
    if (found == nullptr) return;
    // The pipe's end lets the thread finish what is left in it.
    found->reader.join();
    _close(found->readFd);
}

}  // namespace tessary::platform

