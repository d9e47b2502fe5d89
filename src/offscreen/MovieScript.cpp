// SPDX-License-Identifier: MIT
#include "offscreen/MovieScript.h"

#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "motion/OverlayMotion.h"
#include "sensor/AngleFilter.h"
#include "settings/FoldSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvane::MovieScript {

namespace {

using namespace Tuning;

// A captured frame counts as ready from this many consecutive capture steps on.
constexpr int framesBeforeReady = 2;
constexpr double clockSlack = 1e-9;
// The landing window opens this long before the lid reaches the closed angle.
constexpr double landingLead = 0.2;
// A sheet within this of its final angle counts as at rest.
constexpr double restTolerance = 0.05;

double smooth(double x) {
    return FoldMath::smoothstep(0, 1, x);
}

} // namespace

double scriptDuration() {
    return moviePreroll + movieCloseTime + movieHoldClosed + movieOpenTime + movieHoldOpen;
}

double scriptAngle(double time) {
    double s = time - moviePreroll;
    if (s < 0) {
        return movieOpenAngle;
    }
    if (s < movieCloseTime) {
        return movieOpenAngle + (movieClosedAngle - movieOpenAngle) * smooth(s / movieCloseTime);
    }
    s -= movieCloseTime;
    if (s < movieHoldClosed) {
        return movieClosedAngle;
    }
    s -= movieHoldClosed;
    if (s < movieOpenTime) {
        return movieClosedAngle + (movieOpenAngle - movieClosedAngle) * smooth(s / movieOpenTime);
    }
    return movieOpenAngle;
}

std::vector<Frame> simulate(int fps, double clearAngle) {
    AngleFilter filter;
    MotionGate gate;
    OverlayMotion overlay;
    FoldSettings settings;
    settings.setClearAngle(clearAngle);

    const auto count = static_cast<std::int64_t>(scriptDuration() * fps);
    std::vector<Frame> frames;
    frames.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    double sensorTime = 0;
    int ready = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / fps;
        while (sensorTime <= t + clockSlack) {
            const FilteredSample sample = filter.ingest(scriptAngle(sensorTime), sensorTime);
            overlay.sample(sample.angle, sensorTime);
            const GateInput input{sample.angle, sample.velocity,
                                  sensorTime,   ready > framesBeforeReady,
                                  false,        settings.gateSettings()};
            const GateState from = gate.state();
            const GateOutput output = gate.step(input);
            overlay.gateStepped(output, from, gate.state(), settings.clearAngle, sensorTime, false);
            ready = output.wantsCapture ? ready + 1 : 0;
            sensorTime += 1.0 / sensorHzActive;
        }
        Frame frame;
        frame.index = i;
        frame.time = t;
        frame.lidAngle = scriptAngle(t);
        frame.displayAngle = gate.displayAngle();
        frame.state = gate.state();
        if (overlay.showing()) {
            const FoldAnimator::Frame f = overlay.frame(t);
            frame.visible = true;
            frame.sheetAngle = f.angle;
            frame.velocity = f.velocity;
            frame.opacity = f.opacity;
        } else {
            frame.sheetAngle = gate.displayAngle();
        }
        frames.push_back(frame);
    }
    return frames;
}

void composite(std::vector<std::uint8_t>& overlay, const std::vector<std::uint8_t>& desktop,
               double opacity) {
    const auto k = static_cast<unsigned>(std::lround(FoldMath::saturate(opacity) * 256));
    const std::size_t pixels = std::min(overlay.size(), desktop.size()) / 4;
    for (std::size_t p = 0; p < pixels; ++p) {
        std::uint8_t* o = &overlay[p * 4];
        const std::uint8_t* d = &desktop[p * 4];
        const unsigned a = (o[3] * k) >> 8;
        const unsigned inverse = 255 - a;
        for (int c = 0; c < 3; ++c) {
            o[c] =
                static_cast<std::uint8_t>(std::min(255u, ((o[c] * k) >> 8) + inverse * d[c] / 255));
        }
        o[3] = 255;
    }
}

std::string frameLine(const Frame& frame) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "frame %03lld t=%.3fs lid=%.1f display=%.2f sheet=%.2f vel=%.1f %s",
                  static_cast<long long>(frame.index), frame.time, frame.lidAngle,
                  frame.displayAngle, frame.sheetAngle, frame.velocity,
                  frame.visible ? std::string(rawValue(frame.state)).c_str() : "hidden");
    return line;
}

std::optional<std::string> summarize(const std::vector<Frame>& frames) {
    const double windowStart = moviePreroll + movieCloseTime - landingLead;
    const double windowEnd = moviePreroll + movieCloseTime + movieHoldClosed;
    std::vector<const Frame*> landing;
    for (const Frame& f : frames) {
        if (f.visible && f.time >= windowStart && f.time < windowEnd) {
            landing.push_back(&f);
        }
    }
    if (landing.empty()) {
        return std::nullopt;
    }
    double lowest = landing.front()->sheetAngle;
    for (const Frame* f : landing) {
        lowest = std::min(lowest, f->sheetAngle);
    }
    const double rest = landing.back()->sheetAngle;
    double restFrom = windowStart;
    for (auto it = landing.rbegin(); it != landing.rend(); ++it) {
        if (std::abs((*it)->sheetAngle - rest) >= restTolerance) {
            restFrom = (*it)->time;
            break;
        }
    }
    restFrom += 1.0 / sensorHzActive;
    double gap = 0;
    double peak = 0;
    for (const Frame& f : frames) {
        if (f.visible) {
            gap = std::max(gap, std::abs(f.sheetAngle - f.lidAngle));
        }
        peak = std::max(peak, std::abs(f.velocity));
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "landing: overshoot %.2f deg past %.0f, at rest (%.2f) from t=%.3fs; largest gap "
                  "to the lid %.2f deg; peak velocity %.1f deg/s",
                  movieClosedAngle - lowest, movieClosedAngle, rest, restFrom, gap, peak);
    return std::string(line);
}

} // namespace orvane::MovieScript
