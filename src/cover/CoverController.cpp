// SPDX-License-Identifier: MIT
#include "cover/CoverController.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvane {
namespace {

// The veil grows in this many frames over Tuning::veilGrowDuration.
constexpr int veilSteps = 15;
// The veil's final level: a little past 1 so the frost's ragged edge is gone.
constexpr double veilFullLevel = 1.05;
constexpr double secondsPerMinute = 60.0;

} // namespace

CoverController::CoverController(std::function<CoverHost*()> host, Scheduler& scheduler,
                                 std::function<double()> wallClock)
    : host_(std::move(host)), scheduler_(scheduler), wallClock_(std::move(wallClock)) {}

// Pending timers capture this; none may fire after it is gone.
CoverController::~CoverController() {
    tearDown();
}

void CoverController::coverAppeared(CoverMode mode, bool reduceMotion) {
    tearDown();
    dressing_ = CoverDressing{mode, wallClock_(),
                              mode == CoverMode::veil && reduceMotion ? veilFullLevel : 0.0};
    send();
    if (mode == CoverMode::veil && !reduceMotion) {
        veilTimer_ = scheduler_.every(Tuning::veilGrowDuration / veilSteps, [this] { growVeil(); });
    }
    startMinuteTimer();
}

void CoverController::coverEnded() {
    tearDown();
    if (CoverHost* host = host_()) {
        host->setCoverDressing(std::nullopt);
    }
}

void CoverController::tearDown() {
    for (std::optional<Scheduler::Handle>* timer : {&veilTimer_, &minuteTimer_}) {
        if (*timer) {
            scheduler_.cancel(**timer);
            timer->reset();
        }
    }
    veilStep_ = 0;
    dressing_.reset();
}

void CoverController::growVeil() {
    ++veilStep_;
    dressing_->veilLevel = std::min(veilStep_ * veilFullLevel / veilSteps, veilFullLevel);
    send();
    if (veilStep_ >= veilSteps && veilTimer_) {
        scheduler_.cancel(*veilTimer_);
        veilTimer_.reset();
    }
}

// The clocks show minutes, so they change exactly when the wall clock's seconds
// reach 0; local time zones share UTC's seconds, so UTC's minute is the local one.
void CoverController::startMinuteTimer() {
    const double now = wallClock_();
    const double next = (std::floor(now / secondsPerMinute) + 1.0) * secondsPerMinute;
    minuteTimer_ = scheduler_.after(next - now, [this] {
        showMinute();
        minuteTimer_ = scheduler_.every(secondsPerMinute, [this] { showMinute(); });
    });
}

void CoverController::showMinute() {
    dressing_->now = wallClock_();
    send();
}

void CoverController::send() {
    if (CoverHost* host = host_()) {
        host->setCoverDressing(dressing_);
    }
}

} // namespace orvane
