#include "ListWriter.h"

#include <bit>
#include <cstring>

#include "TextColumns.h"

namespace tessary {
namespace {

constexpr int kChannelsPerBlock = 16;
constexpr int kBlocks = kMaxChannels / kChannelsPerBlock;

// A text right-aligned in `width` characters.
void PutText(char* field, std::size_t width, const char* text) {
    const std::size_t length = std::strlen(text);
    std::memset(field, ' ', width - length);
    std::memcpy(field + width - length, text, length);
}

// Writes `value` right-aligned into the field that ends at `end`, over the
// template's blanks, which stay in front of it.
char* PutDigitsBefore(char* end, uint64_t value) {
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return end;
}

}  // namespace

// The last 8 characters of the column of every possible amplitude word,
// made once (the first time a board is configured, at start-up): a column
// is then one load and one store. 512 KiB; the words of real data stay in a
// few parts of it.
struct AmplitudeColumns {
    static constexpr std::size_t kTail = 8;
    AmplitudeColumns() {
        char column[kListColumnWidth];
        for (uint32_t word = 0; word <= 0xFFFF; ++word) {
            PutRightAligned(column, kListColumnWidth, word);
            std::memcpy(&tails[word], column + kListColumnWidth - kTail, kTail);
        }
    }
    uint64_t tails[0x10000];
};

namespace {
const AmplitudeColumns& Amplitudes() {
    static const AmplitudeColumns table;
    return table;
}
}  // namespace

void ListWriter::Configure(const BoardSettings& board) {
    amplitudes_ = &Amplitudes();
    channels_ = board.channelCount < 0 ? 0 : board.channelCount > kMaxChannels ? kMaxChannels : board.channelCount;
    const auto columns = static_cast<std::size_t>(channels_) * kListColumnWidth;
    lineLength_ = kListLeadWidth + columns + 1;
    headerLength_ = kListLeadWidth + columns + 2;

    char* h = header_;
    PutText(h, kListIndexWidth, "Trigger index");
    h[kListIndexWidth] = ' ';
    PutText(h + kListIndexWidth + 1, kListTimestampWidth, "Timestamp");
    h[kListLeadWidth - 1] = ' ';
    std::memset(template_, ' ', kListLeadWidth);
    for (int b = 0; b < kBlocks; ++b) printable_[b] = 0;
    for (int ch = 0; ch < channels_; ++ch) {
        char* column = h + kListLeadWidth + static_cast<std::size_t>(ch) * kListColumnWidth;
        PutText(column, 7, "Ch.");
        column[7] = ' ';
        PutRightAligned(column + 8, 2, static_cast<uint64_t>(ch));
        const bool enabled = ChannelEnabled(board, ch);
        PutText(template_ + kListLeadWidth + static_cast<std::size_t>(ch) * kListColumnWidth, kListColumnWidth,
                enabled ? " ZS" : "N/A");
        if (enabled) printable_[ch / kChannelsPerBlock] |= static_cast<uint16_t>(1u << (ch % kChannelsPerBlock));
    }
    h[headerLength_ - 2] = '\n';
    h[headerLength_ - 1] = '\n';
    template_[lineLength_ - 1] = '\n';
}

std::size_t ListWriter::Line(const EventRecord& event, char* out) const {
    std::memcpy(out, template_, lineLength_);
    // Both numbers always fit their fields: 10 and 20 digits at most.
    PutDigitsBefore(out + kListIndexWidth, event.triggerIndex);
    PutDigitsBefore(out + kListIndexWidth + 1 + kListTimestampWidth, event.timestamp);
    for (int b = 0; b < kBlocks; ++b) {
        const EventBlock& block = event.blocks[b];
        unsigned present = block.channelMask & printable_[b];
        if (present == 0 || block.amplitudes == nullptr) continue;
        // The block's words belong to the printed channels in order: the
        // k-th printed amplitude of a block is its k-th word.
        char* columns = out + kListLeadWidth + static_cast<std::size_t>(b) * kChannelsPerBlock * kListColumnWidth;
        for (std::size_t word = 0; present != 0; ++word, present &= present - 1) {
            const int ch = std::countr_zero(present);
            std::memcpy(columns + static_cast<std::size_t>(ch + 1) * kListColumnWidth - AmplitudeColumns::kTail,
                        &amplitudes_->tails[block.amplitudes[word]], AmplitudeColumns::kTail);
        }
    }
    return lineLength_;
}

}  // namespace tessary
