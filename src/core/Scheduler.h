// SPDX-License-Identifier: MIT
// Timers on the main thread, for every subsystem that waits.
#pragma once

#include <cstdint>
#include <functional>

namespace orvane {

// Timers on the main thread. A cancelled timer never fires.
class Scheduler {
public:
    using Handle = std::uint64_t;
    virtual ~Scheduler() = default;
    virtual Handle after(double seconds, std::function<void()> work) = 0;
    virtual Handle every(double seconds, std::function<void()> work) = 0;
    virtual void cancel(Handle handle) = 0;
};

} // namespace orvane
