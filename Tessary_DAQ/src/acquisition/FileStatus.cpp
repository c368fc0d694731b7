#include "FileStatus.h"

namespace tessary {

void FillFileStatus(const OutputFiles& /*outputs*/, monitor::RunStatus& /*status*/) {}

}  // namespace tessary
