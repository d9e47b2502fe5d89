// SPDX-License-Identifier: MIT
// The clear click's samples and resampling, and the sound player driven with
// an output double whose audio thread is the test calling its render function.
#include "selfcheck/SignalMeasures.h"
#include "sound/AudioMixer.h"
#include "sound/ClearClick.h"
#include "sound/SoundFeedback.h"
#include "sound/SoundPlayer.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

struct Rig {
    FakeOutput output;
    ManualScheduler scheduler;
    bool uiSounds = true;
    SoundPlayer player{{.output = output,
                        .scheduler = scheduler,
                        .now = scheduler.clock(),
                        .uiSoundsEnabled = [this] { return uiSounds; }}};
};

std::vector<float> clickAt48k() {
    return ClearClick::playbackBuffer(48000)->channels.front();
}

// Resampling falls beside the click's exact peak.
float clickPeakAt48k() {
    return peak(clickAt48k());
}

AudioBuffer constantBuffer(double rate, std::size_t frames, std::vector<float> levels) {
    AudioBuffer buffer{.sampleRate = rate, .channels = {}};
    for (const float level : levels) {
        buffer.channels.emplace_back(frames, level);
    }
    return buffer;
}

} // namespace

TEST_CASE("the click is a 55 ms tone of 1600 Hz from exactly 0, peaking early at 0.7, dying away") {
    const std::vector<float> click = ClearClick::samples();
    const double seconds = static_cast<double>(click.size()) / ClearClick::sampleRate;
    CHECK(seconds >= 0.050);
    CHECK(seconds <= 0.060);
    CHECK(click.front() == 0.0f);
    CHECK(allFiniteWithin(click, 1.0));
    CHECK(peak(click) == doctest::Approx(0.7).epsilon(1e-6));
    const auto peakAt =
        std::max_element(click.begin(), click.end(),
                         [](float a, float b) { return std::abs(a) < std::abs(b); }) -
        click.begin();
    CHECK(peakAt > 0);
    CHECK(peakAt < 441); // within the first 10 ms

    // Past the noise burst only the tone is left: two sign changes per cycle.
    int crossings = 0;
    for (std::size_t n = 265; n < click.size(); ++n) {
        crossings += (click[n - 1] < 0) != (click[n] < 0);
    }
    const double toneSeconds = static_cast<double>(click.size() - 265) / 44100.0;
    CHECK(crossings / (2.0 * toneSeconds) == doctest::Approx(1600).epsilon(0.03));

    const auto energy = [&](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t n = from; n < to; ++n) {
            sum += double(click[n]) * click[n];
        }
        return sum;
    };
    CHECK(energy(click.size() - 441, click.size()) < 0.001 * energy(0, 441));
    CHECK(std::abs(click.back()) < 0.01f);
}

TEST_CASE("the playback click is the click resampled, the same in both channels") {
    const std::vector<float> click = ClearClick::samples();

    SUBCASE("at 48000 Hz it has 2640 frames") {
        const auto buffer = ClearClick::playbackBuffer(48000);
        REQUIRE(buffer);
        CHECK(buffer->sampleRate == 48000.0);
        REQUIRE(buffer->channels.size() == 2);
        CHECK(buffer->channels[0].size() == 2640);
        CHECK(buffer->channels[0] == buffer->channels[1]);
        CHECK(buffer->channels[0].front() == 0.0f);
        CHECK(allFiniteWithin(buffer->channels[0], 0.7));
        CHECK(peak(buffer->channels[0]) > 0.69f);
    }
    SUBCASE("at twice the rate every other frame is a click sample, between them the midpoint") {
        const auto buffer = ClearClick::playbackBuffer(88200);
        REQUIRE(buffer);
        const std::vector<float>& up = buffer->channels[0];
        REQUIRE(up.size() == 2 * click.size());
        for (std::size_t k = 0; k + 1 < click.size(); ++k) {
            REQUIRE(up[2 * k] == doctest::Approx(click[k]).epsilon(1e-6));
            REQUIRE(up[2 * k + 1] == doctest::Approx((click[k] + click[k + 1]) / 2).epsilon(1e-5));
        }
        // Past the last sample it holds, never reading beyond the click.
        CHECK(up.back() == click.back());
    }
    SUBCASE("no buffer for a rate that is not a sound device's") {
        for (const double rate : {0.0, -48000.0, notANumber, infinity, -infinity, 1.0, 1e9}) {
            CAPTURE(rate);
            CHECK_FALSE(ClearClick::playbackBuffer(rate));
        }
    }
}

