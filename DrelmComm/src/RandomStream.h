// The emulator's random numbers: a small, fast generator (xoshiro256**)
// seeded through splitmix64, so that one 32-bit seed fixes a whole stream
// on every platform. Not for anything but emulation.
#pragma once

#include <cmath>
#include <cstdint>

namespace drelm::emu {

class RandomStream {
public:
    explicit RandomStream(uint64_t seed) {
        for (uint64_t& word : state_) word = SplitMix(seed);
    }

    uint64_t Next() {
        const uint64_t result = Rotl(state_[1] * 5, 7) * 9;
        const uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = Rotl(state_[3], 45);
        return result;
    }

    // Uniform in (0, 1]: never 0, so that its logarithm is finite.
    double UniformOpenZero() { return (static_cast<double>(Next() >> 11) + 1.0) * 0x1.0p-53; }

    // Exponentially distributed with the given mean.
    double Exponential(double mean) { return -std::log(UniformOpenZero()) * mean; }

    static uint64_t SplitMix(uint64_t& x) {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t state_[4];
};

}  // namespace drelm::emu
