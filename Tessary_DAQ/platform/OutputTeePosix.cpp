#include "OutputTee.h"

#include <new>

namespace tessary::platform {
namespace {

struct Tee {
    std::FILE* out;
    TeeSink sink;
    void* context;
};

ssize_t Write(void* cookie, const char* data, size_t size) {
    const Tee& tee = *static_cast<Tee*>(cookie);
    const size_t written = std::fwrite(data, 1, size, tee.out);
    std::fflush(tee.out);
    tee.sink(tee.context, data, size);
    // The console may refuse (a closed pipe); the program goes on as it would without the tee.
    return written == 0 && size > 0 ? static_cast<ssize_t>(size) : static_cast<ssize_t>(written);
}

int Close(void* cookie) {
    delete static_cast<Tee*>(cookie);
    return 0;
}

}  // namespace

std::FILE* OpenTee(std::FILE* out, TeeSink sink, void* context) {
    auto* tee = new (std::nothrow) Tee{out, sink, context};
    if (tee == nullptr) return nullptr;
    cookie_io_functions_t functions{};
    functions.write = &Write;
    functions.close = &Close;
    std::FILE* stream = fopencookie(tee, "w", functions);
    if (stream == nullptr) {
        delete tee;
        return nullptr;
    }
    // Line by line, as the console is: a message reaches both at its new line.
    std::setvbuf(stream, nullptr, _IOLBF, 4096);
    return stream;
}

// The stream's own close runs the last write and frees the cookie.
void CloseTee(std::FILE* tee) { std::fclose(tee); }

}  // namespace tessary::platform
