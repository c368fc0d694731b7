// The program's configuration and run-state record and its per-board
// settings. Plain records: the configuration parser fills them once at
// start-up, the other modules read them and change the run-state fields.
#pragma once

#include <cstdint>

namespace tessary {

inline constexpr int kMaxBoards = 100;
inline constexpr int kGroupsPerBoard = 8;
inline constexpr int kChannelsPerGroup = 8;
inline constexpr int kMaxChannels = kGroupsPerBoard * kChannelsPerGroup;

// Text fields: size of the buffer, terminating zero included. A text value
// as written in the configuration file holds at most kTextFieldSize - 1
// characters. The two directory fields may hold the per-user folder before
// such a value, so they take a path as long as the platform takes one
// (PATH_MAX on Linux, its zero included).
inline constexpr int kTextFieldSize = 100;
inline constexpr int kPathFieldSize = 4096;
inline constexpr int kHostNameFieldSize = 64;

// Connection type codes of the OPEN line, passed unchanged to the library.
inline constexpr int32_t kConnectionUsb = 0;
inline constexpr int32_t kConnectionPci = 1;
inline constexpr int32_t kConnectionUsbR210 = 5;
inline constexpr int32_t kConnectionEthR330 = 6;
inline constexpr int32_t kConnectionUsbR330 = 7;

// Gate width in units of 16 ns that a new board starts with (4.096 us).
inline constexpr uint32_t kDefaultGateWidth = 256;

// Largest zero-suppression threshold: amplitudes have 14 bits.
inline constexpr int32_t kMaxZsThreshold = 0x3FFF;

// Settings of one board, from its OPEN line and the board keys. Every field
// has a defined value even when the file leaves it out.
struct BoardSettings {
    int32_t connectionType = kConnectionUsb;
    int32_t linkNumber = 0;
    char hostName[kHostNameFieldSize] = {};
    int32_t nodeNumber = 0;
    uint32_t baseAddress = 0;
    int32_t ioLevel = 1;            // 1 TTL, 0 NIM
    uint32_t gateWidth = kDefaultGateWidth;
    int32_t slidingScale = 0;       // off
    int32_t zsEnable = 0;           // off
    int32_t polarity = 1;           // positive
    int32_t inputRange = 0;         // 8 V, the wider range
    int32_t triggerMode = 0;        // gate width in use
    float gateValue = 0.0f;
    int32_t gateParalyzable = 0;
    int32_t spectrumShift = 0;      // 16k bins
    int32_t channelCount = 0;       // filled from the board once it is open
    uint8_t groupEnableMask[kGroupsPerBoard] = {};
    uint16_t zsThreshold[kGroupsPerBoard] = {};
};

// Channel ch (0 to 63) is enabled when bit ch mod 8 of group ch / 8's mask is set.
inline bool ChannelEnabled(const BoardSettings& board, int ch) {
    return (board.groupEnableMask[ch / kChannelsPerGroup] >> (ch % kChannelsPerGroup) & 1) != 0;
}

// Settings of the whole program and its run state. The boards live inside
// the record: entries 0 to boardCount-1 are valid.
struct DaqConfig {
    int32_t boardCount = 0;
    int32_t acquisitionRunning = 0;
    int32_t quitRequested = 0;
    int32_t continuousTrigger = 0;
    int32_t outfileRaw = 0;
    int32_t outfileList = 0;
    int32_t outfileHisto = 0;
    int32_t outfileHdf5 = 0;
    int32_t hdf5Compression = 1;  // deflate level of the HDF5 event files, 0: none
    char outfilePath[kPathFieldSize] = {};
    char outfileName[kTextFieldSize] = {};
    char gnuplotPath[kPathFieldSize] = {};
    int32_t outfileMaxSize = 0;
    int32_t periodicPlot = 0;
    int32_t statRefresh = 0;
    int32_t plotRequested = 0;
    int64_t resetTimeMs = 0;
    // Each board's dead- and total-time counters as read at the last start
    // or reset: the counters run from each board's own reset, so one
    // board's values mean nothing beside another's.
    uint32_t deadTimeAtReset[kMaxBoards] = {};
    uint32_t totalTimeAtReset[kMaxBoards] = {};
    uint16_t plotBoard = 0;
    uint16_t plotGroup = 0;
    uint8_t plotChannelMask = 0;
    BoardSettings boards[kMaxBoards] = {};
};

}  // namespace tessary
