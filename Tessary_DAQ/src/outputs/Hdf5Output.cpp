#include "Hdf5Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "Checksum.h"
#include "HistogramText.h"
#include "OutputFiles.h"

namespace tessary {

Hdf5Output::~Hdf5Output() {
    WrittenFile ignored;
    Close(ignored);
}

bool Hdf5Output::Open(const char* name, int board, const DaqConfig& config, const RunDescription& run,
                      bool behind) {
    WrittenFile ignored;
    Close(ignored);
    std::snprintf(name_, sizeof name_, "%s", name);
    settings_ = &config.boards[board];
    rows_.Configure(*settings_);
    rowsPerChunk_ = RowsPerChunk(rows_.Layout());
    try {
        stage_.reset(new unsigned char[2 * kHdf5StageBytes]);
        chunk_.reset(new unsigned char[rowsPerChunk_ * rows_.Layout().Bytes() + 1]());
        events_.resize(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int h = 0; h < 2; ++h) halves_[h] = {this, stage_.get() + h * kHdf5StageBytes, 0, 0, false};
    current_ = 0;
    chunkRows_ = storedRows_ = 0;
    leftBehind_ = 0;
    storedAsIs_ = false;
    chunkStart_ = 0;
    appended_ = failed_ = reported_ = false;
    error_ = 0;
    slot_.error.store(0);
    const int level = config.hdf5Compression;
    if (level > 0 && !encoder_.Configure(rows_.Layout().Bytes(), rowsPerChunk_, level)) return false;
    writer_ = behind && (thread_.Running() || thread_.Start(1)) ? &thread_ : nullptr;
    if (file_.Create(name_, board, *settings_, rows_.Layout(), level, run)) return true;
    errno = file_.Error();
    return false;
}

bool Hdf5Output::Fail(int error) {
    if (!failed_) error_ = error != 0 ? error : EIO;
    failed_ = true;
    return false;
}

bool Hdf5Output::Append(const void* raw, uint32_t bytes, uint32_t events) {
    if (!file_.IsOpen() || Failed()) return false;
    const std::size_t need = 4 + (std::size_t{bytes} + 3) / 4 * 4;
    if (need > kHdf5StageBytes) return Fail(EMSGSIZE);
    if (halves_[current_].fill + need > kHdf5StageBytes && !HandIn(false)) return false;
    Half& half = halves_[current_];
    std::memcpy(half.data + half.fill, &bytes, 4);
    std::memcpy(half.data + half.fill + 4, raw, bytes);
    half.fill += need;
    half.events += events;
    appended_ = true;
    return true;
}

bool Hdf5Output::Flush() {
    if (!file_.IsOpen() || Failed()) return false;
    if (!appended_) return true;
    appended_ = false;
    return HandIn(true);
}

void Hdf5Output::WaitHalf() {
    if (writer_) writer_->Wait(slot_);
}

bool Hdf5Output::HandIn(bool flush) {
    Half& half = halves_[current_];
    half.flush = flush;
    if (!writer_) {
        const bool done = Process(half);
        half.fill = 0;
        half.events = 0;
        return done || Fail(errno);
    }
    // The other half was handed in before: it must be done before it is filled again.
    writer_->Wait(slot_);
    if (Failed()) return false;
    writer_->Submit(slot_, WriteBehind::Task{&Hdf5Output::RunHalf, &half});
    current_ ^= 1;
    halves_[current_].fill = 0;
    halves_[current_].events = 0;
    return true;
}

bool Hdf5Output::RunHalf(void* half) {
    Half& h = *static_cast<Half*>(half);
    return h.owner->Process(h);
}

bool Hdf5Output::Process(Half& half) {
    const RowLayout& layout = rows_.Layout();
    for (std::size_t at = 0; at < half.fill;) {
        uint32_t bytes = 0;
        std::memcpy(&bytes, half.data + at, 4);
        const auto* words = reinterpret_cast<const uint32_t*>(half.data + at + 4);
        at += 4 + (std::size_t{bytes} + 3) / 4 * 4;
        uint32_t count = 0;
        // The loop decoded the same bytes without complaint: this cannot fail but on a fault.
        if (DRELM_TSY_GetEvents(0, words, bytes / 4, events_.data(), &count) != 0) {
            errno = EINVAL;
            return false;
        }
        for (uint32_t e = 0; e < count; ++e) {
            rows_.Build(events_[e], chunk_.get() + chunkRows_ * layout.Bytes());
            if (++chunkRows_ == rowsPerChunk_ && !StoreChunk(true)) return false;
        }
    }
    if (!half.flush) return true;
    if (chunkRows_ > storedRows_ && !StoreChunk(false)) return false;
    return file_.Flush() || (errno = file_.Error(), false);
}

bool Hdf5Output::StoreChunk(bool whole) {
    const std::size_t rowBytes = rows_.Layout().Bytes();
    const std::size_t chunkBytes = rowsPerChunk_ * rowBytes;
    if (!whole) {
        // Rows past those begun are not part of the dataset yet: zeros, not
        // the last chunk's, on the disk.
        std::memset(chunk_.get() + chunkRows_ * rowBytes, 0, chunkBytes - chunkRows_ * rowBytes);
    }
    const unsigned char* data = chunk_.get();
    std::size_t bytes = chunkBytes;
    bool filtered = false;
    if (file_.Filtered() && !storedAsIs_) {
        if (const unsigned char* encoded = encoder_.Encode(chunk_.get(), bytes)) {
            data = encoded;
            filtered = true;
        } else {
            bytes = chunkBytes;
        }
        // Every store of a chunk begun is left behind by the next: while
        // those stay within half a chunk, compressed; past it, as it is.
        if (filtered && !whole && leftBehind_ + bytes > chunkBytes / 2) {
            data = chunk_.get();
            bytes = chunkBytes;
            filtered = false;
        }
    }
    if (!file_.Extend(chunkStart_ + chunkRows_) || !file_.WriteChunk(chunkStart_, data, bytes, filtered))
        return errno = file_.Error(), false;
    if (!whole) {
        storedRows_ = chunkRows_;
        if (filtered) leftBehind_ += bytes;
        storedAsIs_ = !filtered;
        return true;
    }
    chunkStart_ += chunkRows_;
    chunkRows_ = storedRows_ = 0;
    leftBehind_ = 0;
    storedAsIs_ = false;
    return true;
}

bool Hdf5Output::Finish(const BoardCounters& counters, const RunEnd* end) {
    if (!file_.IsOpen() || Failed()) return false;
    appended_ = false;
    if (!HandIn(true)) return false;
    WaitHalf();
    if (Failed()) return false;
    std::vector<uint32_t> spectra;
    const int bins = SpectrumBins(settings_->spectrumShift);
    for (int ch = 0; ch < rows_.Layout().channels; ++ch) {
        if (!ChannelEnabled(*settings_, ch)) continue;
        const double* spectrum = counters.spectrum[ch];
        for (int bin = 0; bin < bins; ++bin) {
            const uint64_t count = spectrum ? WholeCount(spectrum[bin]) : 0;
            spectra.push_back(count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count));
        }
    }
    return file_.Finish(spectra, end) || Fail(file_.Error());
}

bool Hdf5Output::Close(WrittenFile& written) {
    if (!file_.IsOpen()) return true;
    WaitHalf();
    if (!Failed() && (appended_ || halves_[current_].fill > 0 || chunkRows_ > storedRows_)) {
        appended_ = false;
        HandIn(true);
        WaitHalf();
    }
    thread_.Stop();
    writer_ = nullptr;
    if (slot_.error.load() != 0) Fail(slot_.error.load());
    if (!file_.Close() && !failed_) Fail(file_.Error());
    // Size and CRC-32C of the file as closed: the library writes in place,
    // so only the closed file tells them.
    written = {name_, 0, 0, !failed_};
    Crc32c crc;
    if (std::FILE* in = std::fopen(name_, "rb")) {
        std::size_t got = 0;
        while ((got = std::fread(stage_.get(), 1, 2 * kHdf5StageBytes, in)) > 0) {
            crc.Add(stage_.get(), got);
            written.bytes += got;
        }
        std::fclose(in);
    }
    written.checksum = crc.Value();
    return !failed_;
}

uint64_t Hdf5Output::PendingBytes() const {
    if (!file_.IsOpen()) return 0;
    const uint64_t rowBytes = rows_.Layout().Bytes();
    return (halves_[0].events + halves_[1].events) * rowBytes + 2 * rowsPerChunk_ * rowBytes;
}

bool Hdf5Output::FailureToReport(int& error) {
    if (!Failed() || reported_) return false;
    if (!failed_) Fail(slot_.error.load());
    reported_ = true;
    error = error_;
    return true;
}

}  // namespace tessary