TEST_CASE("a click opens the output at 48 kHz stereo and plays at its volume, clamped to 0...1") {
    const std::vector<float> click = clickAt48k();
    // A volume that is not a number is silent.
    for (const auto& [volume, gain] : std::vector<std::pair<double, float>>{{0.5, 0.5f},
                                                                            {0, 0},
                                                                            {-0.5, 0},
                                                                            {notANumber, 0},
                                                                            {-infinity, 0},
                                                                            {2, 1},
                                                                            {infinity, 1}}) {
        const auto volumeSeen = volume; // clang cannot capture a binding
        CAPTURE(volumeSeen);
        Rig rig;
        rig.player.playClick(volume);
        CHECK(rig.output.opens == 1);
        CHECK(rig.output.requestedRate == 48000);
        CHECK(rig.output.requestedChannels == 2);
        CHECK(rig.player.isRunning());
        const std::vector<float> out = rig.output.pull(3000);
        REQUIRE(out.size() == 6000);
        for (std::size_t k = 0; k < click.size(); ++k) {
            REQUIRE(out[2 * k] == doctest::Approx(gain * click[k]).epsilon(1e-6));
            REQUIRE(out[2 * k + 1] == doctest::Approx(gain * click[k]).epsilon(1e-6));
        }
        // Pulled buffers start out holding what no render may leave, so this silence is written.
        CHECK(std::all_of(out.begin() + 2 * 2640, out.end(), [](float s) { return s == 0.0f; }));
    }
}

TEST_CASE("the click plays at the rate and channel count the output runs at") {
    Rig rig;
    SUBCASE("a 44100 Hz device gets the 55 ms of click unstretched") {
        rig.output.format->sampleRate = 44100;
        rig.player.playClick(1);
        const std::vector<float> left = rig.output.pullChannel(4000, 0);
        const auto last = std::find_if(left.rbegin(), left.rend(), [](float s) { return s != 0; });
        const auto sounding = left.rend() - last;
        CHECK(sounding >= 2420);
        CHECK(sounding <= 2427);
        CHECK(peak(left) == doctest::Approx(0.7).epsilon(0.02));
    }
    SUBCASE("a mono device gets the click in its one channel") {
        rig.output.format->channels = 1;
        rig.player.playClick(1);
        const std::vector<float> out = rig.output.pull(2640);
        REQUIRE(out.size() == 2640);
        const std::vector<float> click = clickAt48k();
        for (std::size_t k = 0; k < click.size(); ++k) {
            REQUIRE(out[k] == doctest::Approx(click[k]).epsilon(1e-6));
        }
    }
    SUBCASE("a device with more channels gets the click in the first two, silence in the rest") {
        rig.output.format->channels = 4;
        rig.player.playClick(1);
        const std::vector<float> out = rig.output.pull(2640);
        float rest = 0;
        float front = 0;
        for (std::size_t i = 0; i < out.size(); i += 4) {
            front = std::max({front, std::abs(out[i]), std::abs(out[i + 1])});
            rest = std::max({rest, std::abs(out[i + 2]), std::abs(out[i + 3])});
        }
        CHECK(front == doctest::Approx(clickPeakAt48k()).epsilon(1e-6));
        CHECK(rest == 0.0f);
    }
}

TEST_CASE("the output opens only for a sound that plays") {
    Rig rig;
    SUBCASE("not while interface sounds are switched off") {
        rig.uiSounds = false;
        rig.player.playClick(1);
        rig.player.play(constantBuffer(48000, 100, {0.5f, 0.5f}));
        CHECK(rig.output.opens == 0);
        CHECK_FALSE(rig.player.isRunning());
        CHECK(rig.scheduler.pending() == 0);
        rig.uiSounds = true;
        rig.player.playClick(1);
        CHECK(rig.output.opens == 1);
    }
    SUBCASE("not for preparing the click") {
        rig.player.prepare();
        rig.player.prepare();
        CHECK(rig.output.opens == 0);
        CHECK(rig.scheduler.pending() == 0);
    }
}

TEST_CASE("overlapping sounds mix and the output never passes full scale") {
    Rig rig;
    const std::vector<float> click = clickAt48k();

    SUBCASE("two clicks at once sum, limited to full scale") {
        rig.player.playClick(1);
        rig.player.playClick(1);
        const std::vector<float> left = rig.output.pullChannel(2640, 0);
        for (std::size_t k = 0; k < click.size(); ++k) {
            REQUIRE(left[k] ==
                    doctest::Approx(std::clamp(2 * click[k], -1.0f, 1.0f)).epsilon(1e-6));
        }
        CHECK(peak(left) == 1.0f);
        CHECK(rig.output.opens == 1);
    }
    SUBCASE("samples that are not numbers or far too loud never reach the device") {
        AudioBuffer wild = constantBuffer(48000, 8, {0.0f, 0.0f});
        wild.channels[0] = {float(notANumber), 5.0f,  -5.0f, float(infinity),
                            float(-infinity),  0.25f, 1.0f,  -1.0f};
        wild.channels[1] = wild.channels[0];
        rig.player.play(wild);
        rig.player.playClick(1);
        const std::vector<float> out = rig.output.pull(3000);
        CHECK(allFiniteWithin(out, 1.0));
    }
}

