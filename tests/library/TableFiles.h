// Table text files for the tests, in a fresh directory per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tessary_test {

class TableDirectory {
public:
    TableDirectory() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = std::filesystem::temp_directory_path() / ("tessary_tables_" + name);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TableDirectory() { std::filesystem::remove_all(path_); }

    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out << text;
    }
    void WriteLines(const std::string& name, const std::vector<std::string>& lines) const {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        Write(name, text);
    }
    void WriteTable(const std::string& name, const std::vector<int>& values) const {
        std::string text;
        for (int v : values) text += std::to_string(v) + "\n";
        Write(name, text);
    }

private:
    std::filesystem::path path_;
};

inline const char* SignName(int sign) { return sign ? "POS" : "NEG"; }
inline const char* KindName(int kind) { return kind ? "DACUD" : "DACDU"; }
inline std::string CalibrationName(int sign, int kind, int channel) {
    return std::string(KindName(kind)) + "_" + std::to_string(channel) + "_" + SignName(sign) + ".txt";
}

// A table the staircase coding holds exactly: POS tables rise, NEG tables
// fall, by at most one count per entry, in a pattern that differs per table.
inline std::vector<int> StaircaseTable(int sign, int kind, int channel) {
    std::vector<int> values(4096);
    int v = sign ? 500 + 13 * channel + 100 * kind : 15000 - 11 * channel - 100 * kind;
    for (int i = 0; i < 4096; ++i) {
        if (i > 0 && ((i * (channel + 3) + kind) % 5) < 3) v += sign ? 1 : -1;
        values[i] = v;
    }
    return values;
}

inline void WriteAllTables(const TableDirectory& dir, int channels) {
    for (int sign = 0; sign < 2; ++sign)
        for (int kind = 0; kind < 2; ++kind)
            for (int ch = 0; ch < channels; ++ch)
                dir.WriteTable(CalibrationName(sign, kind, ch), StaircaseTable(sign, kind, ch));
}

inline size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace tessary_test
