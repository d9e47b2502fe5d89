// SPDX-License-Identifier: MIT
// A sound output device that pulls interleaved float frames from a render
// function on its own thread. The render function must not allocate, lock or
// make system calls.
#pragma once

#include <optional>
#include <string>

namespace orvane {

class AudioOutput {
public:
    struct Format {
        int sampleRate = 0;
        int channels = 0;
        int bufferFrames = 0;
        bool operator==(const Format&) const = default;
    };
    // Fills `frames` frames of `channels` interleaved floats in -1...1.
    using Render = void (*)(void* context, float* interleaved, int frames);

    virtual ~AudioOutput() = default;
    // Opens the default device, paused; none (with `error` filled) when it cannot.
    virtual std::optional<Format> open(Render render, void* context, int preferredRate,
                                       int channels, std::string* error) = 0;
    // Starts or pauses pulling from the render function.
    virtual void setRunning(bool running) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace orvane
