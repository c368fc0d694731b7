// What messages show of the file's text: unprintable characters as \xNN
// escapes of their bytes, everything else as it is.
#include <gtest/gtest.h>

#include <string>

#include "PrintableText.h"

namespace tessary {
namespace {

struct Shown {
    const char* name;
    std::string text;
    std::string shown;
};

const Shown kCases[] = {
    {"PlainTextKept", "OUTFILE_PATH data/run_7\\", "OUTFILE_PATH data/run_7\\"},
    {"ControlBytesAndDelete", std::string("a\0b\x01\t\x1b[2J\x7f", 10), "a\\x00b\\x01\\x09\\x1b[2J\\x7f"},
    {"LettersOfOtherLanguagesKept", "donn\xC3\xA9" "es \xE6\x97\xA5 \xF0\x9F\x93\x81", "donn\xC3\xA9" "es \xE6\x97\xA5 \xF0\x9F\x93\x81"},
    {"ByteOrderMark", "\xEF\xBB\xBFOPEN", "\\xef\\xbb\\xbfOPEN"},
    {"C1ControlAndDirectionOverride", "a\xC2\x9B" "b\xE2\x80\xAE" "c", "a\\xc2\\x9bb\\xe2\\x80\\xaec"},
    {"BytesThatAreNotUtf8", "\xC0\xAF \xED\xA0\x80 \xE6\x97 \xFF", "\\xc0\\xaf \\xed\\xa0\\x80 \\xe6\\x97 \\xff"},
};

class PrintableText : public testing::TestWithParam<Shown> {};

TEST_P(PrintableText, ShowsUnprintableCharactersEscaped) { EXPECT_EQ(Printable(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Config, PrintableText, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Shown>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessary
