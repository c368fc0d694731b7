// Encodes a chunk of the HDF5 event rows as the file's filters would: the
// shuffle filter (byte k of every row together, so that the slowly varying
// bytes of each field sit side by side) and then deflate in zlib's format.
// Doing it here rather than in the library's write keeps it off the
// library's lock, so the boards' files compress side by side on as many
// processors as there are. All memory is taken at Configure.
#pragma once

#include <cstddef>
#include <memory>

namespace tessary {

class ChunkEncoder {
public:
    ChunkEncoder();
    ~ChunkEncoder();
    ChunkEncoder(const ChunkEncoder&) = delete;
    ChunkEncoder& operator=(const ChunkEncoder&) = delete;

    // Chunks of `rows` rows of `rowBytes` each, deflated at `level` (1-9).
    // Level 1 uses deflate's run-length matching alone: as fast as its
    // fastest level and smaller on these data, whose runs (absent channels,
    // unchanging flags and high bytes) are what repeats. False when the
    // memory or the compressor is not to be had.
    bool Configure(std::size_t rowBytes, std::size_t rows, int level);

    // Encodes a whole chunk; the result stays valid until the next call.
    // Null when deflate would not make it smaller: the chunk is then
    // stored as it is, as the library does with an optional filter.
    const unsigned char* Encode(const unsigned char* chunk, std::size_t& bytes);

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
    std::unique_ptr<unsigned char[]> shuffled_, deflated_;
    std::size_t rowBytes_ = 0, rows_ = 0, deflatedBytes_ = 0;
};

}  // namespace tessary
