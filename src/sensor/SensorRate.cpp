// SPDX-License-Identifier: MIT
#include "sensor/SensorRate.h"

#include "core/Tuning.h"

namespace orvane {

namespace {
constexpr double nanosecondsPerSecond = 1e9;
constexpr std::int64_t nanosecondsPerMillisecond = 1'000'000;
} // namespace

double frequency(SensorRate rate) {
    switch (rate) {
    case SensorRate::idle:
        return Tuning::sensorHzIdle;
    case SensorRate::active:
        return Tuning::sensorHzActive;
    case SensorRate::fastIdle:
        return Tuning::sensorHzAccordion;
    }
    return Tuning::sensorHzIdle;
}

std::int64_t intervalNanoseconds(SensorRate rate) {
    return static_cast<std::int64_t>(nanosecondsPerSecond / frequency(rate));
}

std::int64_t leewayNanoseconds(SensorRate rate) {
    const std::int64_t ms =
        rate == SensorRate::active ? Tuning::sensorLeewayActiveMs : Tuning::sensorLeewayMs;
    return ms * nanosecondsPerMillisecond;
}

std::string_view rawValue(SensorRate rate) {
    switch (rate) {
    case SensorRate::idle:
        return "idle";
    case SensorRate::active:
        return "active";
    case SensorRate::fastIdle:
        return "fastIdle";
    }
    return "idle";
}

} // namespace orvane
