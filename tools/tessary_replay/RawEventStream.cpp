#include "RawEventStream.h"

#include <sys/stat.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

namespace tessary::replay {
namespace {

constexpr uint32_t kSizeMask = 0x0FFFFFFFu;
constexpr uint32_t kHeaderMark = 0xAu;

std::string Hex(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

// Set bits of each byte: the build targets processors without a popcount
// instruction, and this runs for every block of every event.
constexpr auto kBitsOfByte = [] {
    std::array<uint8_t, 256> bits{};
    for (int b = 0; b < 256; ++b) bits[b] = static_cast<uint8_t>(std::popcount(static_cast<unsigned>(b)));
    return bits;
}();

// Words taken by the blocks that header word 1 announces, or more than
// `size` as soon as they overrun it (every block header read lies inside).
uint32_t BlockWords(const uint32_t* event, uint32_t size) {
    uint32_t used = kHeaderWords;
    for (int p = 0; p < 4; ++p) {
        if ((event[1] >> (2 * p) & 1u) == 0) continue;
        if (used >= size) return size + 1;
        const uint32_t amplitudes = uint32_t{kBitsOfByte[event[used] & 0xFFu]} + kBitsOfByte[event[used] >> 8 & 0xFFu];
        used += 1 + (amplitudes + 1) / 2;
    }
    return used;
}

}  // namespace

RawEventStream::RawEventStream(std::size_t blockWords)
    // Room for a block and the start of an event left from the one before.
    : buffer_(new uint32_t[blockWords + kMaxEventWords]),
      capacityBytes_(4 * (blockWords + kMaxEventWords)) {}

RawEventStream::~RawEventStream() { Close(); }

void RawEventStream::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool RawEventStream::Open(const std::string& name) {
    Close();
    name_ = name;
    problem_.clear();
    begin_ = filledBytes_ = 0;
    fileOffset_ = 0;
    atEnd_ = afterEvent_ = false;
    fillerOffset_ = UINT64_MAX - 4;
    // Files are read more than once (the first event tells the channel
    // count), which a pipe or a device would not allow.
    struct stat status {};
    file_ = std::fopen(name.c_str(), "rb");
    if (!file_) {
        const int error = errno;
        // Windows refuses to open a folder as a file.
        problem_ = stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)
                       ? name + ": is not a regular file"
                       : name + ": cannot be opened: " + std::strerror(error);
        return false;
    }
    if (fstat(fileno(file_), &status) != 0 || !S_ISREG(status.st_mode)) {
        problem_ = name + ": is not a regular file";
        Close();
        return false;
    }
    return true;
}

RawEventStream::Next RawEventStream::Bad(uint64_t offset, const std::string& what) {
    problem_ = name_ + ": byte offset " + std::to_string(offset) + ": " + what;
    return Next::Bad;
}

bool RawEventStream::Fill() {
    const std::size_t keep = filledBytes_ - 4 * begin_;
    std::memmove(buffer_.get(), buffer_.get() + begin_, keep);
    fileOffset_ += 4 * uint64_t{begin_};
    begin_ = 0;
    filledBytes_ = keep;
    const std::size_t want = capacityBytes_ - filledBytes_;
    errno = 0;
    const std::size_t got = std::fread(reinterpret_cast<char*>(buffer_.get()) + filledBytes_, 1, want, file_);
    filledBytes_ += got;
    if (got < want) {
        if (std::ferror(file_)) {
            const int error = errno;
            problem_ = name_ + ": byte offset " + std::to_string(fileOffset_ + filledBytes_) +
                       ": read error: " + std::strerror(error != 0 ? error : EIO);
            return false;
        }
        atEnd_ = true;
    }
    return true;
}

RawEventStream::Next RawEventStream::Read(Chunk& chunk, uint32_t maxEvents) {
    if (!file_) return problem_.empty() ? Next::End : Next::Bad;
    if (maxEvents == 0) maxEvents = 1;
    for (;;) {
        const uint32_t* words = buffer_.get();
        const std::size_t whole = filledBytes_ / 4;
        std::size_t at = begin_;
        uint32_t events = 0;
        std::string damage;  // found after whole events: they go out first
        while (at < whole && events < maxEvents) {
            const uint32_t first = words[at];
            if (first >> 28 != kHeaderMark) {
                if (events > 0) break;  // ends the run; looked at again on the next call
                // One word after a transfer's last event is the board's
                // filler (0xFFFFFFFF here, but any word that is no header),
                // as the decoder ignores it; two are damage, which begins at
                // the first.
                const uint64_t offset = fileOffset_ + 4 * uint64_t{at};
                if (afterEvent_) {
                    afterEvent_ = false;
                    filler_ = first;
                    fillerOffset_ = offset;
                    begin_ = ++at;
                    continue;
                }
                if (fillerOffset_ + 4 == offset)
                    return Bad(fillerOffset_, "word " + Hex(filler_) +
                                                  " is not an event header, and neither is the word after it (" +
                                                  Hex(first) + ")");
                damage = "word " + Hex(first) + " is not an event header";
                break;
            }
            const uint32_t size = first & kSizeMask;
            if (size < kHeaderWords || size > kMaxEventWords) {
                damage = "event size of " + std::to_string(size) + " words (header " + Hex(first) +
                         ") is outside 4 to " + std::to_string(kMaxEventWords);
                break;
            }
            if (size > whole - at) break;  // not all read yet
            if (BlockWords(words + at, size) > size) {
                damage = "the blocks of the event (header " + Hex(first) + " " + Hex(words[at + 1]) +
                         ") need more than its size of " + std::to_string(size) + " words";
                break;
            }
            at += size;
            ++events;
            afterEvent_ = true;
        }
        if (events > 0) {
            chunk.words = words + begin_;
            chunk.wordCount = static_cast<uint32_t>(at - begin_);
            chunk.events = events;
            chunk.offset = fileOffset_ + 4 * uint64_t{begin_};
            begin_ = at;
            return Next::Chunk;
        }
        if (!damage.empty()) return Bad(fileOffset_ + 4 * uint64_t{at}, damage);
        if (atEnd_) {
            const uint64_t length = fileOffset_ + filledBytes_;
            const uint64_t offset = fileOffset_ + 4 * uint64_t{begin_};
            if (begin_ < whole)
                return Bad(offset, "event of " + std::to_string(words[begin_] & kSizeMask) +
                                       " words runs past the end of the file (" + std::to_string(length) +
                                       " bytes): the file is truncated");
            if (filledBytes_ % 4 != 0)
                return Bad(offset, "the file's length of " + std::to_string(length) +
                                       " bytes is not a whole number of 4-byte words: the file is truncated");
            return Next::End;
        }
        if (!Fill()) return Next::Bad;
    }
}

}  // namespace tessary::replay
