// A board's raw file read back as runs of whole events for the library's
// decoder. The program writes the readout transfers one after another; a
// transfer is whole events, and after its last event the board may put one
// filler word (0xFFFFFFFF on these boards), which the decoder ignores. The
// file keeps no transfer boundaries, so framing rests on the boards' event
// header mark (0xA in bits 28-31 of word 0): one word without it after an
// event is taken as the filler. The stream checks that framing before
// anything is decoded: every event starts with its header mark, its size covers its
// header and the blocks the header announces and stays within the largest
// event a board makes, and it ends inside the file. So the decoder only
// ever sees well-formed events, and anything else is reported with the
// byte offset where it begins.
//
// Each file is framed on its own. The program changes segments between
// transfers, so an event cut off at the end of a file means the file was
// truncated; reading on into the next file would hide that and misreport
// where the damage is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tessary::replay {

inline constexpr uint32_t kHeaderWords = 4;
// A header and four blocks of 16 channels, each a block header and 8
// amplitude words: what the library sizes its readout buffer for.
inline constexpr uint32_t kMaxEventWords = kHeaderWords + 4 * 9;

class RawEventStream {
public:
    // Read in large blocks so that the disk sets the pace.
    static constexpr std::size_t kDefaultBlockWords = std::size_t{1} << 20;  // 4 MiB

    explicit RawEventStream(std::size_t blockWords = kDefaultBlockWords);
    ~RawEventStream();
    RawEventStream(const RawEventStream&) = delete;
    RawEventStream& operator=(const RawEventStream&) = delete;

    // Opens the file, closing the one held. False, with Problem() telling
    // why, when it cannot be opened or is no regular file.
    bool Open(const std::string& name);
    void Close();

    struct Chunk {
        const uint32_t* words = nullptr;  // valid until the next Read
        uint32_t wordCount = 0;
        uint32_t events = 0;              // whole events, back to back, at most maxEvents
        uint64_t offset = 0;              // of the first word in the file, in bytes
    };
    enum class Next { Chunk, End, Bad };
    // The next run of whole events. A filler word ends a run and is skipped.
    // Bad: the file is damaged or could not be read there; Problem() names
    // the file and the byte offset, and every earlier event has been handed
    // out.
    Next Read(Chunk& chunk, uint32_t maxEvents);

    const std::string& Problem() const { return problem_; }
    // Bytes of the file handed out or skipped so far.
    uint64_t BytesDone() const { return fileOffset_ + 4 * uint64_t{begin_}; }

private:
    Next Bad(uint64_t offset, const std::string& what);
    bool Fill();

    std::unique_ptr<uint32_t[]> buffer_;
    std::size_t capacityBytes_ = 0;
    std::FILE* file_ = nullptr;
    std::string name_;
    std::string problem_;
    std::size_t begin_ = 0;       // first word not handed out
    std::size_t filledBytes_ = 0;
    uint64_t fileOffset_ = 0;     // of buffer_[0]
    bool atEnd_ = false;
    bool afterEvent_ = false;     // a filler word may come here
    uint32_t filler_ = 0;         // the last filler word skipped, and where
    uint64_t fillerOffset_ = UINT64_MAX - 4;
};

}  // namespace tessary::replay
