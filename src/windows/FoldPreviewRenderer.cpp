// SPDX-License-Identifier: MIT
#include "windows/FoldPreviewRenderer.h"

#include "offscreen/linux/PngFile.h"

#include <QPainter>

namespace orvane {

std::unique_ptr<FoldPreviewRenderer>
FoldPreviewRenderer::create(int width, int height, const std::optional<QImage>& background) {
    auto session = OffscreenSession::create();
    if (!session.ok()) {
        return nullptr;
    }
    std::unique_ptr<FoldPreviewRenderer> made(new FoldPreviewRenderer);
    made->session_ = session.take();
    const CannedDesktop desktop(width, height, background);
    made->source_ =
        gl::makeRenderTexture(desktop.width(), desktop.height(), desktop.bytes().data());
    if (!made->source_.texture) {
        return nullptr;
    }
    made->desktop_ =
        QImage(desktop.bytes().data(), desktop.width(), desktop.height(),
               static_cast<qsizetype>(desktop.bytesPerRow()), QImage::Format_ARGB32_Premultiplied)
            .copy();
    return made;
}

FoldPreviewRenderer::~FoldPreviewRenderer() {
    // The texture goes with the context it was made in.
    if (session_ != nullptr) {
        session_->context().makeCurrent();
    }
    source_ = {};
}

std::optional<QImage> FoldPreviewRenderer::render(const FoldPreviewRequest& r) {
    RenderRequest request;
    request.look = r.look;
    request.angle = r.angle;
    request.width = source_.width;
    request.height = source_.height;
    request.motion = FoldMotion::still();
    auto raw = session_->render({source_.texture.get(), source_.width, source_.height}, request);
    if (!raw.ok()) {
        return std::nullopt;
    }
    // On screen the fold lies over the desktop, which shows wherever the fold has faded.
    QImage picture = desktop_.copy();
    QPainter painter(&picture);
    painter.drawImage(0, 0, imageView(raw.value()));
    painter.end();
    return picture;
}

std::vector<QImage> renderFoldPictures(int width, int height,
                                       const std::optional<QImage>& background,
                                       const std::vector<FoldPreviewRequest>& requests) {
    std::vector<QImage> pictures;
    auto renderer = FoldPreviewRenderer::create(width, height, background);
    if (renderer == nullptr) {
        return pictures;
    }
    for (const FoldPreviewRequest& request : requests) {
        auto picture = renderer->render(request);
        if (!picture) {
            return {};
        }
        pictures.push_back(std::move(*picture));
    }
    return pictures;
}

} // namespace orvane
