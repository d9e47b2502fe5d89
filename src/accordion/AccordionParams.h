// SPDX-License-Identifier: MIT
// The one record the main thread and the audio thread share: the musical
// controls the model writes and the voice generator reads once per block.
#pragma once

#include "core/Tuning.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

namespace orvane {

// Every field is an independent 32-bit atomic: a block that reads some fields
// from one update and some from the next is harmless, so no field has to
// change together with another and no sequence counter is needed.
struct AccordionParams {
    std::atomic<float> targetPressure{0.0f}; // 0...1
    std::atomic<std::int32_t> direction{0};  // -1 push (closing), +1 pull (opening), 0 none
    std::atomic<std::int32_t> zone{0};       // chord zone 0...5
    std::atomic<float> volume{static_cast<float>(Tuning::accordionVolumeDefault)};
    std::atomic<std::int32_t> enabled{0};
    // Wraps; the audio side accents every value it has not seen yet.
    std::atomic<std::int32_t> puffCounter{0};
    std::atomic<float> tremolo{0.0f}; // 0...1

    static_assert(std::atomic<float>::is_always_lock_free);
    static_assert(std::atomic<std::int32_t>::is_always_lock_free);
};

// A volume in 0...1; a NaN carries no level and gives `ifNaN` instead.
inline float clampedVolume(double volume, float ifNaN) {
    if (std::isnan(volume)) {
        return ifNaN;
    }
    return static_cast<float>(std::clamp(volume, 0.0, 1.0));
}

} // namespace orvane
