// Puts the stand-in plotter (see StandInPlotter.cpp) into a folder under
// the name the program starts, with the given mode ("record", "exit", or
// empty to take the commands and drop them).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace test_support {

inline std::filesystem::path StandInPlotterPath(const std::filesystem::path& folder) {
#ifdef _WIN32
    return folder / "pgnuplot.exe";
#else
    return folder / "pgnuplot";
#endif
}

inline bool InstallStandInPlotter(const std::filesystem::path& folder, const std::string& mode = "") {
    std::error_code error;
    std::filesystem::copy_file(STAND_IN_PLOTTER, StandInPlotterPath(folder),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) return false;
    if (!mode.empty()) std::ofstream(folder / "pgnuplot.mode") << mode << "\n";
    return true;
}

}  // namespace test_support
