// SPDX-License-Identifier: MIT
#include "doubles/FakeSensor.h"

#include <memory>

namespace orvane {

namespace {
constexpr double nanosecondsPerSecond = 1e9;

std::vector<std::unique_ptr<LidSource>> oneSource(std::unique_ptr<LidSource> source) {
    std::vector<std::unique_ptr<LidSource>> sources;
    sources.push_back(std::move(source));
    return sources;
}
} // namespace

bool FakeLidSource::open() {
    ++state_.openCalls;
    openTimes.push_back(clock_.now);
    return state_.openResult;
}

void FakeLidSource::close() {
    ++state_.closeCalls;
}

std::optional<LidReading> FakeLidSource::read() {
    ++state_.readCalls;
    if (!state_.readResult) {
        return std::nullopt;
    }
    return LidReading{"fake", state_.readResult, *state_.readResult == 0};
}

void FakeSensorRig::Timer::schedule(std::int64_t intervalNanoseconds, std::int64_t) {
    if (handle) {
        scheduler.cancel(*handle);
    }
    handle = scheduler.every(static_cast<double>(intervalNanoseconds) / nanosecondsPerSecond,
                             [this] { poller->poll(); });
}

FakeSensorRig::FakeSensorRig()
    : source_(nullptr), chain_([this] {
          auto source = std::make_unique<FakeLidSource>(state, scheduler);
          source_ = source.get();
          return oneSource(std::move(source));
      }()),
      poller_(chain_.reader(), timer_, scheduler.clock()),
      service_([this](auto work) { work(poller_); },
               [this](auto work) { scheduler.after(0, std::move(work)); }) {
    pollerRef_ = &poller_;
    service_.onSample = [this](const LidSample& sample) {
        ++state.samples;
        samples.push_back(sample.angle);
    };
    service_.onAvailabilityChange = [this](bool open) {
        state.events.push_back(open);
        samplesBeforeEvent.push_back(state.samples);
    };
}

} // namespace orvane
