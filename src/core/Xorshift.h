// SPDX-License-Identifier: MIT
// The 32-bit xorshift generator behind every seeded noise source (accordion
// noise and humanisation, frost, the click), so renders repeat exactly.
#pragma once

#include <cstdint>

namespace orvane {

class Xorshift32 {
public:
    // A zero state would stay zero for ever; callers pass fixed non-zero seeds.
    constexpr explicit Xorshift32(std::uint32_t seed) : state_(seed) {}

    constexpr std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

    // Uniform in [0, 1): the top 24 bits scaled by 2^-24.
    constexpr double uniform() { return static_cast<double>(next() >> 8) * (1.0 / 16777216.0); }

    // In [-1, 1]: the state read as a signed 32-bit integer over 2^31 - 1.
    constexpr double signedNoise() {
        return static_cast<double>(static_cast<std::int32_t>(next())) * (1.0 / 2147483647.0);
    }

    constexpr std::uint32_t state() const { return state_; }

private:
    std::uint32_t state_;
};

} // namespace orvane
