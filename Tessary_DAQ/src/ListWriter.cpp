#include "ListWriter.h"

#include <bit>
#include <cstring>

#include "TextColumns.h"

namespace tessary {
namespace {

constexpr int kChannelsPerBlock = 16;
constexpr int kBlocks = kMaxChannels / kChannelsPerBlock;

bool Enabled(const BoardSettings& board, int ch) {
    return (board.groupEnableMask[ch / kChannelsPerGroup] >> (ch % kChannelsPerGroup) & 1) != 0;
}

// A text right-aligned in `width` characters.
void PutText(char* field, std::size_t width, const char* text) {
    const std::size_t length = std::strlen(text);
    std::memset(field, ' ', width - length);
    std::memcpy(field + width - length, text, length);
}

}  // namespace

void ListWriter::Configure(const BoardSettings& board) {
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
        const bool enabled = Enabled(board, ch);
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
    PutRightAligned(out, kListIndexWidth, event.triggerIndex);
    PutRightAligned(out + kListIndexWidth + 1, kListTimestampWidth, event.timestamp);
    for (int b = 0; b < kBlocks; ++b) {
        const EventBlock& block = event.blocks[b];
        unsigned present = block.channelMask & printable_[b];
        if (present == 0 || block.amplitudes == nullptr) continue;
        // The block's words belong to the printed channels in order: the
        // k-th printed amplitude of a block is its k-th word.
        char* columns = out + kListLeadWidth + static_cast<std::size_t>(b) * kChannelsPerBlock * kListColumnWidth;
        for (std::size_t word = 0; present != 0; ++word, present &= present - 1) {
            const int ch = std::countr_zero(present);
            PutRightAligned(columns + static_cast<std::size_t>(ch) * kListColumnWidth, kListColumnWidth,
                            block.amplitudes[word]);
        }
    }
    return lineLength_;
}

}  // namespace tessary
