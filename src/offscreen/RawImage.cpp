// SPDX-License-Identifier: MIT
#include "offscreen/RawImage.h"

namespace orvane {

std::string OffscreenError::description() const {
    switch (kind) {
    case Kind::pngFailed:
        return "Could not write PNG to " + detail + ".";
    case Kind::folderFailed:
    case Kind::fileRefused:
    case Kind::rendererFailed:
        return detail;
    case Kind::noDevice:
        return "No OpenGL device is available.";
    case Kind::textureFailed:
        return "Could not create the render target.";
    case Kind::commandBufferFailed:
        return "Could not create a command buffer.";
    }
    return "No OpenGL device is available.";
}

void RawImage::compositeOverBlack() {
    if (bytes.size() < 4) {
        return;
    }
    for (std::size_t i = 3; i < bytes.size(); i += 4) {
        bytes[i] = 255;
    }
}

} // namespace orvane
