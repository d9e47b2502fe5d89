// SPDX-License-Identifier: MIT
#include "windows/FoldPreview.h"

#include "core/Tuning.h"
#include "windows/FoldPreviewRenderer.h"

#include <QThread>

#include <utility>

namespace orvane {

// A thread with an event loop whose engine lives and dies on it, as its context must.
class FoldPreview::Worker final : public QThread {
public:
    explicit Worker(Engine engine) : engine_(std::move(engine)) { context_.moveToThread(this); }
    ~Worker() override {
        quit();
        wait();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Renders `r` here, then hands the result to `owner` on its thread.
    void render(const FoldPreviewRequest& r, FoldPreview* owner) {
        if (!isRunning()) {
            start();
        }
        QMetaObject::invokeMethod(
            &context_,
            [this, r, owner] {
                std::optional<FoldPreviewFrame> frame = engine_(r);
                QMetaObject::invokeMethod(
                    owner, [owner, frame = std::move(frame)] { owner->finished(frame); },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

protected:
    void run() override {
        exec();
        engine_ = nullptr;
    }

private:
    Engine engine_;
    QObject context_;
};

namespace {

// The renderer is made on first use; once that fails, every render fails at once.
struct RealEngine {
    FoldPreview::BackgroundSource background;
    std::unique_ptr<FoldPreviewRenderer> renderer;
    bool broken = false;

    std::optional<FoldPreviewFrame> render(const FoldPreviewRequest& r) {
        if (broken) {
            return std::nullopt;
        }
        if (renderer == nullptr) {
            // Looked up here, off the main thread: a desktop service may be slow to answer.
            renderer = FoldPreviewRenderer::create(Tuning::previewWidth, Tuning::previewHeight,
                                                   background ? background() : std::nullopt);
            if (renderer == nullptr) {
                broken = true;
                return std::nullopt;
            }
        }
        auto image = renderer->render(r);
        if (!image) {
            return std::nullopt;
        }
        return FoldPreviewFrame{r, std::move(*image), renderer->desktop()};
    }
};

} // namespace

FoldPreview::FoldPreview(BackgroundSource background, QObject* parent) : QObject(parent) {
    auto engine = std::make_shared<RealEngine>();
    engine->background = std::move(background);
    worker_ = std::make_unique<Worker>(
        [engine](const FoldPreviewRequest& r) { return engine->render(r); });
}

FoldPreview::FoldPreview(RenderFunction render, QObject* parent) : QObject(parent) {
    worker_ = std::make_unique<Worker>(
        [render =
             std::move(render)](const FoldPreviewRequest& r) -> std::optional<FoldPreviewFrame> {
            auto image = render(r);
            if (!image) {
                return std::nullopt;
            }
            return FoldPreviewFrame{r, std::move(*image), {}};
        });
}

FoldPreview::~FoldPreview() = default;

void FoldPreview::request(const FoldPreviewRequest& r) {
    if (queue_.request(r)) {
        startNext();
    }
}

void FoldPreview::startNext() {
    if (const auto next = queue_.next()) {
        ++renders_;
        worker_->render(*next, this);
    }
}

void FoldPreview::finished(std::optional<FoldPreviewFrame> frame) {
    queue_.finished(frame ? std::optional(frame->request) : std::nullopt);
    // A frame or, failing one, the preview's unavailability: either way news.
    if (frame) {
        frame_ = std::move(frame);
    }
    emit changed();
    startNext();
}

} // namespace orvane
