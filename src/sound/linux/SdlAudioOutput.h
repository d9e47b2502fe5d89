// SPDX-License-Identifier: MIT
// The default sound device through SDL2's audio subsystem: a float32
// callback device. SDL converts to whatever the hardware runs at, so the
// format obtained is the one asked for. Main thread only.
#pragma once

#include "sound/AudioOutput.h"

#include <cstdint>

namespace orvane {

class SdlAudioOutput final : public AudioOutput {
public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // The first open takes this object's hold on SDL's audio subsystem (kept
    // until destruction); SDL_AUDIODRIVER is read then unless another holder
    // already runs SDL audio. An open device is closed first.
    std::optional<Format> open(Render render, void* context, int preferredRate, int channels,
                               std::string* error) override;
    void setRunning(bool running) override;
    // Returns once the render function has finished its last call.
    void close() override;
    bool isOpen() const override { return device_ != 0; }

private:
    static void callback(void* userdata, std::uint8_t* stream, int bytes);

    std::uint32_t device_ = 0;
    bool holdsSubsystem_ = false;
    Render render_ = nullptr;
    void* context_ = nullptr;
    int channels_ = 0;
};

} // namespace orvane
