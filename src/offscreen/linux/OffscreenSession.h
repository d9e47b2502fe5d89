// SPDX-License-Identifier: MIT
// Everything a tool needs to render the fold without a window: a headless
// context, the renderer and the sample desktops it folds.
#pragma once

#include "core/Result.h"
#include "core/Tuning.h"
#include "offscreen/RawImage.h"
#include "offscreen/linux/CannedDesktop.h"
#include "offscreen/linux/HeadlessGL.h"
#include "render/linux/FoldRenderer.h"

#include <map>
#include <memory>
#include <string>

namespace orvane {

struct RenderRequest {
    FoldLook look = FoldLook::tools();
    double angle = 0;
    int width = static_cast<int>(Tuning::renderWidth);
    int height = static_cast<int>(Tuning::renderHeight);
    std::optional<QImage> background;
    FoldMotion motion;
};

class OffscreenSession {
public:
    static Result<std::unique_ptr<OffscreenSession>, OffscreenError> create();

    // The sample desktop of that size, drawn and uploaded once.
    Result<const CannedDesktop*, OffscreenError> cannedDesktop(int width, int height);
    Result<RawImage, OffscreenError> render(const RenderRequest& request);
    // Folds a texture the caller made in this session's context, for a desktop drawn once
    // and folded many times; the request's background is ignored.
    Result<RawImage, OffscreenError> render(const SourceTexture& source,
                                            const RenderRequest& request);
    // Median GPU time of `count` frames at the standard size and lid angle 70.
    Result<double, OffscreenError> medianGPUMilliseconds(int count, FoldStyle style,
                                                         const FoldMotion& motion);

    HeadlessGL& context() { return *context_; }
    FoldRenderer& renderer() { return renderer_; }

private:
    struct Canned {
        std::unique_ptr<CannedDesktop> desktop;
        gl::RenderTexture texture;
    };

    OffscreenSession(std::unique_ptr<HeadlessGL> context, FoldRenderer renderer)
        : context_(std::move(context)), renderer_(std::move(renderer)) {}
    Result<const Canned*, OffscreenError> canned(int width, int height);
    const gl::RenderTexture* targetFor(int width, int height);
    Result<RawImage, OffscreenError> draw(const SourceTexture& source,
                                          const RenderRequest& request);

    std::unique_ptr<HeadlessGL> context_;
    FoldRenderer renderer_;
    std::map<std::string, Canned> cannedCache_;
    gl::RenderTexture target_;
};

} // namespace orvane
