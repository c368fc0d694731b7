// CRC-32C as other tools compute it, whatever the pieces the data come in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Checksum.h"

namespace tessary {
namespace {

struct Vector {
    std::string data;
    uint32_t crc;
};

// The catalogue check value and the iSCSI test patterns.
std::vector<Vector> KnownVectors() {
    std::string ascending(32, '\0'), descending(32, '\0');
    for (int i = 0; i < 32; ++i) ascending[i] = static_cast<char>(i), descending[i] = static_cast<char>(31 - i);
    return {{"123456789", 0xE3069283u},
            {std::string(32, '\0'), 0x8A9136AAu},
            {std::string(32, '\xFF'), 0x62A8AB43u},
            {ascending, 0x46DD794Eu},
            {descending, 0x113FDB5Cu},
            {"", 0u}};
}

TEST(Crc32cTest, KnownValuesInAnySplitAndByBothForms) {
    for (const Vector& v : KnownVectors()) {
        for (std::size_t split = 0; split <= v.data.size(); ++split) {
            Crc32c crc;
            crc.Add(v.data.data(), split);
            crc.Add(v.data.data() + split, v.data.size() - split);
            EXPECT_EQ(crc.Value(), v.crc) << "split at " << split;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(v.data.data());
        EXPECT_EQ(~Crc32cPortable(~0u, bytes, v.data.size()), v.crc);
    }
    char text[9];
    FormatCrc32c(0x0A0B0C0Du, text);
    EXPECT_STREQ(text, "0a0b0c0d");
}

}  // namespace
}  // namespace tessary
