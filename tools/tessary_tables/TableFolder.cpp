#include "TableFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "TableLayout.h"

using namespace drelm::tsy;

namespace {

// Present as the library would find it: a file that opens for reading.
bool Opens(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file) std::fclose(file);
    return file != nullptr;
}

// "2-63", "0, 5-7", "4".
std::string Ranges(const std::vector<int>& channels) {
    std::string text;
    for (size_t i = 0; i < channels.size();) {
        size_t j = i;
        while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(channels[i]);
        if (j > i) text.append(1, '-').append(std::to_string(channels[j]));
        i = j + 1;
    }
    return text;
}

}  // namespace

std::string FolderProblem(const std::string& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0)
        return std::string("cannot read the folder (") + std::strerror(errno) + ")";
    if (!S_ISDIR(info.st_mode)) return "not a folder";
    return "";
}

TableFiles FindTableFiles(const std::string& directory, int channels, bool offsets) {
    TableFiles files;
    if (offsets) {
        for (int sign : {kSignNeg, kSignPos}) {
            const std::string path = OffsetFilePath(directory.c_str(), sign);
            ++files.expected;
            if (Opens(path))
                ++files.present;
            else
                files.missing.push_back(path.substr(directory.size() + 1));
        }
    }
    for (int sign : {kSignNeg, kSignPos}) {
        for (int kind : {kKindDacDU, kKindDacUD}) {
            std::vector<int> absent;
            for (int ch = 0; ch < channels; ++ch) {
                ++files.expected;
                if (Opens(CalibrationFilePath(directory.c_str(), kind, ch, sign)))
                    ++files.present;
                else
                    absent.push_back(ch);
            }
            if (absent.empty()) continue;
            std::string name = std::string(KindText(kind)) + "_<channel>_" + SignText(sign) + ".txt";
            files.missing.push_back(name + (absent.size() == 1 ? " for channel " : " for channels ") + Ranges(absent));
        }
    }
    return files;
}
