// SPDX-License-Identifier: MIT
// Smooths raw lid samples into an angle and an angular velocity (a One Euro
// filter whose cut-off opens with the lid's speed), and remembers whether the
// sensor has ever read anything but zero.
#pragma once

#include <cstdint>
#include <optional>

namespace orvane {

struct FilteredSample {
    double angle = 0;    // degrees
    double velocity = 0; // degrees per second, positive while opening
    bool operator==(const FilteredSample&) const = default;
};

class AngleFilter {
public:
    // Smoothing factor of a first-order low-pass at `cutoff` hertz over `dt` seconds.
    static double alpha(double cutoff, double dt);

    // A non-finite angle or time carries no information and is ignored: the
    // result is the state as it stood (a zero sample before any real one).
    FilteredSample ingest(double angle, double time);
    void reset() { *this = AngleFilter{}; }

    bool operator==(const AngleFilter&) const = default;

private:
    FilteredSample start(double angle, double time);

    std::optional<double> xHat_;
    double dxHat_ = 0;
    std::optional<double> lastTime_;
    std::optional<double> lastRaw_;
    double rawSpeed_ = 0;
};

class SensorZeroTracker {
public:
    void ingest(double angle);
    void reset() { *this = SensorZeroTracker{}; }

    // A sensor that has only ever reported 0 degrees is treated as unreadable.
    bool readsOnlyZero() const { return sampleCount_ >= 1 && !sawNonZero_; }

    bool operator==(const SensorZeroTracker&) const = default;

private:
    std::int64_t sampleCount_ = 0;
    bool sawNonZero_ = false;
};

} // namespace orvane
