// What code under test prints, caught for checking: a stream to give it and
// the text printed to it so far.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#endif

namespace test_support {

class CapturedOutput {
public:
    CapturedOutput() {
#ifdef _WIN32
        // No stream into memory in the Windows C library: a binary file of
        // its own in the temporary folder (so the text stays as printed),
        // which the system removes when it is closed.
        static std::atomic<unsigned> serial{0};
        for (int attempt = 0; attempt < 100 && stream_ == nullptr; ++attempt) {
            const std::filesystem::path name = std::filesystem::temp_directory_path() /
                                               ("tessary_output_" + std::to_string(_getpid()) + "_" +
                                                std::to_string(serial.fetch_add(1)) + ".txt");
            int fd = -1;
            if (_wsopen_s(&fd, name.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY, _SH_DENYNO,
                          _S_IREAD | _S_IWRITE) != 0) {
                continue;
            }
            stream_ = _fdopen(fd, "w+b");
            if (stream_ == nullptr) _close(fd);
        }
#else
        stream_ = open_memstream(&text_, &size_);
#endif
    }
    ~CapturedOutput() {
        if (stream_ != nullptr) std::fclose(stream_);
        std::free(text_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    // Null when no stream could be made.
    std::FILE* Stream() const { return stream_; }

    // Everything printed so far; the stream takes more after it.
    std::string Text() {
        if (stream_ == nullptr) return {};
#ifdef _WIN32
        _lock_file(stream_);
        std::fflush(stream_);
        const long end = std::ftell(stream_);
        std::string text(end > 0 ? static_cast<std::size_t>(end) : 0, '\0');
        std::rewind(stream_);
        text.resize(std::fread(text.data(), 1, text.size(), stream_));
        std::fseek(stream_, end, SEEK_SET);  // printing goes on at the end
        _unlock_file(stream_);
        return text;
#else
        std::fflush(stream_);
        return std::string(text_, size_);
#endif
    }

private:
    std::FILE* stream_ = nullptr;
    char* text_ = nullptr;  // open_memstream's buffer
    std::size_t size_ = 0;
};

}  // namespace test_support
