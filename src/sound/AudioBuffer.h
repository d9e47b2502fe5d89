// SPDX-License-Identifier: MIT
// A short sound held in memory: float32 samples, one array per channel
// (non-interleaved), at one sample rate.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace orvane {

struct AudioBuffer {
    double sampleRate = 0;
    std::vector<std::vector<float>> channels;

    // The shortest channel's length, so a ragged buffer never reads past an end.
    std::size_t frameCount() const {
        if (channels.empty()) {
            return 0;
        }
        std::size_t frames = channels.front().size();
        for (const auto& channel : channels) {
            frames = std::min(frames, channel.size());
        }
        return frames;
    }

    double duration() const {
        return sampleRate > 0 ? static_cast<double>(frameCount()) / sampleRate : 0.0;
    }
};

} // namespace orvane
