// SPDX-License-Identifier: MIT
// The short click played when the screen clears, synthesised in code so no
// sound file ships with the application.
#pragma once

#include "sound/AudioBuffer.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace orvane::ClearClick {

inline constexpr double sampleRate = 44100.0;
inline constexpr double duration = 0.055;
// sampleRate x duration, rounded up.
inline constexpr std::size_t sampleCount = 2426;

// The click at `sampleRate`: starts at exactly 0, peaks at 0.7. The same
// samples on every call and every machine.
std::vector<float> samples();

// The click as a one-channel buffer at `sampleRate`.
std::optional<AudioBuffer> makeBuffer();

// The click resampled linearly to `rate`, the same samples in two channels;
// none for a rate that is not finite, not positive, too high to be a sound
// device's, or too low to leave a single frame.
std::optional<AudioBuffer> playbackBuffer(double rate);

} // namespace orvane::ClearClick