TEST_CASE("other buffers play at their own rate at volume 1") {
    Rig rig;
    SUBCASE("two channels keep left and right") {
        rig.player.play(constantBuffer(48000, 480, {0.25f, -0.5f}));
        const std::vector<float> out = rig.output.pull(600);
        for (std::size_t k = 0; k < 480; ++k) {
            REQUIRE(out[2 * k] == 0.25f);
            REQUIRE(out[2 * k + 1] == -0.5f);
        }
        CHECK(out[2 * 480] == 0.0f);
        CHECK(out[2 * 480 + 1] == 0.0f);
    }
    SUBCASE("one channel plays on both sides") {
        rig.player.play(constantBuffer(48000, 480, {0.3f}));
        const std::vector<float> out = rig.output.pull(480);
        CHECK(std::all_of(out.begin(), out.end(), [](float s) { return s == 0.3f; }));
    }
    SUBCASE("a buffer at half the device rate lasts twice the frames") {
        rig.player.play(constantBuffer(24000, 480, {0.3f, 0.3f}));
        const std::vector<float> left = rig.output.pullChannel(1200, 0);
        CHECK(std::count(left.begin(), left.end(), 0.3f) == doctest::Approx(960).epsilon(0.002));
        CHECK(left.back() == 0.0f);
    }
    SUBCASE("a buffer without frames or a usable rate plays nothing and opens nothing") {
        rig.player.play(AudioBuffer{});
        rig.player.play(constantBuffer(48000, 0, {0.3f, 0.3f}));
        rig.player.play(constantBuffer(0, 480, {0.3f, 0.3f}));
        rig.player.play(constantBuffer(notANumber, 480, {0.3f, 0.3f}));
        rig.player.play(constantBuffer(-48000, 480, {0.3f, 0.3f}));
        CHECK(rig.output.opens == 0);
    }
}

TEST_CASE("finished sounds free their place for new ones") {
    Rig rig;
    for (std::size_t i = 0; i < 3 * SoundPlayer::maxVoices; ++i) {
        CAPTURE(i);
        rig.player.playClick(1);
        REQUIRE(peak(rig.output.pull(2700)) == doctest::Approx(clickPeakAt48k()).epsilon(1e-6));
    }
    CHECK(rig.output.opens == 1);
}

TEST_CASE("the output stops 2 s after the last sound ends") {
    Rig rig;
    SUBCASE("two clicks in quick succession keep one output, stopped 2.055 s after the second") {
        rig.player.playClick(1);
        rig.scheduler.advanceTo(0.1);
        rig.player.playClick(1);
        rig.scheduler.advanceTo(2.150);
        CHECK(rig.output.running);
        CHECK(rig.output.opens == 1);
        rig.scheduler.advanceTo(2.160);
        CHECK_FALSE(rig.output.isOpen());
        CHECK_FALSE(rig.output.running);
        CHECK_FALSE(rig.player.isRunning());
        CHECK(rig.output.closes == 1);
        CHECK(rig.scheduler.pending() == 0);
    }
    SUBCASE("a click during a long sound does not cut the long sound short") {
        rig.player.play(constantBuffer(48000, 3 * 48000, {0.1f, 0.1f}));
        rig.scheduler.advanceTo(0.1);
        rig.player.playClick(1);
        rig.scheduler.advanceTo(4.99);
        CHECK(rig.output.running);
        rig.scheduler.advanceTo(5.01);
        CHECK_FALSE(rig.output.isOpen());
    }
    SUBCASE("a sound after the stop opens the output again") {
        rig.player.playClick(1);
        rig.scheduler.advanceTo(10);
        REQUIRE_FALSE(rig.output.isOpen());
        rig.player.playClick(1);
        CHECK(rig.output.opens == 2);
        CHECK(rig.output.running);
        CHECK(peak(rig.output.pull(2640)) == doctest::Approx(clickPeakAt48k()).epsilon(1e-6));
    }
    SUBCASE("the player going away closes the output and leaves no timer") {
        FakeOutput output;
        ManualScheduler scheduler;
        std::optional<SoundPlayer> player;
        player.emplace(SoundPlayer::Services{
            .output = output, .scheduler = scheduler, .now = {}, .uiSoundsEnabled = {}});
        player->playClick(1);
        REQUIRE(output.isOpen());
        REQUIRE(scheduler.pending() == 1);
        player.reset();
        CHECK_FALSE(output.isOpen());
        CHECK(scheduler.pending() == 0);
    }
}

