// SPDX-License-Identifier: MIT
// Connects the accordion to the sound output: owns the shared controls and the
// model, opens the output only while the lid moves and closes it after a quiet
// spell. Main thread only; the output's thread runs the generator alone.
#pragma once

#include "accordion/AccordionDSP.h"
#include "accordion/AccordionModel.h"
#include "accordion/AccordionParams.h"
#include "effect/EffectPorts.h"
#include "sound/AudioOutput.h"

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

namespace orvane {

// Keeps a failing output device from being retried more than once per
// retry interval. Times are seconds on the engine's clock.
class AudioStartThrottle {
public:
    // A NaN time cannot show that the interval has passed.
    bool allow(double now) const;
    void failed(double now);
    void reset() { notBefore_ = -std::numeric_limits<double>::infinity(); }

private:
    double notBefore_ = -std::numeric_limits<double>::infinity();
};

class AccordionEngine final : public AccordionControl {
public:
    struct Ports {
        AudioOutput& output;
        Scheduler& scheduler;
        std::function<double()> now; // monotonic seconds
        // False exercises the logic without ever opening the output.
        bool startsAudioEngine = true;
    };

    // What the output's thread touches: the generator and the shared controls,
    // plus room to split the device's interleaved buffer into two channels.
    class RenderSource {
    public:
        explicit RenderSource(const AccordionParams& params) : params_(params) {}
        // Builds the generator for the device's format; silence until then.
        // Must happen while the device is paused.
        void prepare(const AudioOutput::Format& format);
        // An AudioOutput::Render; real-time safe.
        static void render(void* context, float* interleaved, int frames);

    private:
        static constexpr int chunkFrames = 256;
        const AccordionParams& params_;
        std::unique_ptr<AccordionDSP> dsp_;
        int channels_ = 0;
        std::array<float, chunkFrames> left_{};
        std::array<float, chunkFrames> right_{};
    };

    explicit AccordionEngine(Ports ports);
    ~AccordionEngine() override;
    AccordionEngine(const AccordionEngine&) = delete;
    AccordionEngine& operator=(const AccordionEngine&) = delete;

    // For every lid sample, before `update`. Off silences at once.
    void setEnabled(bool on, double volume) override;
    // The filtered lid sample; ignored while off.
    void update(double angle, double velocity, double time) override;
    // Closes the output after audioSilenceTimeout without audible pressure.
    void stopIfQuiet();

    static bool outputFormatUsable(double sampleRate, double channelCount);
    static std::unique_ptr<RenderSource> makeSource(const AudioOutput::Format& format,
                                                    const AccordionParams& params);

    bool running() const { return running_; }
    bool enabled() const { return enabled_; }
    const AccordionParams& params() const { return params_; }
    const AccordionModel& model() const { return model_; }
    const AudioStartThrottle& startThrottle() const { return startThrottle_; }

private:
    void startIfNeeded();
    void startSilenceTimer();

    Ports ports_;
    AccordionParams params_;
    AccordionModel model_;
    std::unique_ptr<RenderSource> source_;
    bool running_ = false;
    bool enabled_ = false;
    double lastMotion_ = -std::numeric_limits<double>::infinity();
    std::optional<Scheduler::Handle> silenceTimer_;
    AudioStartThrottle startThrottle_;
};

} // namespace orvane
