// SPDX-License-Identifier: MIT
#include "cover/VeilFrost.h"

#include "core/Xorshift.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvane {
namespace {

constexpr int gridColumns = 160;
constexpr int gridRows = 90;
// A fixed seed so the frost looks the same on every run.
constexpr std::uint32_t gridSeed = 0x9E3779B9u;
// The frost's tint before premultiplication: a cold white.
constexpr std::array<double, 4> tint{240.0, 246.0, 250.0, 255.0};

using Grid = std::array<float, gridColumns * gridRows>;

const Grid& noiseGrid() {
    static const Grid grid = [] {
        Grid cells{};
        Xorshift32 random{gridSeed};
        for (float& cell : cells) {
            cell = static_cast<float>(random.next() % 10000u) / 10000.0f;
        }
        return cells;
    }();
    return grid;
}

int wrap(long long index, int size) {
    const long long rest = index % size;
    return static_cast<int>(rest < 0 ? rest + size : rest);
}

double cell(long long column, long long row) {
    return noiseGrid()[static_cast<std::size_t>(wrap(row, gridRows) * gridColumns +
                                                wrap(column, gridColumns))];
}

double smoothstep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

} // namespace

double smoothNoise(double u, double v, double scale) {
    const double fx = u * (gridColumns - 1) * scale;
    const double fy = v * (gridRows - 1) * scale;
    const double floorX = std::floor(fx);
    const double floorY = std::floor(fy);
    const auto ix = static_cast<long long>(floorX);
    const auto iy = static_cast<long long>(floorY);
    const double sx = smoothstep(fx - floorX);
    const double sy = smoothstep(fy - floorY);
    const double top = (1.0 - sx) * cell(ix, iy) + sx * cell(ix + 1, iy);
    const double bottom = (1.0 - sx) * cell(ix, iy + 1) + sx * cell(ix + 1, iy + 1);
    return (1.0 - sy) * top + sy * bottom;
}

std::vector<std::uint8_t> frostPixels(double level) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frostBytesPerRow) * frostHeight, 0);
    // NaN fails this test too, and counts as no frost.
    if (!(level > 0)) {
        return bytes;
    }
    for (int y = 0; y < frostHeight; ++y) {
        const double v = static_cast<double>(y) / (frostHeight - 1);
        for (int x = 0; x < frostWidth; ++x) {
            const double u = static_cast<double>(x) / (frostWidth - 1);
            const double n = 0.65 * smoothNoise(u, v, 0.25) + 0.35 * smoothNoise(u, v, 1.0);
            double coverage = 1.0;
            if (level < 1.0) {
                // The frost edge climbs from the bottom; the noise roughens it.
                const double t =
                    std::clamp((0.45 * v + 0.55 * n - (1.0 - level - 0.08)) / 0.16, 0.0, 1.0);
                coverage = smoothstep(t);
            }
            if (coverage <= 0) {
                continue;
            }
            const double alpha = ((n - 0.5) * 0.08 + 0.22) * coverage;
            std::uint8_t* pixel = &bytes[static_cast<std::size_t>(y) * frostBytesPerRow +
                                         static_cast<std::size_t>(x) * 4];
            for (std::size_t channel = 0; channel < 4; ++channel) {
                pixel[channel] = static_cast<std::uint8_t>(std::lround(alpha * tint[channel]));
            }
        }
    }
    return bytes;
}

} // namespace orvane
