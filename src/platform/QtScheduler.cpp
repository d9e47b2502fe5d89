// SPDX-License-Identifier: MIT
#include "platform/QtScheduler.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvane {

struct QtScheduler::Timer {
    // Deleted later: a timer may be cancelled from inside its own timeout.
    std::unique_ptr<QTimer, void (*)(QTimer*)> timer{new QTimer, [](QTimer* t) {
                                                         t->stop();
                                                         t->deleteLater();
                                                     }};
    std::function<void()> work;
    bool repeat = false;
};

QtScheduler::QtScheduler() = default;

QtScheduler::~QtScheduler() = default;

Scheduler::Handle QtScheduler::after(double seconds, std::function<void()> work) {
    return add(seconds, false, std::move(work));
}

Scheduler::Handle QtScheduler::every(double seconds, std::function<void()> work) {
    return add(seconds, true, std::move(work));
}

Scheduler::Handle QtScheduler::add(double seconds, bool repeat, std::function<void()> work) {
    const Handle handle = ++last_;
    auto timer = std::make_unique<Timer>();
    timer->work = std::move(work);
    timer->repeat = repeat;
    QTimer* qtimer = timer->timer.get();
    qtimer->setSingleShot(!repeat);
    qtimer->setTimerType(Qt::PreciseTimer);
    // Never early: a fraction of a millisecond waits for the next whole one.
    const double milliseconds = std::ceil(std::max(seconds, 0.0) * 1000.0);
    QObject::connect(qtimer, &QTimer::timeout, [this, handle] { fire(handle); });
    timers_.emplace(handle, std::move(timer));
    qtimer->start(static_cast<int>(std::min(milliseconds, 2147483647.0)));
    return handle;
}

void QtScheduler::fire(Handle handle) {
    const auto at = timers_.find(handle);
    if (at == timers_.end()) {
        return;
    }
    if (at->second->repeat) {
        // A copy: the work may cancel its own timer.
        const std::function<void()> work = at->second->work;
        work();
        return;
    }
    const std::function<void()> work = std::move(at->second->work);
    timers_.erase(at);
    work();
}

void QtScheduler::cancel(Handle handle) {
    timers_.erase(handle);
}

} // namespace orvane
