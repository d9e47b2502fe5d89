// SPDX-License-Identifier: MIT
// Draws the fold over a compositor's frame with Orvane's own renderer: the
// output as the compositor composed it is read from its framebuffer (bottom
// row first, as GL draws), the fold is drawn over it and written back, and
// every piece of OpenGL state the compositor relies on is put back.
#pragma once

#include "render/linux/FoldRenderer.h"

#include <optional>
#include <string>

namespace orvane {

struct CompositorTarget {
    GLuint framebuffer = 0;
    // Where the output lies in that framebuffer, in GL's bottom-up pixels (one
    // framebuffer holds every screen on X11).
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class SheetPainter {
public:
    // Compiles the renderer in the current context; an error names what failed.
    static Result<SheetPainter, std::string> create();

    // Folds what the target holds; a held fold folds the desktop as it was read last.
    // Draws nothing it cannot set up.
    void draw(const CompositorTarget& target, const FoldFrameParams& frame, bool held);
    // The cover's picture (premultiplied BGRA, top row first) drawn over the whole output in
    // every fold from now on, scaled to it.
    void setDressing(const void* pixels, int width, int height);
    void clearDressing();
    // Gives back every texture between folds, the picture and the blur's too; the programs
    // stay.
    void releaseTextures();

private:
    explicit SheetPainter(FoldRenderer renderer) : renderer_(std::move(renderer)) {}
    bool ensureTextures(int width, int height);

    FoldRenderer renderer_;
    gl::RenderTexture source_; // the output, top row first
    gl::RenderTexture canvas_; // the output with the fold over it, top row first
    gl::RenderTexture dressing_;
};

} // namespace orvane
