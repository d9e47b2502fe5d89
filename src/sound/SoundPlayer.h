// SPDX-License-Identifier: MIT
// The one player for the clear click and other short sounds (the welcome
// window's hello chord). It opens its output on the first sound, mixes what
// is playing, and closes the output a while after the last sound has ended.
// Entry points run on the main thread; the output's thread only mixes.
#pragma once

#include "core/Scheduler.h"
#include "sound/AudioBuffer.h"
#include "sound/AudioOutput.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class SoundPlayer {
public:
    // The rate the player asks its output for; the click is prepared at it.
    static constexpr int playerSampleRate = 48000;
    static constexpr int playerChannels = 2;
    // Sounds playing at once; one more than this is dropped.
    static constexpr std::size_t maxVoices = 8;

    struct Services {
        AudioOutput& output;
        Scheduler& scheduler;
        std::function<double()> now; // monotonic seconds
        // The desktop's switch for interface sounds; none means on.
        std::function<bool()> uiSoundsEnabled;
    };

    // The output and the scheduler must outlive the player.
    explicit SoundPlayer(Services services);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Builds the click buffers ahead of the first click.
    void prepare();
    // Volume is clamped to 0...1; a volume that is not a number is silent.
    void playClick(double volume);
    // One or two channels (the first two of more), at volume 1. Nothing for a
    // buffer with no frames or no usable sample rate.
    void play(const AudioBuffer& buffer);

    bool uiSoundsEnabled() const;
    // True from a successful start until the delayed stop.
    bool isRunning() const { return running_; }

private:
    enum VoiceState : int { voiceFree, voiceReady, voiceDone };

    // Main thread writes a free or done voice and publishes it as ready; the
    // output thread plays a ready voice and hands it back as done.
    struct Voice {
        std::atomic<int> state{voiceFree};
        const float* left = nullptr;
        const float* right = nullptr;
        std::size_t frames = 0;
        double step = 1;
        double position = 0;
        float gain = 0;
    };

    static void renderThunk(void* context, float* interleaved, int frames);
    void render(float* interleaved, int frames);
    void mixVoice(Voice& voice, float* interleaved, int frames, int channels);

    void playBuffer(std::shared_ptr<const AudioBuffer> buffer, double volume);
    bool ensureStarted();
    void scheduleStop(double soundDuration);
    void stopEngine();
    void reclaimFinishedVoices();

    Services services_;
    std::shared_ptr<const AudioBuffer> convertedClick_;
    bool running_ = false;
    int outputRate_ = 0;
    std::atomic<int> outputChannels_{playerChannels};
    std::optional<Scheduler::Handle> stopTask_;
    double soundingUntil_ = 0;
    std::array<Voice, maxVoices> voices_;
    // Keeps each voice's samples alive until the output thread hands it back.
    std::array<std::shared_ptr<const AudioBuffer>, maxVoices> voiceBuffers_;
};

} // namespace orvane
