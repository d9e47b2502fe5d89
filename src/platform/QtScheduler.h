// SPDX-License-Identifier: MIT
// The main thread's timers over QTimer. A cancelled timer never fires, even
// when it is cancelled from inside another timer's work at the same instant.
#pragma once

#include "core/Scheduler.h"

#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace orvane {

class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    Handle after(double seconds, std::function<void()> work) override;
    Handle every(double seconds, std::function<void()> work) override;
    void cancel(Handle handle) override;

private:
    struct Timer;
    Handle add(double seconds, bool repeat, std::function<void()> work);
    void fire(Handle handle);

    std::map<Handle, std::unique_ptr<Timer>> timers_;
    Handle last_ = 0;
};

} // namespace orvane