TEST_CASE("a failed start keeps nothing and the next sound tries again") {
    Rig rig;
    SUBCASE("the device cannot be opened") {
        rig.output.format.reset();
        rig.player.playClick(1);
        CHECK(rig.output.opens == 1);
        CHECK_FALSE(rig.player.isRunning());
        CHECK(rig.scheduler.pending() == 0);
    }
    SUBCASE("the device opens with an unusable format") {
        for (const auto format :
             {AudioOutput::Format{0, 2, 512}, AudioOutput::Format{-44100, 2, 512},
              AudioOutput::Format{48000, 0, 512}}) {
            rig.output.format = format;
            rig.player.playClick(1);
            CHECK_FALSE(rig.output.isOpen());
            CHECK_FALSE(rig.player.isRunning());
            CHECK(rig.scheduler.pending() == 0);
        }
    }
    rig.output.format = AudioOutput::Format{48000, 2, 512};
    rig.player.playClick(1);
    CHECK(rig.player.isRunning());
    CHECK(rig.output.running);
    CHECK(peak(rig.output.pull(2640)) == doctest::Approx(clickPeakAt48k()).epsilon(1e-6));
    CHECK(rig.scheduler.pending() == 1);
}

TEST_CASE("the feedback port clicks through the player and its haptic tick does nothing") {
    Rig rig;
    SoundFeedback feedback(rig.player);
    FeedbackControl& port = feedback;
    port.haptic();
    CHECK(rig.output.opens == 0);
    port.playClick(0.5);
    CHECK(rig.output.opens == 1);
    CHECK(peak(rig.output.pull(2640)) == doctest::Approx(0.5 * clickPeakAt48k()).epsilon(1e-6));
}

namespace {

// An input that renders one value into every sample, counting its calls.
struct Constant {
    float value = 0;
    int calls = 0;
    static void render(void* self, float* out, int frames) {
        auto& c = *static_cast<Constant*>(self);
        ++c.calls;
        std::fill(out, out + frames * 2, c.value);
    }
};

} // namespace

TEST_CASE("the click and the accordion share one device: what runs is added up within full "
          "scale, the device runs while an input runs and closes with the last") {
    FakeOutput device;
    AudioMixer mixer(device);
    Constant click{0.25f};
    Constant accordion{0.5f};
    AudioOutput& first = mixer.input(0);
    AudioOutput& second = mixer.input(1);

    REQUIRE(first.open(&Constant::render, &click, 48000, 2, nullptr) == device.format);
    REQUIRE(second.open(&Constant::render, &accordion, 44100, 1, nullptr) == device.format);
    CHECK(device.opens == 1);
    CHECK_FALSE(device.running);
    first.setRunning(true);
    CHECK(device.running);
    CHECK(device.pull(4) == std::vector<float>(8, 0.25f));
    second.setRunning(true);
    CHECK(device.pull(4) == std::vector<float>(8, 0.75f));
    accordion.value = 0.9f;
    CHECK(device.pull(4) == std::vector<float>(8, 1.0f));

    // More frames than one device buffer come in pieces.
    const int callsBefore = click.calls;
    CHECK(device.pull(1200).size() == 2400);
    CHECK(click.calls - callsBefore == 3);

    first.close();
    CHECK(device.pull(2) == std::vector<float>(4, 0.9f));
    second.setRunning(false);
    CHECK_FALSE(device.running);
    CHECK(device.closes == 0);
    second.close();
    CHECK(device.closes == 1);
    CHECK_FALSE(first.isOpen());
}

TEST_CASE("an input opens nothing when the device cannot open, and the next open tries again") {
    FakeOutput device;
    device.format.reset();
    AudioMixer mixer(device);
    Constant click;
    std::string error;
    CHECK_FALSE(mixer.input(0).open(&Constant::render, &click, 48000, 2, &error));
    CHECK(error == "no device");
    CHECK_FALSE(mixer.input(0).isOpen());
    device.format = AudioOutput::Format{48000, 2, 512};
    CHECK(mixer.input(0).open(&Constant::render, &click, 48000, 2, nullptr));
    CHECK(device.opens == 2);
}
