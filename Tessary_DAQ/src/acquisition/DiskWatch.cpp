#include "DiskWatch.h"

#include <cstring>
#include <string_view>

#include "Paths.h"
#include "PrintableText.h"

namespace tessary {

double DiskWatch::Rate(int64_t nowMs, uint64_t bytesGiven) {
    // Fewer bytes than before: another run's files; its samples say nothing.
    if (sampleCount_ > 0 && bytesGiven < samples_[sampleCount_ - 1].bytes) sampleCount_ = 0;
    if (sampleCount_ == kSamples) {
        for (int i = 1; i < kSamples; ++i) samples_[i - 1] = samples_[i];
        --sampleCount_;
    }
    samples_[sampleCount_++] = {nowMs, bytesGiven};
    const Sample& oldest = samples_[0];
    if (sampleCount_ < 2 || nowMs <= oldest.ms) return 0;
    return static_cast<double>(bytesGiven - oldest.bytes) * 1000.0 / static_cast<double>(nowMs - oldest.ms);
}

DiskWatch::Verdict DiskWatch::Check(int64_t nowMs, const char* path, uint64_t bytesGiven, uint64_t reserveBytes) {
    if (!Due(nowMs)) return Verdict::None;
    checked_ = true;
    lastMs_ = nowMs;
    uint64_t freeBytes = 0;
    if (!read_(path, freeBytes)) {
        status_.known = false;
        return Verdict::None;
    }
    const double rate = Rate(nowMs, bytesGiven);
    status_.known = true;
    status_.freeBytes = freeBytes;
    status_.writeBytesPerS = rate;
    status_.secondsToFull = rate > 0 ? static_cast<double>(freeBytes) / rate : -1;

    const double margin = rate * 2.0 * static_cast<double>(kPeriodMs) / 1000.0;
    if (static_cast<double>(freeBytes) < static_cast<double>(reserveBytes) + margin) {
        needed_ = reserveBytes + static_cast<uint64_t>(margin);
        return Verdict::End;
    }
    if (!status_.lowSpaceWarned && status_.secondsToFull >= 0 && status_.secondsToFull < kWarnSeconds) {
        status_.lowSpaceWarned = true;
        return Verdict::Warn;
    }
    return Verdict::None;
}

bool DiskWatch::Watch(int64_t nowMs, const OutputFiles& outputs, std::FILE* out) {
    if (!Due(nowMs)) return false;
    const char* path = nullptr;  // any open file names the file system
    uint64_t reserve = outputs.LargestHistogram() + kSummaryReserve;
    // Closed segments count too, so that a segment change is no drop in the rate.
    uint64_t given = 0;
    for (int b = 0; b < outputs.Boards(); ++b) {
        given += outputs.BytesGiven(b, OutputKind::Raw) + outputs.BytesGiven(b, OutputKind::List);
        for (const bool list : {false, true}) {
            OpenSegment segment;
            if (!outputs.Segment(b, list, segment)) continue;
            if (path == nullptr) path = segment.name;
            reserve += segment.bufferBytes;
        }
        // The HDF5 file grows in place as a whole: its size is what it took.
        if (OpenSegment events; outputs.EventFile(b, events)) {
            if (path == nullptr) path = events.name;
            given += events.bytes;
            reserve += events.bufferBytes;
        }
    }
    if (path == nullptr) {
        status_.known = false;
        return false;
    }

    const Verdict verdict = Check(nowMs, path, given, reserve);
    if (verdict == Verdict::None) return false;
    const double freeMB = static_cast<double>(status_.freeBytes) / 1e6;
    if (verdict == Verdict::Warn) {
        const double minutes = status_.secondsToFull / 60.0;
        char when[48] = "in less than a minute";
        if (minutes >= 1) std::snprintf(when, sizeof when, "in about %.0f min", minutes);
        std::fprintf(out,
                     "Warning: the output file system has %.0f MB free, full %s at the current write rate of "
                     "%.1f MB/s\n",
                     freeMB, when, status_.writeBytesPerS / 1e6);
        std::fflush(out);
        return false;
    }
    const std::size_t slash = std::string_view(path).find_last_of(platform::PathSeparators());
    const std::string_view folder(path, slash == std::string_view::npos ? 0 : slash + 1);
    std::fprintf(out,
                 "Disk space low: %.0f MB free on %s, %.0f MB needed to finish the files and the run summary; "
                 "the run ends\n",
                 freeMB, folder.empty() ? "the output file system" : Printable(folder).c_str(),
                 static_cast<double>(needed_) / 1e6);
    std::fflush(out);
    return true;
}

}  // namespace tessary
