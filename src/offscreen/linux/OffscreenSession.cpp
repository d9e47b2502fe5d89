// SPDX-License-Identifier: MIT
#include "offscreen/linux/OffscreenSession.h"

#include <algorithm>
#include <vector>

namespace orvane {

namespace {

constexpr double nanosecondsPerMillisecond = 1e6;

FoldFrameParams paramsOf(const RenderRequest& r) {
    FoldFrameParams params;
    params.angle = r.angle;
    params.look = r.look;
    params.motion = r.motion;
    params.opacity = 1;
    return params;
}

} // namespace

Result<std::unique_ptr<OffscreenSession>, OffscreenError> OffscreenSession::create() {
    std::unique_ptr<HeadlessGL> context = HeadlessGL::create();
    if (!context) {
        return OffscreenError{OffscreenError::Kind::noDevice, {}};
    }
    auto renderer = FoldRenderer::create();
    if (!renderer) {
        return OffscreenError{OffscreenError::Kind::rendererFailed, renderer.error().description()};
    }
    return std::unique_ptr<OffscreenSession>(
        new OffscreenSession(std::move(context), renderer.take()));
}

Result<const OffscreenSession::Canned*, OffscreenError> OffscreenSession::canned(int width,
                                                                                 int height) {
    const std::string key = std::to_string(width) + "x" + std::to_string(height);
    if (const auto found = cannedCache_.find(key); found != cannedCache_.end()) {
        return &found->second;
    }
    auto desktop = std::make_unique<CannedDesktop>(width, height);
    gl::RenderTexture texture =
        gl::makeRenderTexture(desktop->width(), desktop->height(), desktop->bytes().data());
    if (!texture.texture) {
        return OffscreenError{OffscreenError::Kind::textureFailed, {}};
    }
    const Canned* entry =
        &cannedCache_.emplace(key, Canned{std::move(desktop), std::move(texture)}).first->second;
    return entry;
}

Result<const CannedDesktop*, OffscreenError> OffscreenSession::cannedDesktop(int width,
                                                                             int height) {
    auto entry = canned(width, height);
    if (!entry) {
        return entry.error();
    }
    return static_cast<const CannedDesktop*>(entry.value()->desktop.get());
}

const gl::RenderTexture* OffscreenSession::targetFor(int width, int height) {
    // A movie renders hundreds of frames at one size: one target serves them all.
    if (!target_.texture || target_.width != width || target_.height != height) {
        target_ = gl::makeRenderTexture(width, height);
    }
    return target_.texture ? &target_ : nullptr;
}

Result<RawImage, OffscreenError> OffscreenSession::draw(const SourceTexture& source,
                                                        const RenderRequest& request) {
    const gl::RenderTexture* made = targetFor(request.width, request.height);
    if (made == nullptr) {
        return OffscreenError{OffscreenError::Kind::textureFailed, {}};
    }
    const gl::RenderTexture& target = *made;
    renderer_.encode(source, {target.framebuffer.get(), target.width, target.height},
                     paramsOf(request));

    RawImage image;
    image.width = target.width;
    image.height = target.height;
    image.bytesPerRow = 4 * image.width;
    image.bytes.resize(static_cast<std::size_t>(image.bytesPerRow * image.height));
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer.get());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, target.width, target.height, GL_BGRA, GL_UNSIGNED_BYTE, image.bytes.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        return OffscreenError{OffscreenError::Kind::textureFailed, {}};
    }
    return image;
}

Result<RawImage, OffscreenError> OffscreenSession::render(const RenderRequest& request) {
    if (!context_->makeCurrent()) {
        return OffscreenError{OffscreenError::Kind::commandBufferFailed, {}};
    }
    if (request.background) {
        const CannedDesktop desktop(request.width, request.height, request.background);
        gl::RenderTexture texture =
            gl::makeRenderTexture(desktop.width(), desktop.height(), desktop.bytes().data());
        if (!texture.texture) {
            return OffscreenError{OffscreenError::Kind::textureFailed, {}};
        }
        return draw({texture.texture.get(), texture.width, texture.height}, request);
    }
    auto entry = canned(request.width, request.height);
    if (!entry) {
        return entry.error();
    }
    const gl::RenderTexture& texture = entry.value()->texture;
    return draw({texture.texture.get(), texture.width, texture.height}, request);
}

Result<RawImage, OffscreenError> OffscreenSession::render(const SourceTexture& source,
                                                          const RenderRequest& request) {
    if (!context_->makeCurrent()) {
        return OffscreenError{OffscreenError::Kind::commandBufferFailed, {}};
    }
    return draw(source, request);
}

Result<double, OffscreenError> OffscreenSession::medianGPUMilliseconds(int count, FoldStyle style,
                                                                       const FoldMotion& motion) {
    if (!context_->makeCurrent()) {
        return OffscreenError{OffscreenError::Kind::commandBufferFailed, {}};
    }
    RenderRequest request;
    request.look.style = style;
    request.angle = Tuning::gpuTimingAngle;
    request.motion = motion;
    auto entry = canned(request.width, request.height);
    if (!entry) {
        return entry.error();
    }
    const gl::RenderTexture& source = entry.value()->texture;
    const gl::RenderTexture* made = targetFor(request.width, request.height);
    if (made == nullptr) {
        return OffscreenError{OffscreenError::Kind::textureFailed, {}};
    }
    const gl::RenderTexture& target = *made;
    GLuint name = 0;
    glGenQueries(1, &name);
    const gl::Query query(name);
    std::vector<double> times;
    for (int i = 0; i < std::max(count, 1); ++i) {
        glBeginQuery(GL_TIME_ELAPSED, query.get());
        renderer_.encode({source.texture.get(), source.width, source.height},
                         {target.framebuffer.get(), target.width, target.height},
                         paramsOf(request));
        glEndQuery(GL_TIME_ELAPSED);
        GLuint64 elapsed = 0;
        glGetQueryObjectui64v(query.get(), GL_QUERY_RESULT, &elapsed);
        times.push_back(static_cast<double>(elapsed) / nanosecondsPerMillisecond);
    }
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

} // namespace orvane
