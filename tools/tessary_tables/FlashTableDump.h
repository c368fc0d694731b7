// Writes the tables held in a board's flash into text files of the formats
// the upload reads: DAC_Offset_NEG.txt / DAC_Offset_POS.txt (8 hexadecimal
// lines) and <kind>_<channel>_<sign>.txt (4096 decimal lines).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// True, or false and a message in *error: the folder could not be made, the
// flash did not identify, a page could not be read, or a file could not be
// written (with the system's reason). progress, when given, hears after
// each table how many of how many are written.
bool DumpFlashTables(int32_t handle, int32_t channels, const std::string& directory, std::string* error,
                     const std::function<void(int done, int total)>& progress = {});
