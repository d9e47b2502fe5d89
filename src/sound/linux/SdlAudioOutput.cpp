// SPDX-License-Identifier: MIT
#include "sound/linux/SdlAudioOutput.h"

#include <SDL.h>

#include <cstring>

namespace orvane {

namespace {

// About 10 ms at 48 kHz: short enough for a click to follow the lid.
constexpr int deviceBufferFrames = 512;

void report(std::string* error, const char* what) {
    if (error) {
        const char* detail = SDL_GetError();
        *error = std::string(what) + (detail && *detail ? std::string(": ") + detail : "");
    }
}

} // namespace

SdlAudioOutput::~SdlAudioOutput() {
    close();
    // SDL counts holders: audio shuts down with the last one, and a later
    // first open reads SDL_AUDIODRIVER afresh.
    if (holdsSubsystem_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

std::optional<AudioOutput::Format> SdlAudioOutput::open(Render render, void* context,
                                                        int preferredRate, int channels,
                                                        std::string* error) {
    close();
    if (!render || preferredRate <= 0 || channels <= 0 || channels > 255) {
        if (error) {
            *error = "unusable sound format requested";
        }
        return std::nullopt;
    }
    SDL_ClearError();
    // Held from the first open, not construction, so a driver chosen after
    // construction is the one used; a failed start holds nothing and retries.
    if (!holdsSubsystem_) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            report(error, "SDL audio could not start");
            return std::nullopt;
        }
        holdsSubsystem_ = true;
    }

    // Set before the device exists: SDL may call back as soon as it is unpaused.
    render_ = render;
    context_ = context;
    channels_ = channels;

    SDL_AudioSpec wanted;
    std::memset(&wanted, 0, sizeof wanted);
    wanted.freq = preferredRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = deviceBufferFrames;
    wanted.callback = &SdlAudioOutput::callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained;
    std::memset(&obtained, 0, sizeof obtained);
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        report(error, "no sound device could be opened");
        close();
        return std::nullopt;
    }
    return Format{.sampleRate = obtained.freq,
                  .channels = obtained.channels,
                  .bufferFrames = obtained.samples};
}

void SdlAudioOutput::setRunning(bool running) {
    if (device_ != 0) {
        SDL_PauseAudioDevice(device_, running ? 0 : 1);
    }
}

void SdlAudioOutput::close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    render_ = nullptr;
    context_ = nullptr;
    channels_ = 0;
}

void SdlAudioOutput::callback(void* userdata, std::uint8_t* stream, int bytes) {
    const auto* self = static_cast<const SdlAudioOutput*>(userdata);
    const int frameBytes = self->channels_ * static_cast<int>(sizeof(float));
    self->render_(self->context_, reinterpret_cast<float*>(stream), bytes / frameBytes);
}

} // namespace orvane
