// SPDX-License-Identifier: MIT
// One sound device shared by the clear click and the accordion: each player
// gets an input that looks like a device of its own, and the device's one
// callback adds the running inputs together. The first input to open sets the
// device's format; the device runs while any input runs and closes with the
// last. Opening, running and closing happen on the main thread; the callback
// takes no lock and allocates nothing.
#pragma once

#include "sound/AudioOutput.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <vector>

namespace orvane {

class AudioMixer {
public:
    static constexpr std::size_t inputCount = 2;

    explicit AudioMixer(AudioOutput& device);
    ~AudioMixer();
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    AudioOutput& input(std::size_t index) { return inputs_.at(index); }

private:
    class Input final : public AudioOutput {
    public:
        std::optional<Format> open(Render render, void* context, int preferredRate, int channels,
                                   std::string* error) override;
        void setRunning(bool running) override;
        // Returns once the render function has finished its last call.
        void close() override;
        bool isOpen() const override { return open_; }

        AudioMixer* mixer = nullptr;
        Render render = nullptr;
        void* context = nullptr;
        std::atomic<bool> running{false};
        // Set by the callback while it renders this input; close waits for it.
        std::atomic<bool> rendering{false};

    private:
        bool open_ = false;
    };

    static void mix(void* self, float* interleaved, int frames);
    void inputsChanged();

    AudioOutput& device_;
    std::optional<AudioOutput::Format> format_;
    std::array<Input, inputCount> inputs_;
    std::vector<float> scratch_; // one device buffer, sized when the device opens
};

} // namespace orvane
