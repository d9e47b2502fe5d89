// SPDX-License-Identifier: MIT
// One captured frame as a GPU texture, and the slot that hands the newest
// frame of the live stream to the renderer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace orvane {

// A texture of the built-in screen's picture in the overlay's OpenGL context;
// its memory lives as long as the last holder.
class FrameTexture {
public:
    virtual ~FrameTexture() = default;
    virtual unsigned textureName() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

struct FrameBox {
    std::shared_ptr<const FrameTexture> texture;
    std::uint64_t counter = 0;          // the stream's frame number, from 1
    std::uint64_t streamGeneration = 0; // the stream that made it
};

struct CaptureFrameSlot {
    std::optional<std::uint64_t> liveGeneration; // the stream whose frames are taken
    std::optional<FrameBox> frame;
    std::optional<std::uint64_t> frameGeneration;
    std::uint64_t frameCounter = 0;

    // Takes the frame only from the live stream; a retired stream's frame is dropped.
    void publish(FrameBox box);
    bool hasFrameForCurrentStream() const {
        return liveGeneration && frame && frameGeneration == liveGeneration;
    }
};

} // namespace orvane
