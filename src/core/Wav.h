// SPDX-License-Identifier: MIT
// Stereo 16-bit PCM WAV data from float samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

namespace Wav {

inline constexpr std::size_t headerSize = 44;

// Full scale is ±32767, so -32768 never occurs; a NaN sample is silence.
std::int16_t sampleToInt16(float x);

// The whole file in memory: header, then `frames` frames of left and right.
// None when the data would not fit the format's 32-bit sizes.
std::optional<std::vector<std::uint8_t>>
encodeStereo16(const float* left, const float* right, std::size_t frames, std::uint32_t sampleRate);

} // namespace Wav

} // namespace orvane
