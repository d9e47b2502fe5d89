// SPDX-License-Identifier: MIT
// The movie's scripted lid and what the real motion path makes of it, frame
// by frame; plus the pixel and text work of each frame that needs no GPU.
#pragma once

#include "motion/MotionGate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::MovieScript {

struct Frame {
    std::int64_t index = 0;
    double time = 0;
    double lidAngle = 0;
    double displayAngle = 0;
    double sheetAngle = 0;
    double velocity = 0;
    GateState state = GateState::idle;
    bool visible = false;
    double opacity = 0;
    bool operator==(const Frame&) const = default;
};

// Open, close, hold closed, reopen, hold open.
double scriptAngle(double time);
double scriptDuration();

// Sensor steps at the active poll rate through filter, gate and overlay motion.
std::vector<Frame> simulate(int fps, double clearAngle);

// Premultiplied `overlay` (BGRA) over the opaque `desktop`, faded by
// `opacity`, in place; the result is opaque.
void composite(std::vector<std::uint8_t>& overlay, const std::vector<std::uint8_t>& desktop,
               double opacity);

// The trace line printed for a frame, also drawn on its PNG.
std::string frameLine(const Frame& frame);
// How the sheet landed; none when no visible frame fell in the landing window.
std::optional<std::string> summarize(const std::vector<Frame>& frames);

} // namespace orvane::MovieScript
