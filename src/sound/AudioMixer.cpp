// SPDX-License-Identifier: MIT
#include "sound/AudioMixer.h"

#include <algorithm>

namespace orvane {

AudioMixer::AudioMixer(AudioOutput& device) : device_(device) {
    for (Input& input : inputs_) {
        input.mixer = this;
    }
}

AudioMixer::~AudioMixer() {
    for (Input& input : inputs_) {
        input.close();
    }
}

std::optional<AudioOutput::Format> AudioMixer::Input::open(Render renderWith, void* with,
                                                           int preferredRate, int channels,
                                                           std::string* error) {
    close();
    if (renderWith == nullptr) {
        if (error != nullptr) {
            *error = "no render function";
        }
        return std::nullopt;
    }
    AudioMixer& m = *mixer;
    if (!m.device_.isOpen()) {
        m.format_ = m.device_.open(&AudioMixer::mix, &m, preferredRate, channels, error);
        if (!m.format_) {
            return std::nullopt;
        }
        m.scratch_.assign(static_cast<std::size_t>(std::max(m.format_->bufferFrames, 1) *
                                                   std::max(m.format_->channels, 1)),
                          0.0f);
    }
    // Not rendered before it runs: the callback reads these only after `running`.
    render = renderWith;
    context = with;
    open_ = true;
    return m.format_;
}

void AudioMixer::Input::setRunning(bool on) {
    if (!open_) {
        return;
    }
    running.store(on);
    mixer->inputsChanged();
}

void AudioMixer::Input::close() {
    if (!open_) {
        return;
    }
    running.store(false);
    // The callback either saw the input stopped, or is rendering it now: wait that out.
    while (rendering.load()) {
    }
    open_ = false;
    render = nullptr;
    context = nullptr;
    mixer->inputsChanged();
}

void AudioMixer::inputsChanged() {
    const bool anyOpen =
        std::any_of(inputs_.begin(), inputs_.end(), [](const Input& in) { return in.isOpen(); });
    if (!anyOpen) {
        device_.close();
        format_.reset();
        return;
    }
    device_.setRunning(std::any_of(inputs_.begin(), inputs_.end(),
                                   [](const Input& in) { return in.running.load(); }));
}

void AudioMixer::mix(void* self, float* interleaved, int frames) {
    auto& m = *static_cast<AudioMixer*>(self);
    const int channels = std::max(m.format_ ? m.format_->channels : 1, 1);
    const auto samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    std::fill(interleaved, interleaved + samples, 0.0f);
    const std::size_t room = m.scratch_.size() / static_cast<std::size_t>(channels);
    for (Input& input : m.inputs_) {
        input.rendering.store(true);
        if (input.running.load()) {
            // In pieces of one device buffer, should the device ask for more at once.
            for (std::size_t done = 0; done < static_cast<std::size_t>(frames);) {
                const std::size_t piece = std::min(room, static_cast<std::size_t>(frames) - done);
                input.render(input.context, m.scratch_.data(), static_cast<int>(piece));
                float* out = interleaved + done * static_cast<std::size_t>(channels);
                for (std::size_t i = 0; i < piece * static_cast<std::size_t>(channels); ++i) {
                    out[i] += m.scratch_[i];
                }
                done += piece;
            }
        }
        input.rendering.store(false);
    }
    // Each input stays within -1...1; together they might not.
    for (std::size_t i = 0; i < samples; ++i) {
        interleaved[i] = std::clamp(interleaved[i], -1.0f, 1.0f);
    }
}

} // namespace orvane
