// SPDX-License-Identifier: MIT
#include "accordion/AccordionEngine.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace orvane {

bool AudioStartThrottle::allow(double now) const {
    if (std::isnan(now)) {
        return notBefore_ == -std::numeric_limits<double>::infinity();
    }
    return now >= notBefore_;
}

void AudioStartThrottle::failed(double now) {
    if (!std::isnan(now)) {
        notBefore_ = now + Tuning::audioEngineRetryInterval;
    }
}

void AccordionEngine::RenderSource::prepare(const AudioOutput::Format& format) {
    dsp_ = std::make_unique<AccordionDSP>(format.sampleRate);
    channels_ = format.channels;
}

void AccordionEngine::RenderSource::render(void* context, float* interleaved, int frames) {
    auto& source = *static_cast<RenderSource*>(context);
    if (interleaved == nullptr || frames < 1) {
        return;
    }
    const int channels = source.channels_;
    if (!source.dsp_ || channels < 1) {
        // The device's buffer holds whatever was there before; it must be filled.
        std::fill_n(interleaved, static_cast<std::size_t>(frames) * std::max(channels, 1), 0.0f);
        return;
    }
    float* out = interleaved;
    for (int done = 0; done < frames;) {
        const int n = std::min(chunkFrames, frames - done);
        source.dsp_->render(n, source.left_.data(), source.right_.data(), source.params_);
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (channels == 1) {
                *out++ = 0.5f * (source.left_[k] + source.right_[k]);
                continue;
            }
            *out++ = source.left_[k];
            *out++ = source.right_[k];
            for (int c = 2; c < channels; ++c) {
                *out++ = 0.0f;
            }
        }
        done += n;
    }
}

AccordionEngine::AccordionEngine(Ports ports) : ports_(std::move(ports)) {}

AccordionEngine::~AccordionEngine() {
    // The timer's work refers to this engine and must never run after it.
    if (silenceTimer_) {
        ports_.scheduler.cancel(*silenceTimer_);
    }
    if (running_) {
        ports_.output.setRunning(false);
        ports_.output.close();
    }
}

bool AccordionEngine::outputFormatUsable(double sampleRate, double channelCount) {
    // A negative channel count is as unusable as none.
    return std::isfinite(sampleRate) && sampleRate > 0 && channelCount > 0;
}

std::unique_ptr<AccordionEngine::RenderSource>
AccordionEngine::makeSource(const AudioOutput::Format& format, const AccordionParams& params) {
    auto source = std::make_unique<RenderSource>(params);
    source->prepare(format);
    return source;
}

void AccordionEngine::setEnabled(bool on, double volume) {
    enabled_ = on;
    params_.enabled.store(on ? 1 : 0, std::memory_order_relaxed);
    params_.volume.store(clampedVolume(volume, params_.volume.load(std::memory_order_relaxed)),
                         std::memory_order_relaxed);
    if (!on) {
        params_.targetPressure.store(0.0f, std::memory_order_relaxed);
        // The next motion starts over: first placement, no direction, no shake.
        model_ = AccordionModel();
        lastMotion_ = -std::numeric_limits<double>::infinity();
        stopIfQuiet();
    }
}

void AccordionEngine::update(double angle, double velocity, double time) {
    if (!enabled_) {
        return;
    }
    model_.update(angle, velocity, time, params_);
    if (params_.targetPressure.load(std::memory_order_relaxed) > Tuning::accordionAudiblePressure) {
        const double now = ports_.now();
        if (!std::isnan(now)) {
            lastMotion_ = now;
        }
        startIfNeeded();
    }
}

void AccordionEngine::startIfNeeded() {
    if (running_ || !ports_.startsAudioEngine || !startThrottle_.allow(ports_.now())) {
        return;
    }
    // Every start builds a new generator, so every start fades in from silence.
    auto source = std::make_unique<RenderSource>(params_);
    std::string error;
    const auto format =
        ports_.output.open(&RenderSource::render, source.get(), Tuning::accordionPreferredRate,
                           Tuning::accordionSourceChannels, &error);
    if (!format) {
        startThrottle_.failed(ports_.now());
        return;
    }
    if (!outputFormatUsable(format->sampleRate, format->channels)) {
        ports_.output.close();
        startThrottle_.failed(ports_.now());
        return;
    }
    source->prepare(*format);
    source_ = std::move(source);
    ports_.output.setRunning(true);
    startThrottle_.reset();
    running_ = true;
    startSilenceTimer();
}

void AccordionEngine::stopIfQuiet() {
    if (!running_ || params_.targetPressure.load(std::memory_order_relaxed) >=
                         Tuning::accordionAudiblePressure) {
        return;
    }
    const bool neverMoved = lastMotion_ == -std::numeric_limits<double>::infinity();
    if (!neverMoved && !(ports_.now() - lastMotion_ >= Tuning::audioSilenceTimeout)) {
        return;
    }
    if (silenceTimer_) {
        ports_.scheduler.cancel(*silenceTimer_);
        silenceTimer_.reset();
    }
    // The output stops pulling before its generator is released.
    ports_.output.setRunning(false);
    ports_.output.close();
    source_.reset();
    running_ = false;
    startThrottle_.reset();
}

void AccordionEngine::startSilenceTimer() {
    if (!silenceTimer_) {
        silenceTimer_ = ports_.scheduler.every(Tuning::accordionSilenceCheckInterval,
                                               [this] { stopIfQuiet(); });
    }
}

} // namespace orvane
