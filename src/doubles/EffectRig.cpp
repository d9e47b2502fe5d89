// SPDX-License-Identifier: MIT
#include "doubles/EffectRig.h"

#include <utility>

namespace orvane {

EffectRig::EffectRig(std::string suiteName, const FoldSettings& initial)
    : suite(std::move(suiteName)) {
    initial.save(store);
    controller_ = std::make_unique<EffectController>(
        EffectController::Ports{store, display, quiet_, quiet_, quiet_, quiet_, quiet_, scheduler,
                                system, notes, Clock{scheduler.clock(), scheduler.clock()}});
    controller_->start();
    controller_->sensorAvailabilityChanged(true);
}

} // namespace orvane
