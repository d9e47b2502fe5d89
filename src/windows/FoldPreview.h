// SPDX-License-Identifier: MIT
// The settings window's live picture of the fold: the sample desktop over the wallpaper,
// folded as the request says. Renders run one at a time on a worker thread that owns the
// OpenGL context; requests that arrive meanwhile collapse into the latest.
#pragma once

#include "settings/FoldPreviewQueue.h"
#include "settings/FoldPreviewRequest.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace orvane {

struct FoldPreviewFrame {
    FoldPreviewRequest request; // the request this frame answers
    QImage image;
    QImage desktop; // the unfolded sample desktop it was folded from
};

// Main thread only.
class FoldPreview : public QObject {
    Q_OBJECT
public:
    // Runs on the worker; none when the picture cannot be drawn.
    using RenderFunction = std::function<std::optional<QImage>(const FoldPreviewRequest&)>;

    // Finds the wallpaper, or none for the sample desktop's own; called on the worker.
    using BackgroundSource = std::function<std::optional<QImage>()>;

    // The worker and its OpenGL context start with the first request.
    explicit FoldPreview(BackgroundSource background = {}, QObject* parent = nullptr);
    // Draws with `render` instead (its frames carry no desktop).
    explicit FoldPreview(RenderFunction render, QObject* parent = nullptr);
    // Waits for a render in progress.
    ~FoldPreview() override;

    // Returns at once; changed() follows when the picture is ready.
    void request(const FoldPreviewRequest& r);
    const std::optional<FoldPreviewFrame>& frame() const { return frame_; }
    // Set for good once a render failed.
    bool unavailable() const { return queue_.unavailable(); }
    // Renders started so far.
    int renders() const { return renders_; }

signals:
    void changed();

private:
    class Worker;
    using Engine = std::function<std::optional<FoldPreviewFrame>(const FoldPreviewRequest&)>;

    void startNext();
    void finished(std::optional<FoldPreviewFrame> frame);

    FoldPreviewQueue queue_;
    std::optional<FoldPreviewFrame> frame_;
    int renders_ = 0;
    std::unique_ptr<Worker> worker_;
};

} // namespace orvane
