#include "Checksum.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

namespace tessary {
namespace {

constexpr uint32_t kPolynomial = 0x82F63B78u;  // reflected Castagnoli

// The eight-byte steps read words in the host's order, which must put the
// file's first byte lowest.
static_assert(std::endian::native == std::endian::little, "the CRC-32C steps need a little-endian host");

// Slicing by eight: table[k][b] is the CRC of byte b followed by k zero bytes.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeTables() {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t crc = b;
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (crc & 1 ? kPolynomial : 0);
        t[0][b] = crc;
    }
    for (uint32_t b = 0; b < 256; ++b)
        for (std::size_t k = 1; k < 8; ++k) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

constexpr auto kTables = MakeTables();

}  // namespace

uint32_t Crc32cPortable(uint32_t crc, const unsigned char* p, std::size_t n) {
    while (n >= 8) {
        uint32_t low = 0, high = 0;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + 4, 4);
        low ^= crc;  // little-endian hosts: the first byte is the low one
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
              kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
              kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
        p += 8;
        n -= 8;
    }
    while (n-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
    return crc;
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The processor's own CRC-32C instruction, about ten times the table's speed:
// raw data are checksummed at the rate the boards deliver them.
__attribute__((target("sse4.2"))) uint32_t AddHardware(uint32_t crc, const unsigned char* p, std::size_t n) {
    uint64_t c = crc;
    while (n >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, p, 8);
        c = __builtin_ia32_crc32di(c, word);
        p += 8;
        n -= 8;
    }
    auto c32 = static_cast<uint32_t>(c);
    while (n-- > 0) c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}

const bool kHardware = [] {
    __builtin_cpu_init();  // may run before the library's own constructor
    return __builtin_cpu_supports("sse4.2") != 0;
}();
#endif

}  // namespace

void Crc32c::Add(const void* data, std::size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
#if defined(__x86_64__) && defined(__GNUC__)
    if (kHardware) {
        state_ = AddHardware(state_, p, bytes);
        return;
    }
#endif
    state_ = Crc32cPortable(state_, p, bytes);
}

void FormatCrc32c(uint32_t value, char (&text)[9]) { std::snprintf(text, sizeof text, "%08x", value); }

}  // namespace tessary
