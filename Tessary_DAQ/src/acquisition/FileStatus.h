// The output files and the output file system, as the monitor shows them.
#pragma once

#include "DiskWatch.h"
#include "MonitorStatus.h"
#include "OutputFiles.h"

namespace tessary {

// The raw and list segments being written with the bytes given to them so
// far, per board the bytes given to each kind of file over the run (into
// the boards already in `status`), and the disk watch's last reading.
// Allocates nothing once the names have grown to their length.
void FillFileStatus(const OutputFiles& outputs, const DiskWatch& disk, monitor::RunStatus& status);

}  // namespace tessary
