// SPDX-License-Identifier: MIT
#include "capture/X11CaptureFault.h"

namespace orvane {

std::string describe(X11CaptureFault fault) {
    switch (fault) {
    case X11CaptureFault::notX11:
        return "this is not an X11 session (Wayland capture is not supported yet)";
    case X11CaptureFault::connectionFailed:
        return "the X display could not be opened for capture";
    case X11CaptureFault::noComposite:
        return "the X server lacks the Composite extension 0.2";
    case X11CaptureFault::noDamage:
        return "the X server lacks the DAMAGE extension";
    case X11CaptureFault::contextNotGLX:
        return "the overlay's OpenGL context is not a GLX context";
    case X11CaptureFault::noTextureFromPixmap:
        return "the OpenGL driver lacks GLX_EXT_texture_from_pixmap";
    case X11CaptureFault::noPixmapConfig:
        return "no GLX configuration binds window pixmaps to textures";
    case X11CaptureFault::shaderFailed:
        return "the compositing shader did not build";
    case X11CaptureFault::contextLost:
        return "the OpenGL context was lost";
    case X11CaptureFault::displayLost:
        return "the X connection was lost";
    }
    return "unknown X11 capture fault";
}

} // namespace orvane
