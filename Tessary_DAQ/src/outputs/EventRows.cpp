#include "EventRows.h"

#include <bit>
#include <cstring>

namespace tessary {
namespace {

constexpr int kChannelsPerBlock = 16;
constexpr uint32_t kIndexRange = uint32_t{1} << 24;

template <typename T>
void Put(unsigned char* at, T value) {
    static_assert(std::endian::native == std::endian::little, "rows are stored as the memory holds them");
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

void RowBuilder::Configure(const BoardSettings& board) {
    layout_.channels = board.channelCount < 0              ? 0
                       : board.channelCount > kMaxChannels ? kMaxChannels
                                                           : board.channelCount;
    for (uint16_t& mask : printable_) mask = 0;
    for (int ch = 0; ch < layout_.channels; ++ch)
        if (ChannelEnabled(board, ch))
            printable_[ch / kChannelsPerBlock] |= static_cast<uint16_t>(1u << (ch % kChannelsPerBlock));
    wraps_ = 0;
    lastIndex_ = 0;
    lastTimestamp_ = 0;
}

void RowBuilder::Build(const EventRecord& event, unsigned char* row) {
    const uint32_t index = event.triggerIndex & (kIndexRange - 1);
    if (index < lastIndex_) {
        if (event.timestamp < lastTimestamp_)
            wraps_ = 0;
        else
            ++wraps_;
    }
    lastIndex_ = index;
    lastTimestamp_ = event.timestamp;
    Put(row + RowLayout::kTriggerIndex, event.triggerIndex);
    Put(row + RowLayout::kTriggerCount, wraps_ * kIndexRange + index);
    Put(row + RowLayout::kTimestampNs, event.timestamp * 8);

    const auto channels = static_cast<std::size_t>(layout_.channels);
    unsigned char* amplitudes = row + RowLayout::kAmplitude;
    unsigned char* flags = row + layout_.Flags();
    std::memset(amplitudes, 0, 2 * channels);
    std::memset(flags, 0, channels);
    uint8_t pileUp = 0;
    for (int b = 0; b < 4; ++b) {
        const EventBlock& block = event.blocks[b];
        if (block.pileUp != 0) pileUp = static_cast<uint8_t>(pileUp | 1u << b);
        unsigned present = block.channelMask & printable_[b];
        if (present == 0 || block.amplitudes == nullptr) continue;
        // As in the list: the k-th printed channel of a block has its k-th word.
        for (std::size_t word = 0; present != 0; ++word, present &= present - 1) {
            const auto ch = static_cast<std::size_t>(b * kChannelsPerBlock + std::countr_zero(present));
            const uint16_t value = block.amplitudes[word];
            Put(amplitudes + 2 * ch, static_cast<uint16_t>(value & 0x3FFF));
            flags[ch] = static_cast<uint8_t>(kRowPresent | (value & 0x8000 ? kRowSaturated : 0) |
                                             (value & 0x4000 ? kRowBit14 : 0));
        }
    }
    row[RowLayout::kPileUp] = pileUp;
}

}  // namespace tessary
