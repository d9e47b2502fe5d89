// SPDX-License-Identifier: MIT
// The picture the panel folds: the capture's latest frame, or without one the
// sample desktop, uploaded once as a texture.
#pragma once

#include "capture/FrameBox.h"
#include "capture/RecentFrames.h"
#include "render/linux/FoldRenderer.h"
#include "render/linux/GlObjects.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orvane {

struct SampleImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra; // premultiplied, rows from the top
};

class PanelSource {
public:
    PanelSource(std::function<std::optional<FrameBox>()> latest, SampleImage sample);

    // With the panel's context current. The frames handed out last stay alive while kept
    // among the recent ones.
    std::optional<SourceTexture> operator()();
    const RecentFrames& recentFrames() const { return recent_; }
    // Frees the sample's texture; with the panel's context current.
    void releaseGl() {
        sampleTexture_.reset();
        recent_.clear();
    }

private:
    std::function<std::optional<FrameBox>()> latest_;
    SampleImage sample_;
    RecentFrames recent_;
    gl::Texture sampleTexture_;
};

} // namespace orvane
