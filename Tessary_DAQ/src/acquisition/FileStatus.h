// The output files and the output file system, as the monitor shows them.
#pragma once

#include "MonitorStatus.h"
#include "OutputFiles.h"

namespace tessary {

// The files being written with their sizes, the bytes written per kind of
// file and board, and the output file system's free space.
void FillFileStatus(const OutputFiles& outputs, monitor::RunStatus& status);

}  // namespace tessary
