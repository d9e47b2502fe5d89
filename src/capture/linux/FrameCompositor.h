// SPDX-License-Identifier: MIT
// Draws window textures bottom to top over black into a texture the size of
// the captured area, in the overlay's OpenGL context. Frame textures come
// from a small pool: one no one else holds is drawn into again.
#pragma once

#include "capture/CaptureBackend.h"
#include "capture/X11CaptureFault.h"
#include "capture/linux/GlTarget.h"

#include <memory>
#include <optional>
#include <vector>

namespace orvane {

// One texture to draw, placed in root coordinates.
struct Layer {
    unsigned texture = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool topRowFirst = true;
    bool hasAlpha = false; // premultiplied; without alpha the texture is opaque
};

class CaptureTexture;

class FrameCompositor {
public:
    FrameCompositor(GlTarget target, CapturePreparation area);
    // The context must be current, or gone.
    ~FrameCompositor();
    FrameCompositor(const FrameCompositor&) = delete;
    FrameCompositor& operator=(const FrameCompositor&) = delete;

    // Builds the program; the context must be current.
    std::optional<X11CaptureFault> begin();
    // A complete frame with the row at t = 0 the area's top; none while every
    // pooled frame is still held elsewhere or the driver refuses a new one.
    std::shared_ptr<const FrameTexture> compose(const std::vector<Layer>& layers);

private:
    std::shared_ptr<CaptureTexture> freeFrame();
    void draw(const Layer& layer) const;

    GlTarget target_;
    CapturePreparation area_;
    GLuint program_ = 0;
    GLuint vertexArray_ = 0;
    GLint rectUniform_ = -1;
    GLint flipUniform_ = -1;
    GLint opaqueUniform_ = -1;
    std::vector<std::shared_ptr<CaptureTexture>> pool_;
};

} // namespace orvane
