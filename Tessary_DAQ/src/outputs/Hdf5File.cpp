#include "Hdf5File.h"

#include <hdf5.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <type_traits>

#include "HistogramText.h"

namespace tessary {
namespace {

static_assert(std::is_same_v<hid_t, int64_t>, "identifiers are kept as int64_t");

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kTimeChars = 20;  // 2024-01-31T12:00:00Z

// An identifier closed at the end of its scope.
struct Id {
    hid_t id;
    herr_t (*close)(hid_t);
    ~Id() {
        if (id >= 0) close(id);
    }
    operator hid_t() const { return id; }
    bool Bad() const { return id < 0; }
};

// The library prints its error stack by default, on each thread; the file's
// calls come from the thread that creates it and from its writer.
void Quiet() {
    thread_local bool quiet = false;
    if (!quiet) quiet = H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr) >= 0;
}

bool PutText(hid_t object, const char* name, const std::string& text, std::size_t size = 0) {
    Id type{H5Tcopy(H5T_C_S1), H5Tclose};
    Id space{H5Screate(H5S_SCALAR), H5Sclose};
    if (type.Bad() || space.Bad()) return false;
    if (size == 0) size = text.size() > 0 ? text.size() : 1;
    std::string padded = text.substr(0, size);
    padded.resize(size, '\0');
    if (H5Tset_size(type, size) < 0 || H5Tset_strpad(type, H5T_STR_NULLPAD) < 0 ||
        H5Tset_cset(type, H5T_CSET_UTF8) < 0)
        return false;
    Id attribute{H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
    return !attribute.Bad() && H5Awrite(attribute, type, padded.data()) >= 0;
}

template <typename T>
hid_t TypeOf() {
    if constexpr (std::is_same_v<T, double>) return H5T_IEEE_F64LE;
    if constexpr (std::is_same_v<T, uint64_t>) return H5T_STD_U64LE;
    if constexpr (std::is_same_v<T, uint32_t>) return H5T_STD_U32LE;
    if constexpr (std::is_same_v<T, int32_t>) return H5T_STD_I32LE;
    if constexpr (std::is_same_v<T, uint8_t>) return H5T_STD_U8LE;
}

template <typename T>
bool PutNumber(hid_t object, const char* name, T value) {
    Id space{H5Screate(H5S_SCALAR), H5Sclose};
    if (space.Bad()) return false;
    Id attribute{H5Acreate2(object, name, TypeOf<T>(), space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
    return !attribute.Bad() && H5Awrite(attribute, TypeOf<T>(), &value) >= 0;
}

// An attribute made at creation, its value written again: SWMR allows that.
template <typename T>
bool Rewrite(hid_t object, const char* name, T value) {
    Id attribute{H5Aopen(object, name, H5P_DEFAULT), H5Aclose};
    return !attribute.Bad() && H5Awrite(attribute, TypeOf<T>(), &value) >= 0;
}

bool RewriteText(hid_t object, const char* name, const std::string& text) {
    Id attribute{H5Aopen(object, name, H5P_DEFAULT), H5Aclose};
    Id type{H5Aget_type(attribute), H5Tclose};
    if (attribute.Bad() || type.Bad()) return false;
    std::string padded = text;
    padded.resize(H5Tget_size(type), '\0');
    return H5Awrite(attribute, type, padded.data()) >= 0;
}

std::string Utc(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&seconds, &utc)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The row as a packed compound: the memory's layout is the file's.
hid_t RowType(const RowLayout& layout) {
    const auto channels = static_cast<hsize_t>(layout.channels > 0 ? layout.channels : 1);
    const hid_t type = H5Tcreate(H5T_COMPOUND, layout.Bytes() > 0 ? layout.Bytes() : 1);
    if (type < 0) return type;
    Id amplitude{H5Tarray_create2(H5T_STD_U16LE, 1, &channels), H5Tclose};
    Id flags{H5Tarray_create2(H5T_STD_U8LE, 1, &channels), H5Tclose};
    const bool made = !amplitude.Bad() && !flags.Bad() &&
                      H5Tinsert(type, "trigger_index", RowLayout::kTriggerIndex, H5T_STD_U32LE) >= 0 &&
                      H5Tinsert(type, "trigger_count", RowLayout::kTriggerCount, H5T_STD_U64LE) >= 0 &&
                      H5Tinsert(type, "timestamp_ns", RowLayout::kTimestampNs, H5T_STD_U64LE) >= 0 &&
                      H5Tinsert(type, "pile_up", RowLayout::kPileUp, H5T_STD_U8LE) >= 0 &&
                      (layout.channels == 0 ||
                       (H5Tinsert(type, "amplitude", RowLayout::kAmplitude, amplitude) >= 0 &&
                        H5Tinsert(type, "flags", layout.Flags(), flags) >= 0));
    if (made) return type;
    H5Tclose(type);
    return -1;
}

}  // namespace

std::size_t RowsPerChunk(const RowLayout& layout) {
    const std::size_t rows = kChunkBytes / (layout.Bytes() > 0 ? layout.Bytes() : 1);
    return rows > 0 ? rows : 1;
}

bool Hdf5File::Fail() {
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    // The error stack holds copies of its messages until cleared, and a
    // thread's stack is not freed when the thread ends.
    H5Eclear2(H5E_DEFAULT);
    return false;
}

bool Hdf5File::Create(const char* name, int board, const BoardSettings& settings, const RowLayout& layout,
                      int compression, const RunDescription& run) {
    Close();
    // A file whose close failed (a full disk) stays in the library's table,
    // and its clean-up at exit would close it again and crash: the system
    // closes what is left instead. Only the first call, before any other, counts.
    H5dont_atexit();
    Quiet();
    error_ = 0;
    errno = 0;
    channels_ = layout.channels;
    spectrumBins_ = SpectrumBins(settings.spectrumShift);
    enabled_ = 0;
    for (int ch = 0; ch < channels_; ++ch)
        if (ChannelEnabled(settings, ch)) enabled_ |= uint64_t{1} << ch;

    Id access{H5Pcreate(H5P_FILE_ACCESS), H5Pclose};
    if (access.Bad() || H5Pset_libver_bounds(access, H5F_LIBVER_LATEST, H5F_LIBVER_LATEST) < 0) return Fail();
    file_ = H5Fcreate(name, H5F_ACC_TRUNC, H5P_DEFAULT, access);
    if (file_ < 0) return Fail();
    rowType_ = RowType(layout);
    if (rowType_ < 0) return Fail(), Close(), false;

    // /events: rows appended, in chunks of about 1 MiB, shuffled and
    // deflated; written whole and never read back, so no chunk cache.
    const hsize_t none = 0, unlimited = H5S_UNLIMITED, chunk = RowsPerChunk(layout);
    Id space{H5Screate_simple(1, &none, &unlimited), H5Sclose};
    Id creation{H5Pcreate(H5P_DATASET_CREATE), H5Pclose};
    Id datasetAccess{H5Pcreate(H5P_DATASET_ACCESS), H5Pclose};
    if (space.Bad() || creation.Bad() || datasetAccess.Bad() || H5Pset_chunk(creation, 1, &chunk) < 0 ||
        (compression > 0 && (H5Pset_shuffle(creation) < 0 || H5Pset_deflate(creation, static_cast<unsigned>(compression)) < 0)) ||
        H5Pset_chunk_cache(datasetAccess, 1, 0, 1.0) < 0)
        return Fail(), Close(), false;
    filtered_ = compression > 0;
    events_ = H5Dcreate2(file_, "events", rowType_, space, H5P_DEFAULT, creation, datasetAccess);
    if (events_ < 0) return Fail(), Close(), false;
    bool made = PutText(events_, "flags_bits", "bit 0: present, bit 1: saturated (bit 15 of the word), bit 2: bit 14 of the word") &&
                PutText(events_, "pile_up_bits", "bit p: block p (channels 16p to 16p+15) had the pile-up flag") &&
                PutText(events_, "trigger_count", "the 24-bit trigger index extended over its wraps, from 0 at each start");

    // /spectra: one dataset per enabled channel, its room taken now, since
    // SWMR writing may fill datasets but not lay out new ones.
    Id spectra{H5Gcreate2(file_, "spectra", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose};
    const hsize_t bins = static_cast<hsize_t>(spectrumBins_);
    Id binSpace{H5Screate_simple(1, &bins, nullptr), H5Sclose};
    Id early{H5Pcreate(H5P_DATASET_CREATE), H5Pclose};
    made = made && !spectra.Bad() && !binSpace.Bad() && !early.Bad() &&
           H5Pset_alloc_time(early, H5D_ALLOC_TIME_EARLY) >= 0;
    for (int ch = 0; made && ch < channels_; ++ch) {
        if ((enabled_ >> ch & 1) == 0) continue;
        char channel[16];
        std::snprintf(channel, sizeof channel, "ch%02d", ch);
        Id dataset{H5Dcreate2(spectra, channel, H5T_STD_U32LE, binSpace, H5P_DEFAULT, early, H5P_DEFAULT), H5Dclose};
        made = !dataset.Bad();
    }

    // The run's record; the end's fields stay empty until it ends.
    const BoardIdentity none_{};
    const BoardIdentity& identity =
        board >= 0 && static_cast<std::size_t>(board) < run.boards.size() ? run.boards[board] : none_;
    const hid_t root = file_;
    const std::time_t now = std::time(nullptr);
    made = made && PutText(root, "program_version", run.version) && PutText(root, "config_text", run.configText) &&
           PutNumber<int32_t>(root, "board", board) && PutText(root, "board_model", identity.model) &&
           PutNumber<uint32_t>(root, "board_serial_number", identity.serialNumber) &&
           PutText(root, "roc_firmware_release", identity.rocRelease) &&
           PutText(root, "amc_firmware_release", identity.amcRelease) &&
           PutNumber<int32_t>(root, "channels", channels_) && PutNumber<uint64_t>(root, "enabled_channels", enabled_) &&
           PutNumber<int32_t>(root, "spectrum_bins", spectrumBins_) &&
           PutText(root, "file_created_utc", Utc(int64_t{now} * 1000)) &&
           PutText(root, "run_start_utc", "", kTimeChars) && PutText(root, "run_end_utc", "", kTimeChars) &&
           PutNumber<uint8_t>(root, "run_summary", 0) && PutNumber<uint64_t>(root, "events_total", 0) &&
           PutNumber<uint64_t>(root, "readout_bytes", 0) && PutNumber<uint64_t>(root, "triggers", 0) &&
           PutNumber<uint64_t>(root, "triggers_lost", 0) && PutNumber<uint64_t>(root, "pile_up_events", 0) &&
           PutNumber<uint64_t>(root, "saturated_amplitudes", 0) && PutNumber<double>(root, "real_time_s", 0) &&
           PutNumber<double>(root, "live_time_s", 0) && PutNumber<double>(root, "dead_time_s", 0);
    // Every attribute is closed by now, as SWMR writing needs.
    if (!made || H5Fstart_swmr_write(file_) < 0) return Fail(), Close(), false;
    return true;
}

bool Hdf5File::Extend(uint64_t rows) {
    if (events_ < 0 || error_ != 0) return false;
    Quiet();
    errno = 0;
    hsize_t size = 0;
    {
        Id space{H5Dget_space(events_), H5Sclose};
        if (space.Bad() || H5Sget_simple_extent_dims(space, &size, nullptr) < 0) return Fail();
    }
    const hsize_t end = rows;
    return end <= size || H5Dset_extent(events_, &end) >= 0 || Fail();
}

bool Hdf5File::WriteChunk(uint64_t first, const void* data, std::size_t bytes, bool filtered) {
    if (events_ < 0 || error_ != 0) return false;
    errno = 0;
    // Bit k of the mask: filter k of the pipeline (shuffle, deflate) not applied.
    const uint32_t skipped = filtered_ && !filtered ? 0x3 : 0;
    const hsize_t offset = first;
    return H5Dwrite_chunk(events_, H5P_DEFAULT, skipped, &offset, bytes, data) >= 0 || Fail();
}

bool Hdf5File::Flush() {
    if (file_ < 0 || error_ != 0) return false;
    Quiet();
    errno = 0;
    return H5Fflush(file_, H5F_SCOPE_LOCAL) >= 0 || Fail();
}

bool Hdf5File::Finish(const std::vector<uint32_t>& spectra, const RunEnd* end) {
    if (file_ < 0 || error_ != 0) return false;
    Quiet();
    errno = 0;
    std::size_t at = 0;
    for (int ch = 0; ch < channels_; ++ch) {
        if ((enabled_ >> ch & 1) == 0) continue;
        if (at + static_cast<std::size_t>(spectrumBins_) > spectra.size()) break;
        char path[24];
        std::snprintf(path, sizeof path, "spectra/ch%02d", ch);
        Id dataset{H5Dopen2(file_, path, H5P_DEFAULT), H5Dclose};
        if (dataset.Bad() ||
            H5Dwrite(dataset, H5T_NATIVE_UINT32, H5S_ALL, H5S_ALL, H5P_DEFAULT, spectra.data() + at) < 0)
            return Fail();
        at += static_cast<std::size_t>(spectrumBins_);
    }
    if (end != nullptr) {
        const hid_t root = file_;
        const BoardTotals& t = end->totals;
        const bool written =
            RewriteText(root, "run_start_utc", Utc(end->startedMs)) &&
            RewriteText(root, "run_end_utc", Utc(end->stoppedMs)) && Rewrite<uint64_t>(root, "events_total", t.events) &&
            Rewrite<uint64_t>(root, "readout_bytes", t.bytes) && Rewrite<uint64_t>(root, "triggers", t.triggers) &&
            Rewrite<uint64_t>(root, "triggers_lost", t.triggersLost) &&
            Rewrite<uint64_t>(root, "pile_up_events", t.pileUp) &&
            Rewrite<uint64_t>(root, "saturated_amplitudes", t.saturated) &&
            Rewrite<double>(root, "real_time_s", end->times.realS) &&
            Rewrite<double>(root, "live_time_s", end->times.LiveS()) &&
            Rewrite<double>(root, "dead_time_s", end->times.deadS) && Rewrite<uint8_t>(root, "run_summary", 1);
        if (!written) return Fail();
    }
    return Flush();
}

bool Hdf5File::Close() {
    if (file_ < 0) return true;
    Quiet();
    if (events_ >= 0) H5Dclose(events_);
    if (rowType_ >= 0) H5Tclose(rowType_);
    errno = 0;
    const bool closed = H5Fclose(file_) >= 0;
    if (!closed) Fail();
    file_ = events_ = rowType_ = -1;
    return closed && error_ == 0;
}

}  // namespace tessary
