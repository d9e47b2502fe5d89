// SPDX-License-Identifier: MIT
// The veil's frost: a small premultiplied texture the panel stretches over the
// screen, denser at the bottom and spreading up as the level grows.
#pragma once

#include <cstdint>
#include <vector>

namespace orvane {

inline constexpr int frostWidth = 378;
inline constexpr int frostHeight = 246;
inline constexpr int frostBytesPerRow = 4 * frostWidth;

// Value noise over a fixed 160 x 90 grid, smoothstepped between cells; u and v
// run from 0 to 1 across the texture, scale stretches the grid.
double smoothNoise(double u, double v, double scale);

// R, G, B, A (premultiplied) rows from the top; all zero at level 0 or below.
std::vector<std::uint8_t> frostPixels(double level);

} // namespace orvane
