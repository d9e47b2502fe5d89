// SPDX-License-Identifier: MIT
// Stereo 16-bit PCM WAV files from float samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct WavError {
    enum class Kind { tooLong, cannotOpen, cannotWrite };
    Kind kind = Kind::cannotWrite;
    std::string path;
    std::string description() const;
};

namespace Wav {

inline constexpr std::size_t headerSize = 44;

// Full scale is ±32767, so -32768 never occurs; a NaN sample is silence.
std::int16_t sampleToInt16(float x);

// The whole file in memory: header, then `frames` frames of left and right.
// None when the data would not fit the format's 32-bit sizes.
std::optional<std::vector<std::uint8_t>>
encodeStereo16(const float* left, const float* right, std::size_t frames, std::uint32_t sampleRate);

// Writes the bytes in one piece, replacing any file at `path`.
std::optional<WavError> writeFile(const std::vector<std::uint8_t>& bytes, const std::string& path);

} // namespace Wav

} // namespace orvane
