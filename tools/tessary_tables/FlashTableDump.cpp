#include "FlashTableDump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "Flash.h"
#include "Staircase.h"
#include "TableLayout.h"

using namespace drelm::tsy;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
    // Binary: the same bytes, line ends included, on every system.
    File file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fclose(file.release()) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool DumpFlashTables(int32_t handle, int32_t channels, const std::string& directory, std::string* error,
                     const std::function<void(int done, int total)>& progress) {
    std::error_code made;
    std::filesystem::create_directories(directory, made);
    if (made) {
        *error = "cannot create the folder " + directory + ": " + made.message();
        return false;
    }
    const int total = 2 + 4 * channels;
    int done = 0;
    const auto session = FlashSession();
    if (FlashIdentify(handle) != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "flash not identified (device id 0x%02X)", CurrentFlashState().flashDeviceId);
        *error = text;
        return false;
    }
    uint8_t page[kFlashReadLength];
    if (FlashReadPage(handle, kOffsetTableAddress, page) != 0) {
        *error = "cannot read the offset table";
        return false;
    }
    for (int sign : {kSignNeg, kSignPos}) {
        std::string text;
        for (int g = 0; g < kGroupsInOffsetTable; ++g) {
            char line[16];
            std::snprintf(line, sizeof line, "%04X\n", page[4 * g + 2 * sign] | (page[4 * g + 2 * sign + 1] << 8));
            text += line;
        }
        if (!WriteFile(OffsetFilePath(directory.c_str(), sign), text, error)) return false;
        if (progress) progress(++done, total);
    }
    for (int sign : {kSignNeg, kSignPos}) {
        for (int kind : {kKindDacDU, kKindDacUD}) {
            for (int ch = 0; ch < channels; ++ch) {
                if (FlashReadPage(handle, CalibrationAddress(sign, kind, ch), page) != 0) {
                    *error = "cannot read the table of channel " + std::to_string(ch);
                    return false;
                }
                std::string text;
                text.reserve(kTableEntries * 6);
                DecodeStaircase(page, sign, [&](uint32_t, uint32_t value) {
                    text += std::to_string(value & 0x3FFF);
                    text += '\n';
                });
                if (!WriteFile(CalibrationFilePath(directory.c_str(), kind, ch, sign), text, error)) return false;
                if (progress) progress(++done, total);
            }
        }
    }
    return true;
}
