// What the HDF5 event files record of the run from its start: the
// configuration file's text, the program's version and what each open
// board tells of itself (model, serial number, firmware releases).
#pragma once

#include <cstdint>
#include <string>

#include "Hdf5File.h"

namespace tessary {

RunDescription DescribeRun(const std::string& configPath, const int32_t* handles, int boards);

}  // namespace tessary
