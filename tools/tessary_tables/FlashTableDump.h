// Writes the tables held in a board's flash into text files of the formats
// the upload reads: DAC_Offset_NEG.txt / DAC_Offset_POS.txt (8 hexadecimal
// lines) and <kind>_<channel>_<sign>.txt (4096 decimal lines).
#pragma once

#include <cstdint>
#include <string>

// True, or false and a message in *error: the flash did not identify, a
// page could not be read, or a file could not be written.
bool DumpFlashTables(int32_t handle, int32_t channels, const std::string& directory, std::string* error);
