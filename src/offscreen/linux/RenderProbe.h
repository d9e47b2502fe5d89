// SPDX-License-Identifier: MIT
// Pictures of the fold read back for checking: flat sources, one frame drawn
// into a fresh target, and their comparison. The self-check and the GPU tests
// share them; the caller's context must be current.
#pragma once

#include "render/FoldUniforms.h"
#include "render/linux/FoldRenderer.h"
#include "render/linux/GlObjects.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes; // B, G, R, A, rows from the top

    const std::uint8_t* at(int x, int y) const;
    int luma(int x, int y) const;
};

// A source of one colour, uploaded as a texture.
struct FlatSource {
    FlatSource(int width, int height, std::uint8_t value, std::uint8_t alpha = 255);
    bool ok() const { return static_cast<bool>(texture.texture); }
    SourceTexture source() const { return {texture.texture.get(), texture.width, texture.height}; }
    gl::RenderTexture texture;
};

// The fold's usual look at `angle`, standing still and fully shown.
FoldFrameParams probeFrame(double angle, FoldStyle style = FoldStyle::vellum);

// None when the target cannot be made.
std::optional<Pixels> drawFrame(FoldRenderer& renderer, const SourceTexture& source,
                                const FoldFrameParams& params, int width, int height);

// In byte units, over every channel; infinite when the sizes differ.
double meanDifference(const Pixels& a, const Pixels& b);

} // namespace orvane
