// SPDX-License-Identifier: MIT
#include "accordion/AccordionModel.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr auto& edges = Tuning::accordionZoneEdges;
constexpr std::int64_t edgeCount = static_cast<std::int64_t>(edges.size());

double edge(std::int64_t i) {
    return edges[static_cast<std::size_t>(i)];
}

} // namespace

std::int64_t AccordionModel::rawZone(double angle) {
    for (std::int64_t i = 0; i < edgeCount; ++i) {
        if (edge(i) <= angle) {
            return i;
        }
    }
    return edgeCount;
}

std::int64_t AccordionModel::zoneForAngle(double angle, std::int64_t current) {
    const double h = Tuning::accordionZoneHysteresis;
    std::int64_t z = std::clamp<std::int64_t>(current, 0, edgeCount);
    if (std::isnan(angle)) {
        return z;
    }
    if (z < edgeCount) {
        std::int64_t found = edgeCount;
        for (std::int64_t i = z; i < edgeCount; ++i) {
            if (angle >= edge(i) - h) {
                found = i;
                break;
            }
        }
        z = found;
    }
    while (z >= 1 && angle > edge(z - 1) + h) {
        --z;
    }
    return z;
}

void AccordionModel::update(double angle, double velocity, double time, AccordionParams& params) {
    if (!std::isfinite(angle) || !std::isfinite(velocity) || !std::isfinite(time)) {
        return;
    }
    zone = zone < 0 ? rawZone(angle) : zoneForAngle(angle, zone);

    double dt = lastTime ? time - *lastTime : Tuning::accordionMinimumStep;
    if (dt <= Tuning::accordionMinimumStep) {
        dt = Tuning::accordionMinimumStep;
    }
    // A noisy velocity without real travel must not make sound.
    double speed = std::abs(velocity);
    if (lastAngle && lastTime) {
        speed = std::min(std::abs(angle - *lastAngle) / dt, speed);
    }
    lastAngle = angle;
    lastTime = time;

    const float pressure = static_cast<float>(
        std::clamp((speed - Tuning::stillVelocity) / Tuning::accordionFullSpeed, 0.0, 1.0));

    std::int32_t newDirection = direction;
    if (pressure > Tuning::accordionDirectionPressure) {
        newDirection = velocity < 0 ? -1 : 1;
    }
    if (direction != 0 && newDirection != direction) {
        // Signed atomic arithmetic wraps, which the audio side expects.
        params.puffCounter.fetch_add(1, std::memory_order_relaxed);
        shake = std::min(shake + Tuning::accordionShakePerReversal, 1.0);
    }
    shake = std::max(shake - dt / Tuning::accordionShakeDecay, 0.0);
    direction = newDirection;

    const double tremolo = std::max(
        (shake - Tuning::accordionShakeThreshold) / (1.0 - Tuning::accordionShakeThreshold), 0.0);
    params.targetPressure.store(pressure, std::memory_order_relaxed);
    params.zone.store(static_cast<std::int32_t>(zone), std::memory_order_relaxed);
    params.direction.store(newDirection, std::memory_order_relaxed);
    params.tremolo.store(static_cast<float>(tremolo), std::memory_order_relaxed);
}

} // namespace orvane
