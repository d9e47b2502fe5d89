// SPDX-License-Identifier: MIT
// Measures of rendered sound, for checks that hold whatever the exact samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace orvane {

inline double rms(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

// How often the level, as RMS over `window` samples every `hop`, crosses its
// own mean over [begin, end): two crossings a cycle of a tremolo.
inline int levelMeanCrossings(const std::vector<float>& x, std::size_t begin, std::size_t end,
                              std::size_t window, std::size_t hop) {
    std::vector<double> curve;
    for (std::size_t at = begin; at + window <= end; at += hop) {
        curve.push_back(rms(x, at, at + window));
    }
    double mean = 0;
    for (const double v : curve) {
        mean += v / static_cast<double>(curve.size());
    }
    int crossings = 0;
    for (std::size_t i = 1; i < curve.size(); ++i) {
        crossings += (curve[i - 1] < mean) != (curve[i] < mean) ? 1 : 0;
    }
    return crossings;
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

// The largest jump between neighbouring samples: a click shows as a big one.
inline double largestStep(const std::vector<float>& x) {
    double step = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        step = std::max(step, std::abs(static_cast<double>(x[i]) - x[i - 1]));
    }
    return step;
}

// Power of the component at `hz` (Goertzel), independent of the window length.
inline double tonePower(const std::vector<float>& x, std::size_t begin, std::size_t end, double hz,
                        double sampleRate) {
    const double w = 2.0 * std::numbers::pi * hz / sampleRate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    const double n = static_cast<double>(end - begin);
    return end > begin ? power / (n * n) : 0.0;
}

} // namespace orvane
