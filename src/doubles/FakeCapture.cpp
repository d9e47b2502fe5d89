// SPDX-License-Identifier: MIT
#include "doubles/FakeCapture.h"

#include <algorithm>

namespace orvane {

namespace {

class FakeTexture final : public FrameTexture {
public:
    FakeTexture(int width, int height) : width_(width), height_(height) {}
    unsigned textureName() const override { return 0; }
    int width() const override { return width_; }
    int height() const override { return height_; }

private:
    int width_;
    int height_;
};

} // namespace

void FakeCaptureFactory::prepare(std::function<void(Prepared)> done) {
    ++counts.preparations;
    scheduler_.after(prepareDelay, [this, done] {
        if (!permission) {
            return done(CaptureError{CaptureError::Kind::noPermission, {}});
        }
        if (screen) {
            ++counts.geometry;
        }
        done(screen);
    });
}

void FakeCaptureFactory::makeBackend(const CapturePreparation&, std::int64_t,
                                     std::shared_ptr<FrameSink> sink,
                                     std::function<void(Made)> done) {
    scheduler_.after(0, [this, sink, done] {
        if (constructionError) {
            return done(*constructionError);
        }
        ++counts.constructed;
        sinks.push_back(sink);
        auto backend = std::make_unique<FakeCaptureBackend>(*this);
        backend->scheduler_ = &scheduler_;
        done(std::unique_ptr<CaptureBackend>(std::move(backend)));
    });
}

void FakeCaptureFactory::deliverFrame() {
    if (!sinks.empty() && screen) {
        sinks.back()->deliver(std::make_shared<FakeTexture>(screen->width, screen->height));
    }
}

void FakeCaptureBackend::start(std::function<void(std::optional<CaptureError>)> done) {
    active_ = true;
    FakeCaptureFactory::Counts& counts = factory_.counts;
    ++counts.active;
    counts.peakActive = std::max(counts.peakActive, counts.active);
    scheduler_->after(factory_.startDelay, [this, done] {
        if (factory_.startError) {
            active_ = false;
            --factory_.counts.active;
            return done(factory_.startError);
        }
        started.running = true;
        ++factory_.counts.running;
        done(std::nullopt);
    });
}

void FakeCaptureBackend::stop(std::function<void()> done) {
    ++factory_.counts.stops;
    scheduler_->after(factory_.stopDelay, [this, done] {
        if (started.running) {
            started.running = false;
            --factory_.counts.running;
        }
        if (active_) {
            active_ = false;
            --factory_.counts.active;
        }
        started.stopped = true;
        done();
    });
}

} // namespace orvane
