// SPDX-License-Identifier: MIT
#include "sensor/linux/SensorThread.h"

#include "core/AppIdentity.h"

#include <pthread.h>
#include <string>
#include <sys/prctl.h>

namespace orvane {

namespace {

// Thread names hold 15 characters: the full "<identifier>.sensor" where it
// fits, else the identifier's last part.
std::string threadName() {
    std::string name = std::string(AppIdentity::identifier) + ".sensor";
    constexpr std::size_t limit = 15;
    if (name.size() > limit) {
        name = std::string(AppIdentity::name) + ".sensor";
    }
    return name.substr(0, limit);
}

} // namespace

SensorThread::SensorThread(SensorPoller::Reader reader, std::function<double()> now)
    : poller_(std::move(reader), *this, std::move(now)), thread_([this] { run(); }) {}

SensorThread::~SensorThread() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SensorThread::post(std::function<void(SensorPoller&)> work) {
    {
        const std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void SensorThread::schedule(std::int64_t intervalNanoseconds, std::int64_t leewayNanoseconds) {
    interval_ = std::chrono::nanoseconds(intervalNanoseconds);
    nextTick_ = Clock::now() + *interval_;
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(leewayNanoseconds), 0, 0, 0);
}

void SensorThread::run() {
    pthread_setname_np(pthread_self(), threadName().c_str());
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!work_.empty()) {
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work(poller_);
            lock.lock();
            continue;
        }
        if (!interval_) {
            wake_.wait(lock);
            continue;
        }
        if (wake_.wait_until(lock, nextTick_) == std::cv_status::no_timeout) {
            continue; // new work, or the end
        }
        lock.unlock();
        poller_.poll();
        // A late tick does not make up for lost ones: the next follows one interval on.
        nextTick_ += *interval_;
        const Clock::time_point now = Clock::now();
        if (nextTick_ <= now) {
            nextTick_ = now + *interval_;
        }
        lock.lock();
    }
}

} // namespace orvane
