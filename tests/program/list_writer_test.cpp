// The list lines and histogram lines built column by column are the same
// bytes as plain formatted printing of every column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HistogramText.h"
#include "ListReference.h"
#include "ListWriter.h"

namespace tessary {
namespace {

BoardSettings Board(int channels, std::vector<uint8_t> groups) {
    BoardSettings board;
    board.channelCount = channels;
    for (std::size_t g = 0; g < groups.size(); ++g) board.groupEnableMask[g] = groups[g];
    return board;
}

TEST(ListWriter, SameBytesAsFormattedPrinting) {
    const BoardSettings boards[] = {
        Board(64, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), Board(64, {0x5A, 0, 0xFF, 0x81, 0x0F, 0, 0xF0, 1}),
        Board(32, {0xFF, 0x3C, 0, 0xFF}), Board(32, {}), Board(8, {0x7F}), Board(0, {})};
    uint32_t seed = 1;
    for (const BoardSettings& board : boards) {
        ListWriter writer;
        writer.Configure(board);
        ASSERT_EQ(std::string(writer.Header(), writer.HeaderLength()), reference::ListHeader(board.channelCount));
        const reference::RandomEvents events(board, 3000, seed++);
        char line[kListLineMax];
        for (const EventRecord& event : events.Events()) {
            const std::size_t length = writer.Line(event, line);
            ASSERT_EQ(length, writer.LineLength());
            ASSERT_EQ(std::string(line, length), reference::ListLine(event, board));
        }
    }
}

TEST(ListWriter, ColumnsOfTheKnownCases) {
    BoardSettings board = Board(32, {0x07});  // channels 0 to 2 enabled
    const uint16_t words[] = {100, 0x8010};
    EventRecord event{};
    event.triggerIndex = 7;
    event.timestamp = 12;
    event.blocks[0] = EventBlock{0x0005, 0, 0, 0, words};
    ListWriter writer;
    writer.Configure(board);
    char line[kListLineMax];
    const std::string text(line, writer.Line(event, line));
    std::string expected = std::string(13, ' ') + "7 " + std::string(18, ' ') + "12 " +
                           "       100        ZS     32784";
    for (int ch = 3; ch < 32; ++ch) expected += "       N/A";
    EXPECT_EQ(text, expected + "\n");
}

TEST(HistogramText, SameBytesAsFormattedPrintingForEverySpectrumLength) {
    std::vector<double> spectrum(16384);
    for (std::size_t b = 0; b < spectrum.size(); ++b) spectrum[b] = static_cast<double>(b * b % 100003) + 0.75;
    spectrum[5] = 42;
    spectrum[6] = 1e15;
    for (int shift = 0; shift <= 4; ++shift) {
        const int bins = SpectrumBins(shift);
        ASSERT_EQ(bins, 16384 >> shift);
        std::string text;
        char line[kHistogramLineMax];
        for (int b = 0; b < bins; ++b) text.append(line, HistogramLine(line, b, spectrum[b]));
        ASSERT_EQ(text, reference::Histogram(spectrum.data(), bins)) << "shift " << shift;
    }
    char line[kHistogramLineMax];
    EXPECT_EQ(std::string(line, HistogramLine(line, 5, 42)), "      5\t          42\n");
    EXPECT_EQ(std::string(line, HistogramLine(line, 0, -3.0)), "      0\t           0\n");  // never out of range
}

}  // namespace
}  // namespace tessary
