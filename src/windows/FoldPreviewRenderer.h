// SPDX-License-Identifier: MIT
// The sample desktop of one size, drawn once over a background and uploaded, then folded
// as often as asked. It owns an OpenGL context: create, use and destroy it on one thread.
#pragma once

#include "offscreen/linux/OffscreenSession.h"
#include "settings/FoldPreviewRequest.h"

#include <QImage>

#include <memory>
#include <optional>
#include <vector>

namespace orvane {

class FoldPreviewRenderer {
public:
    // None when the machine cannot make the context, the renderer or the desktop's texture.
    static std::unique_ptr<FoldPreviewRenderer> create(int width, int height,
                                                       const std::optional<QImage>& background);
    ~FoldPreviewRenderer();
    FoldPreviewRenderer(const FoldPreviewRenderer&) = delete;
    FoldPreviewRenderer& operator=(const FoldPreviewRenderer&) = delete;

    // The fold of a still lid over the desktop; none when the GPU fails.
    std::optional<QImage> render(const FoldPreviewRequest& request);
    // The unfolded sample desktop.
    const QImage& desktop() const { return desktop_; }

private:
    FoldPreviewRenderer() = default;

    std::unique_ptr<OffscreenSession> session_;
    gl::RenderTexture source_;
    QImage desktop_;
};

// Every request folded at one size by one renderer; empty when it cannot be made.
std::vector<QImage> renderFoldPictures(int width, int height,
                                       const std::optional<QImage>& background,
                                       const std::vector<FoldPreviewRequest>& requests);

} // namespace orvane
