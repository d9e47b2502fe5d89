// SPDX-License-Identifier: MIT
// Measures of rendered sound, for checks that hold whatever the exact samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace orvane::test {

inline double rms(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

inline float peak(const std::vector<float>& x) {
    float most = 0;
    for (const float v : x) {
        most = std::max(most, std::abs(v));
    }
    return most;
}

inline bool allFiniteWithin(const std::vector<float>& x, double limit) {
    return std::all_of(x.begin(), x.end(),
                       [limit](float v) { return std::isfinite(v) && std::abs(v) <= limit; });
}

} // namespace orvane::test
