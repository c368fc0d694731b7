// Checks the files a run's summary names against the sizes and CRC-32C
// checksums it gives for them, so that copied or archived outputs can be
// told intact.
#pragma once

#include <string>

namespace tessary::replay {

// One line per file on standard output, then a count line; problems with
// the summary itself go to standard error. Returns an exit status of
// ExitStatus.h: ok only when every file matches.
int VerifySummary(const std::string& summaryPath);

}  // namespace tessary::replay
