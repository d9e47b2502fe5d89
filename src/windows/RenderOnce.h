// SPDX-License-Identifier: MIT
// Pictures rendered once per process on a thread of their own and handed to
// the main thread. The thread is joined as the application goes, while the
// OpenGL driver still lives: joined in static destruction instead, it can wait
// forever on the driver's own teardown.
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QObject>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace orvane {

class RenderOnce {
public:
    RenderOnce() = default;
    ~RenderOnce() {
        join();
        std::erase(running(), this);
    }
    RenderOnce(const RenderOnce&) = delete;
    RenderOnce& operator=(const RenderOnce&) = delete;

    // The first call runs `render` on the thread, then `deliver` in `context` on the main
    // thread; later calls do nothing.
    void start(QObject* context, std::function<std::vector<QImage>()> render,
               std::function<void(std::vector<QImage>)> deliver) {
        if (started_) {
            return;
        }
        started_ = true;
        running().push_back(this);
        qAddPostRoutine(&RenderOnce::joinAll);
        thread_ = std::thread([context, render = std::move(render), deliver = std::move(deliver)] {
            QMetaObject::invokeMethod(
                context, [deliver, pictures = render()] { deliver(pictures); },
                Qt::QueuedConnection);
        });
    }

private:
    static std::vector<RenderOnce*>& running() {
        static std::vector<RenderOnce*> all;
        return all;
    }
    static void joinAll() {
        for (RenderOnce* once : running()) {
            once->join();
        }
    }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    bool started_ = false;
    std::thread thread_;
};

} // namespace orvane
