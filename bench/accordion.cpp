// SPDX-License-Identifier: MIT
// Seconds of accordion audio per CPU second on the live path: the engine's
// callback with a moving, reversing, shaking lid and every bank sounding.
// Prints figures only.
#include "accordion/AccordionEngine.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace orvane;

namespace {

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

class CapturingOutput final : public AudioOutput {
public:
    std::optional<Format> open(Render r, void* c, int rate, int channels, std::string*) override {
        render = r;
        context = c;
        return Format{rate, channels, 512};
    }
    void setRunning(bool) override {}
    void close() override { render = nullptr; }
    bool isOpen() const override { return render != nullptr; }

    Render render = nullptr;
    void* context = nullptr;
};

class NoTimers final : public Scheduler {
public:
    Handle after(double, std::function<void()>) override { return 1; }
    Handle every(double, std::function<void()>) override { return 1; }
    void cancel(Handle) override {}
};

} // namespace

int main() {
    constexpr double seconds = 60.0;
    constexpr int rate = 48000;
    constexpr int framesPerSample = rate / 120;
    CapturingOutput output;
    NoTimers timers;
    double clock = 0;
    AccordionEngine engine({output, timers, [&clock] { return clock; }});
    engine.setEnabled(true, 0.8);

    std::vector<float> buffer(2 * framesPerSample);
    double angle = 120, t = 0;
    double cpu = 0;
    long frames = 0;
    // A sweep across the zones with a reversal every tenth of a second keeps
    // chords changing, crossfades running (several banks at once) and the
    // tremolo on.
    for (int step = 0; step < static_cast<int>(seconds * 120); ++step) {
        const double speed = (step / 12) % 2 == 0 ? -80.0 : 75.0;
        angle =
            std::clamp(angle + speed / 120 + ((step / 240) % 2 == 0 ? -0.08 : 0.08), 10.0, 130.0);
        t += 1.0 / 120;
        clock = t;
        engine.update(angle, speed, t);
        if (output.render == nullptr) {
            continue;
        }
        const double start = cpuSeconds();
        output.render(output.context, buffer.data(), framesPerSample);
        cpu += cpuSeconds() - start;
        frames += framesPerSample;
    }
    const double audio = static_cast<double>(frames) / rate;
    std::printf("accordion: %.1f s of audio in %.3f s CPU: %.1f x real time (%.2f ms CPU per "
                "second of audio)\n",
                audio, cpu, audio / cpu, 1000.0 * cpu / audio);
    return 0;
}
