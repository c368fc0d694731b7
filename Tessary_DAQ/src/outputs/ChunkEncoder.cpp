#include "ChunkEncoder.h"

#include <zlib.h>

#include <new>

namespace tessary {

struct ChunkEncoder::Stream {
    z_stream z{};
    bool ready = false;
    ~Stream() {
        if (ready) deflateEnd(&z);
    }
};

ChunkEncoder::ChunkEncoder() = default;
ChunkEncoder::~ChunkEncoder() = default;

bool ChunkEncoder::Configure(std::size_t rowBytes, std::size_t rows, int level) {
    stream_.reset();
    rowBytes_ = rowBytes;
    rows_ = rows;
    const std::size_t bytes = rowBytes * rows;
    // Nothing larger than the chunk is kept, so that is all the room needed.
    deflatedBytes_ = bytes;
    try {
        stream_ = std::make_unique<Stream>();
        shuffled_.reset(new unsigned char[bytes]);
        deflated_.reset(new unsigned char[deflatedBytes_]);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int strategy = level <= 1 ? Z_RLE : Z_DEFAULT_STRATEGY;
    stream_->ready = deflateInit2(&stream_->z, level < 1 ? 1 : level > 9 ? 9 : level, Z_DEFLATED, 15, 8, strategy) == Z_OK;
    return stream_->ready;
}

const unsigned char* ChunkEncoder::Encode(const unsigned char* chunk, std::size_t& bytes) {
    if (!stream_ || !stream_->ready) return nullptr;
    // Sixteen rows at a time: each pass reads a few cache lines and writes
    // sixteen bytes in a row to each of the row's byte planes.
    constexpr std::size_t kBlock = 16;
    const std::size_t n = rows_, width = rowBytes_;
    std::size_t row = 0;
    for (; row + kBlock <= n; row += kBlock) {
        const unsigned char* in = chunk + row * width;
        for (std::size_t k = 0; k < width; ++k) {
            unsigned char* out = shuffled_.get() + k * n + row;
            for (std::size_t r = 0; r < kBlock; ++r) out[r] = in[r * width + k];
        }
    }
    for (; row < n; ++row)
        for (std::size_t k = 0; k < width; ++k) shuffled_[k * n + row] = chunk[row * width + k];

    z_stream& z = stream_->z;
    if (deflateReset(&z) != Z_OK) return nullptr;
    z.next_in = shuffled_.get();
    z.avail_in = static_cast<uInt>(n * width);
    z.next_out = deflated_.get();
    z.avail_out = static_cast<uInt>(deflatedBytes_);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return nullptr;  // no smaller than the chunk
    bytes = deflatedBytes_ - z.avail_out;
    return deflated_.get();
}

}  // namespace tessary
