// SPDX-License-Identifier: MIT
// Dresses the parked overlay: sends the display the dressing, grows the veil's
// frost over a few frames and moves the clocks on at each full minute.
#pragma once

#include "core/Scheduler.h"
#include "cover/CoverControl.h"
#include "cover/CoverHost.h"

#include <functional>
#include <optional>

namespace orvane {

class CoverController final : public CoverControl {
public:
    // host returns the display, or nullptr while there is none; wallClock gives
    // seconds since the epoch.
    CoverController(std::function<CoverHost*()> host, Scheduler& scheduler,
                    std::function<double()> wallClock);
    ~CoverController() override;
    CoverController(const CoverController&) = delete;
    CoverController& operator=(const CoverController&) = delete;

    void coverAppeared(CoverMode mode, bool reduceMotion) override;
    void coverEnded() override;

    // What the display draws; none while no cover shows.
    const std::optional<CoverDressing>& dressing() const { return dressing_; }

private:
    void tearDown();
    void growVeil();
    void startMinuteTimer();
    void showMinute();
    void send();

    std::function<CoverHost*()> host_;
    Scheduler& scheduler_;
    std::function<double()> wallClock_;
    std::optional<CoverDressing> dressing_;
    std::optional<Scheduler::Handle> veilTimer_;
    std::optional<Scheduler::Handle> minuteTimer_;
    int veilStep_ = 0;
};

} // namespace orvane
