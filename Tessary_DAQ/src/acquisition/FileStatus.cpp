#include "FileStatus.h"

namespace tessary {

void FillFileStatus(const OutputFiles& outputs, const DiskWatch& disk, monitor::RunStatus& status) {
    std::size_t open = 0;
    for (int b = 0; b < outputs.Boards(); ++b)
        for (int kind = 0; kind < 3; ++kind) {
            OpenSegment file;
            if (!(kind < 2 ? outputs.Segment(b, kind == 1, file) : outputs.EventFile(b, file))) continue;
            if (open == status.files.size()) status.files.emplace_back();
            status.files[open].path.assign(file.name);
            status.files[open].bytes = file.bytes;
            ++open;
        }
    status.files.resize(open);

    static_assert(monitor::kRawFile == static_cast<int>(OutputKind::Raw) &&
                  monitor::kListFile == static_cast<int>(OutputKind::List) &&
                  monitor::kHistogramFile == static_cast<int>(OutputKind::Histogram));
    for (std::size_t b = 0; b < status.boards.size(); ++b)
        for (int kind = 0; kind < monitor::kFileKinds; ++kind)
            status.boards[b].writtenBytes[kind] =
                outputs.BytesGiven(static_cast<int>(b), static_cast<OutputKind>(kind));
    status.disk = disk.Status();
}

}  // namespace tessary
