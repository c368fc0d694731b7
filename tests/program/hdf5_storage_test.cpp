// How a board's HDF5 event file is stored as it grows: rows flushed a
// little at a time (a slow board, a flush a second) and many chunks at a
// time (a fast one), compressed or not. Every row reads back as sent, and
// the file stays within the room its rows need: a chunk stored again at
// each flush must not leave a copy behind each time.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "../emulator/TempFolder.h"
#include "EventWords.h"
#include "Hdf5Output.h"
#include "OutputFiles.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using tessary_test::AppendEvent;
using tessary_test::Block;
using tessary_test::EventShape;

struct StorageCase {
    const char* name;
    int level;
    int eventsPerFlush;
    int flushes;
};

// Pulse heights spread over a few hundred values around 3000, the way a
// line in a spectrum is: compressible, though not by much.
uint16_t Amplitude(std::mt19937& random) {
    std::normal_distribution<double> line(3000.0, 150.0);
    const double value = line(random);
    return static_cast<uint16_t>(value < 0 ? 0 : value > 0x3FFF ? 0x3FFF : value);
}

struct Written {
    uintmax_t bytes = 0;
    std::vector<uint32_t> index;       // sent trigger indices, in order
    std::vector<uint16_t> amplitude7;  // channel 7's amplitude of each event
};

// Writes `events` events in flushes of `perFlush`, each flush as transfers of
// at most 500 events, and closes the file.
Written WriteFile(const fs::path& name, int level, int perFlush, int flushes) {
    auto config = std::make_unique<DaqConfig>();
    config->boardCount = 1;
    config->hdf5Compression = level;
    BoardSettings& board = config->boards[0];
    board.channelCount = 64;
    board.spectrumShift = 4;  // 1k bins
    for (uint8_t& group : board.groupEnableMask) group = 0xFF;

    Hdf5Output file;
    EXPECT_TRUE(file.Open(name.c_str(), 0, *config, RunDescription{}, false));
    std::mt19937 random(7);
    Written sent;
    uint32_t trigger = 0;
    std::vector<uint32_t> words;
    for (int f = 0; f < flushes; ++f) {
        for (int left = perFlush; left > 0;) {
            words.clear();
            uint32_t events = 0;
            for (; events < 500 && left > 0; ++events, --left, ++trigger) {
                EventShape event;
                event.triggerIndex = trigger;
                event.timestamp = 125ull * trigger;
                for (int b = 0; b < 4; ++b) {
                    event.blocks[b] = Block(0xFFFF);
                    for (int k = 0; k < 16; ++k) event.blocks[b]->amplitudes.push_back(Amplitude(random));
                }
                sent.index.push_back(trigger);
                sent.amplitude7.push_back(event.blocks[0]->amplitudes[7]);
                AppendEvent(words, event);
            }
            EXPECT_TRUE(file.Append(words.data(), static_cast<uint32_t>(words.size() * 4), events));
        }
        EXPECT_TRUE(file.Flush());
    }
    WrittenFile record;
    EXPECT_TRUE(file.Close(record));
    sent.bytes = fs::file_size(name);
    EXPECT_EQ(record.bytes, sent.bytes);
    return sent;
}

// /events' trigger_index and channel 7's amplitude, as a reader sees them.
void ReadBack(const fs::path& name, std::vector<uint32_t>& index, std::vector<uint16_t>& amplitude7) {
    const hid_t file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(file, 0);
    const hid_t events = H5Dopen2(file, "events", H5P_DEFAULT);
    const hid_t space = H5Dget_space(events);
    hsize_t rows = 0;
    H5Sget_simple_extent_dims(space, &rows, nullptr);
    const hsize_t channels = 64;
    const hid_t amplitudes = H5Tarray_create2(H5T_NATIVE_UINT16, 1, &channels);
    struct Row {
        uint32_t index;
        uint16_t amplitude[64];
    };
    const hid_t type = H5Tcreate(H5T_COMPOUND, sizeof(Row));
    H5Tinsert(type, "trigger_index", offsetof(Row, index), H5T_NATIVE_UINT32);
    H5Tinsert(type, "amplitude", offsetof(Row, amplitude), amplitudes);
    std::vector<Row> read(rows);
    EXPECT_GE(H5Dread(events, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, read.data()), 0);
    for (const Row& row : read) {
        index.push_back(row.index);
        amplitude7.push_back(row.amplitude[7]);
    }
    H5Tclose(type);
    H5Tclose(amplitudes);
    H5Sclose(space);
    H5Dclose(events);
    H5Fclose(file);
}

TEST(Hdf5StorageTest, RowsReadBackAsSentAndTheFileKeepsToTheirRoom) {
    const StorageCase cases[] = {
        {"slow board, compressed", 1, 40, 100},
        {"slow board, uncompressed", 0, 40, 100},
        {"fast board, compressed", 1, 7000, 6},
        {"fast board, uncompressed", 0, 7000, 6},
    };
    emulator_test::TempFolder folder;
    // The file with no row: its attributes, spectra and the dataset's index.
    const uintmax_t empty = WriteFile(folder.path() / "empty.h5", 1, 0, 1).bytes;
    const uintmax_t rowBytes = 21 + 3 * 64, chunkRows = (uintmax_t{1} << 20) / rowBytes;
    uintmax_t fastSizes[2] = {};
    for (const StorageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path name = folder.path() / (std::string(c.name) + ".h5");
        const Written sent = WriteFile(name, c.level, c.eventsPerFlush, c.flushes);
        std::vector<uint32_t> index;
        std::vector<uint16_t> amplitude7;
        ReadBack(name, index, amplitude7);
        EXPECT_EQ(index, sent.index);
        EXPECT_EQ(amplitude7, sent.amplitude7);
        // Each chunk at its full size at most, and once more for a chunk
        // stored in part before it filled; the index grows a little too.
        const uintmax_t chunks = (sent.index.size() + chunkRows - 1) / chunkRows;
        const uintmax_t room = chunks * chunkRows * rowBytes * (c.level > 0 ? 2 : 1);
        EXPECT_LE(sent.bytes, empty + room + 64 * 1024) << chunks << " chunks";
        if (c.eventsPerFlush > 1000) fastSizes[c.level > 0] = sent.bytes;
    }
    // Compression is on where asked: the chunks of lines compress.
    EXPECT_LT(fastSizes[1] - empty, (fastSizes[0] - empty) * 3 / 4);
}

}  // namespace
}  // namespace tessary
