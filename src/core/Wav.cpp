// SPDX-License-Identifier: MIT
#include "core/Wav.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

namespace Wav {

namespace {

constexpr std::uint16_t channels = 2;
constexpr std::uint16_t bitsPerSample = 16;
constexpr std::uint16_t blockAlign = channels * bitsPerSample / 8;

void put(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xff));
    }
}

} // namespace

std::int16_t sampleToInt16(float x) {
    if (std::isnan(x)) {
        return 0;
    }
    if (x <= -1.0f) {
        return -32767;
    }
    return static_cast<std::int16_t>(std::trunc(std::min(static_cast<double>(x), 1.0) * 32767.0));
}

std::optional<std::vector<std::uint8_t>> encodeStereo16(const float* left, const float* right,
                                                        std::size_t frames,
                                                        std::uint32_t sampleRate) {
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - (headerSize - 8);
    if (frames > limit / blockAlign ||
        sampleRate > std::numeric_limits<std::uint32_t>::max() / blockAlign) {
        return std::nullopt;
    }
    const auto dataSize = static_cast<std::uint32_t>(frames * blockAlign);
    std::vector<std::uint8_t> out;
    out.reserve(headerSize + dataSize);
    put(out, "RIFF");
    put32(out, dataSize + 36);
    put(out, "WAVE");
    put(out, "fmt ");
    put32(out, 16);
    put16(out, 1);
    put16(out, channels);
    put32(out, sampleRate);
    put32(out, sampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, bitsPerSample);
    put(out, "data");
    put32(out, dataSize);
    for (std::size_t i = 0; i < frames; ++i) {
        put16(out, static_cast<std::uint16_t>(sampleToInt16(left[i])));
        put16(out, static_cast<std::uint16_t>(sampleToInt16(right[i])));
    }
    return out;
}

} // namespace Wav

} // namespace orvane
