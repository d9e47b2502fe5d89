// SPDX-License-Identifier: MIT
// The accordion rendered offline: the scripted lid performance of the
// --accordion-render mode, the welcome window's hello chord and the
// self-check's steady chords.
#pragma once

#include "core/Wav.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

struct FrameRange {
    std::size_t begin = 0; // inclusive
    std::size_t end = 0;   // exclusive
    bool operator==(const FrameRange&) const = default;
};

struct RenderedAudio {
    std::vector<float> left;
    std::vector<float> right;
    double sampleRate = 0;
    // Where the sound must have died away.
    std::vector<FrameRange> restWindows;

    std::size_t frameCount() const { return std::min(left.size(), right.size()); }
};

class AccordionRender {
public:
    static constexpr double sampleRate = 48000.0;
    static constexpr std::size_t performanceFrames = 250800;

    static RenderedAudio renderPerformance();
    static RenderedAudio renderChord(int zone, int direction, double pressure, double seconds,
                                     double volume);
    static RenderedAudio renderHelloChord(double volume);

    // The whole WAV file; none when the audio does not fit the format.
    static std::optional<std::vector<std::uint8_t>> encodeWAV(const RenderedAudio& audio);
};

} // namespace orvane
