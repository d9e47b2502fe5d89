// SPDX-License-Identifier: MIT
// The clear click as synthesised, and the veil's frost image.
#include "cover/VeilFrost.h"
#include "selfcheck/ComponentChecks.h"
#include "selfcheck/SignalMeasures.h"
#include "sound/ClearClick.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

namespace {

// The loudest the click is made, and the shortest and longest it may last.
constexpr double clickPeak = 0.7;
constexpr double clickShortest = 0.050;
constexpr double clickLongest = 0.060;
constexpr double deviceRate = 48000;

std::string fixed(double value, int digits = 3) {
    const double scale = std::pow(10.0, digits);
    std::string text = std::to_string(std::round(value * scale) / scale);
    return text.substr(0, text.find('.') + static_cast<std::size_t>(digits) + 1);
}

void clickShape(Reporter& report) {
    const std::vector<float> click = ClearClick::samples();
    const double seconds = static_cast<double>(click.size()) / ClearClick::sampleRate;
    report.check(seconds >= clickShortest && seconds <= clickLongest, "click_duration",
                 fixed(seconds * 1000, 1) + " ms, want 50 to 60");
    report.check(!click.empty() && click.front() == 0.0f, "click_starts_at_zero",
                 click.empty() ? "no samples" : "first sample " + fixed(click.front(), 6));
    report.check(allFiniteWithin(click, 1.0), "click_finite", "a sample is not finite");
    const double loudest = peak(click);
    report.check(std::abs(loudest - clickPeak) < 1e-6, "click_peak",
                 "peak " + fixed(loudest, 6) + ", want 0.7");
    report.check(click == ClearClick::samples(), "click_same_every_time", "two syntheses differ");
}

void clickResampled(Reporter& report) {
    const std::vector<float> click = ClearClick::samples();
    const auto device = ClearClick::playbackBuffer(deviceRate);
    const auto expected = static_cast<std::size_t>(deviceRate / ClearClick::sampleRate *
                                                   static_cast<double>(click.size()));
    report.check(device && device->channels.size() == 2 && device->frameCount() == expected &&
                     device->channels[0] == device->channels[1],
                 "click_resampled_48k",
                 device ? std::to_string(device->frameCount()) + " frames in " +
                              std::to_string(device->channels.size()) + " channels, want " +
                              std::to_string(expected) + " in 2"
                        : "no buffer");
    const auto same = ClearClick::playbackBuffer(ClearClick::sampleRate);
    report.check(same && same->channels.size() == 2 && same->channels[0] == click,
                 "click_resampled_44k_identity", "differs from the click at its own rate");
}

std::size_t coveredPixels(const std::vector<std::uint8_t>& pixels) {
    std::size_t n = 0;
    for (std::size_t i = 3; i < pixels.size(); i += 4) {
        n += pixels[i] > 0 ? 1 : 0;
    }
    return n;
}

void frost(Reporter& report) {
    constexpr std::size_t pixelCount = std::size_t{frostWidth} * frostHeight;
    const std::vector<std::uint8_t> none = frostPixels(0);
    report.check(none.size() == pixelCount * 4 && coveredPixels(none) == 0 &&
                     coveredPixels(frostPixels(-1)) == 0,
                 "veil_empty_at_zero",
                 std::to_string(coveredPixels(none)) + " covered pixels at level 0");

    // At most 30 % opaque, and valid premultiplied data.
    constexpr int alphaLimit = 77;
    std::string wrong;
    for (const double level : {0.05, 0.3, 0.5, 0.8, 1.0, 1.05, 3.0}) {
        const std::vector<std::uint8_t> p = frostPixels(level);
        for (std::size_t i = 0; i + 3 < p.size(); i += 4) {
            if (p[i + 3] > alphaLimit || p[i] > p[i + 3] || p[i + 1] > p[i + 3] ||
                p[i + 2] > p[i + 3]) {
                wrong = "level " + fixed(level, 2) + " pixel " + std::to_string(i / 4) + " rgba " +
                        std::to_string(p[i]) + "," + std::to_string(p[i + 1]) + "," +
                        std::to_string(p[i + 2]) + "," + std::to_string(p[i + 3]);
                break;
            }
        }
        if (!wrong.empty()) {
            break;
        }
    }
    report.check(wrong.empty(), "veil_alpha_limit_premultiplied", wrong + ", alpha limit 77");

    const std::size_t atOne = coveredPixels(frostPixels(1.0));
    const std::size_t beyond = coveredPixels(frostPixels(1.05));
    report.check(atOne == pixelCount && beyond == pixelCount, "veil_full_cover_from_one",
                 std::to_string(atOne) + " and " + std::to_string(beyond) + " of " +
                     std::to_string(pixelCount) + " pixels covered at 1 and 1.05");

    const std::size_t low = coveredPixels(frostPixels(0.2));
    const std::size_t mid = coveredPixels(frostPixels(0.4));
    const std::size_t high = coveredPixels(frostPixels(0.6));
    report.check(low > 0 && low < mid && mid < high, "veil_grows_with_level",
                 "covered " + std::to_string(low) + ", " + std::to_string(mid) + ", " +
                     std::to_string(high) + " at 0.2, 0.4, 0.6");

    // It starts at the bottom of the screen and spreads upward.
    const std::vector<std::uint8_t> half = frostPixels(0.5);
    const std::size_t rowBytes = frostBytesPerRow;
    const std::size_t third = static_cast<std::size_t>(frostHeight / 3) * rowBytes;
    const std::vector<std::uint8_t> top(half.begin(), half.begin() + static_cast<long>(third));
    const std::vector<std::uint8_t> bottom(half.end() - static_cast<long>(third), half.end());
    report.check(coveredPixels(bottom) > coveredPixels(top), "veil_starts_at_bottom",
                 std::to_string(coveredPixels(top)) + " covered in the top third, " +
                     std::to_string(coveredPixels(bottom)) + " in the bottom third");
    report.check(frostPixels(0.5) == half, "veil_same_every_time", "two images differ");
}

} // namespace

void clickChecks(Reporter& report) {
    report.guarded("click_", [&] { clickShape(report); });
    report.guarded("click_", [&] { clickResampled(report); });
}

void veilChecks(Reporter& report) {
    report.guarded("veil_", [&] { frost(report); });
}

} // namespace orvane
