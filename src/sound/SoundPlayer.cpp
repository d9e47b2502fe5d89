// SPDX-License-Identifier: MIT
#include "sound/SoundPlayer.h"

#include "core/Tuning.h"
#include "sound/ClearClick.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace orvane {

namespace {

// NaN fails both comparisons and so lands on silence.
float clampedVolume(double volume) {
    if (!(volume > 0)) {
        return 0.0f;
    }
    return volume < 1 ? static_cast<float>(volume) : 1.0f;
}

bool outputFormatUsable(const AudioOutput::Format& format) {
    return format.sampleRate > 0 && format.channels > 0;
}

} // namespace

SoundPlayer::SoundPlayer(Services services) : services_(std::move(services)) {}

SoundPlayer::~SoundPlayer() {
    if (stopTask_) {
        services_.scheduler.cancel(*stopTask_);
    }
    stopEngine();
}

bool SoundPlayer::uiSoundsEnabled() const {
    return !services_.uiSoundsEnabled || services_.uiSoundsEnabled();
}

void SoundPlayer::prepare() {
    if (!convertedClick_) {
        if (auto buffer = ClearClick::playbackBuffer(playerSampleRate)) {
            convertedClick_ = std::make_shared<const AudioBuffer>(std::move(*buffer));
        }
    }
}

void SoundPlayer::playClick(double volume) {
    if (!uiSoundsEnabled()) {
        return;
    }
    prepare();
    if (convertedClick_) {
        playBuffer(convertedClick_, volume);
    }
}

void SoundPlayer::play(const AudioBuffer& buffer) {
    if (!uiSoundsEnabled()) {
        return;
    }
    if (!std::isfinite(buffer.sampleRate) || buffer.sampleRate <= 0 || buffer.frameCount() == 0) {
        return;
    }
    playBuffer(std::make_shared<const AudioBuffer>(buffer), 1.0);
}

void SoundPlayer::playBuffer(std::shared_ptr<const AudioBuffer> buffer, double volume) {
    if (!ensureStarted()) {
        return;
    }
    reclaimFinishedVoices();
    const auto free = std::find_if(voices_.begin(), voices_.end(), [](const Voice& v) {
        return v.state.load(std::memory_order_acquire) == voiceFree;
    });
    if (free == voices_.end()) {
        return;
    }
    const auto index = static_cast<std::size_t>(free - voices_.begin());
    Voice& voice = *free;
    voice.left = buffer->channels.front().data();
    voice.right = buffer->channels.size() > 1 ? buffer->channels[1].data() : voice.left;
    voice.frames = buffer->frameCount();
    voice.step = buffer->sampleRate / outputRate_;
    voice.position = 0;
    voice.gain = clampedVolume(volume);
    voiceBuffers_[index] = buffer;
    voice.state.store(voiceReady, std::memory_order_release);
    scheduleStop(buffer->duration());
}

bool SoundPlayer::ensureStarted() {
    if (running_ && services_.output.isOpen()) {
        return true;
    }
    if (running_) {
        stopEngine(); // the device went away under us
    }
    // A failed start keeps nothing, so the next sound tries again.
    std::string error;
    outputChannels_.store(playerChannels, std::memory_order_release);
    const auto format = services_.output.open(&SoundPlayer::renderThunk, this, playerSampleRate,
                                              playerChannels, &error);
    if (!format) {
        return false;
    }
    if (!outputFormatUsable(*format)) {
        services_.output.close();
        return false;
    }
    outputRate_ = format->sampleRate;
    outputChannels_.store(format->channels, std::memory_order_release);
    services_.output.setRunning(true);
    running_ = true;
    return true;
}

void SoundPlayer::scheduleStop(double soundDuration) {
    // Waits for the longest sound, not the latest: a click after the hello
    // chord must not cut the chord short.
    const double now = services_.now ? services_.now() : 0.0;
    soundingUntil_ = std::max(soundingUntil_, now + soundDuration);
    if (stopTask_) {
        services_.scheduler.cancel(*stopTask_);
    }
    stopTask_ =
        services_.scheduler.after(soundingUntil_ - now + Tuning::audioSilenceTimeout, [this] {
            stopTask_.reset();
            stopEngine();
        });
}

void SoundPlayer::stopEngine() {
    if (running_ || services_.output.isOpen()) {
        services_.output.setRunning(false);
        services_.output.close();
    }
    running_ = false;
    // The output thread no longer runs, so every voice is ours again.
    for (std::size_t i = 0; i < maxVoices; ++i) {
        voices_[i].state.store(voiceFree, std::memory_order_relaxed);
        voiceBuffers_[i].reset();
    }
}

void SoundPlayer::reclaimFinishedVoices() {
    for (std::size_t i = 0; i < maxVoices; ++i) {
        if (voices_[i].state.load(std::memory_order_acquire) == voiceDone) {
            voiceBuffers_[i].reset();
            voices_[i].state.store(voiceFree, std::memory_order_relaxed);
        }
    }
}

void SoundPlayer::renderThunk(void* context, float* interleaved, int frames) {
    static_cast<SoundPlayer*>(context)->render(interleaved, frames);
}

void SoundPlayer::render(float* interleaved, int frames) {
    const int channels = outputChannels_.load(std::memory_order_acquire);
    if (frames <= 0 || channels <= 0) {
        return;
    }
    const auto samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    std::fill(interleaved, interleaved + samples, 0.0f);
    for (Voice& voice : voices_) {
        if (voice.state.load(std::memory_order_acquire) == voiceReady) {
            mixVoice(voice, interleaved, frames, channels);
        }
    }
    // Overlapping sounds may sum past full scale; a bad sample must not reach the device.
    for (std::size_t i = 0; i < samples; ++i) {
        const float s = interleaved[i];
        interleaved[i] = std::isnan(s) ? 0.0f : std::clamp(s, -1.0f, 1.0f);
    }
}

void SoundPlayer::mixVoice(Voice& voice, float* interleaved, int frames, int channels) {
    const std::size_t last = voice.frames - 1;
    for (int k = 0; k < frames; ++k) {
        if (voice.position > static_cast<double>(last)) {
            voice.state.store(voiceDone, std::memory_order_release);
            return;
        }
        const auto i0 = static_cast<std::size_t>(voice.position);
        const std::size_t i1 = std::min(i0 + 1, last);
        const auto f = static_cast<float>(voice.position - static_cast<double>(i0));
        const float left = voice.left[i0] + (voice.left[i1] - voice.left[i0]) * f;
        const float right = voice.right[i0] + (voice.right[i1] - voice.right[i0]) * f;
        float* frame = interleaved + static_cast<std::ptrdiff_t>(k) * channels;
        if (channels == 1) {
            frame[0] += voice.gain * 0.5f * (left + right);
        } else {
            frame[0] += voice.gain * left;
            frame[1] += voice.gain * right;
        }
        voice.position += voice.step;
    }
    if (voice.position > static_cast<double>(last)) {
        voice.state.store(voiceDone, std::memory_order_release);
    }
}

} // namespace orvane
