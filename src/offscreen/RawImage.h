// SPDX-License-Identifier: MIT
// A frame read back from the GPU, and the errors of the offscreen tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

struct OffscreenError {
    enum class Kind {
        pngFailed,
        folderFailed,
        fileRefused,
        noDevice,
        textureFailed,
        commandBufferFailed,
        rendererFailed
    };
    Kind kind = Kind::noDevice;
    std::string detail; // the path, or the failing part's own description

    std::string description() const;
};

// B, G, R, A bytes per pixel, colour premultiplied by alpha, rows from the top.
struct RawImage {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t bytesPerRow = 0;
    std::vector<std::uint8_t> bytes;

    // Premultiplied colour over black is the colour itself: only alpha changes.
    void compositeOverBlack();
    bool operator==(const RawImage&) const = default;
};

} // namespace orvane
