// SPDX-License-Identifier: MIT
// Why the X11 capture could not start or stopped: each becomes the detail of
// a failed stream, so the log says what the machine lacks.
#pragma once

#include <string>

namespace orvane {

enum class X11CaptureFault {
    notX11,              // a Wayland session, or no X display
    connectionFailed,    // the capture's own X connection could not be opened
    noComposite,         // Composite 0.2 or later is missing
    noDamage,            // the DAMAGE extension is missing
    contextNotGLX,       // the overlay's OpenGL context is not a GLX context
    noTextureFromPixmap, // GLX_EXT_texture_from_pixmap is missing
    noPixmapConfig,      // no GLX configuration binds 24-bit pixmaps to textures
    shaderFailed,        // the compositing program did not build
    contextLost,         // the OpenGL context can no longer be made current
    displayLost,         // the X connection broke
};

std::string describe(X11CaptureFault fault);

} // namespace orvane
