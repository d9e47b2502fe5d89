// SPDX-License-Identifier: MIT
#include "SheetPainter.h"

#include <array>

namespace orvane {

namespace {

// The state a compositor's own drawing expects to find as it left it.
class SavedGlState {
public:
    SavedGlState() {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_.data());
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
        glGetIntegerv(GL_UNIFORM_BUFFER_BINDING, &uniformBuffer_);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        for (GLuint unit = 0; unit < units; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures_[unit]);
            glGetIntegerv(GL_SAMPLER_BINDING, &samplers_[unit]);
        }
        blend_ = glIsEnabled(GL_BLEND);
        scissor_ = glIsEnabled(GL_SCISSOR_TEST);
        depth_ = glIsEnabled(GL_DEPTH_TEST);
        cull_ = glIsEnabled(GL_CULL_FACE);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blendFunc_[0]);
        glGetIntegerv(GL_BLEND_DST_RGB, &blendFunc_[1]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendFunc_[2]);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blendFunc_[3]);
    }
    ~SavedGlState() {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glUseProgram(static_cast<GLuint>(program_));
        glBindVertexArray(static_cast<GLuint>(vertexArray_));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
        glBindBuffer(GL_UNIFORM_BUFFER, static_cast<GLuint>(uniformBuffer_));
        for (GLuint unit = 0; unit < units; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textures_[unit]));
            glBindSampler(unit, static_cast<GLuint>(samplers_[unit]));
        }
        glActiveTexture(static_cast<GLenum>(activeTexture_));
        blend_ ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        scissor_ ? glEnable(GL_SCISSOR_TEST) : glDisable(GL_SCISSOR_TEST);
        depth_ ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        cull_ ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        glBlendFuncSeparate(static_cast<GLenum>(blendFunc_[0]), static_cast<GLenum>(blendFunc_[1]),
                            static_cast<GLenum>(blendFunc_[2]), static_cast<GLenum>(blendFunc_[3]));
    }
    SavedGlState(const SavedGlState&) = delete;
    SavedGlState& operator=(const SavedGlState&) = delete;

private:
    static constexpr GLuint units = 3; // the fold samples three textures at once
    GLint drawFramebuffer_ = 0;
    GLint readFramebuffer_ = 0;
    std::array<GLint, 4> viewport_{};
    GLint program_ = 0;
    GLint vertexArray_ = 0;
    GLint arrayBuffer_ = 0;
    GLint uniformBuffer_ = 0;
    GLint activeTexture_ = GL_TEXTURE0;
    std::array<GLint, units> textures_{};
    std::array<GLint, units> samplers_{};
    GLboolean blend_ = GL_FALSE;
    GLboolean scissor_ = GL_FALSE;
    GLboolean depth_ = GL_FALSE;
    GLboolean cull_ = GL_FALSE;
    std::array<GLint, 4> blendFunc_{};
};

bool sized(const gl::RenderTexture& texture, int width, int height) {
    return texture.framebuffer && texture.width == width && texture.height == height;
}

} // namespace

Result<SheetPainter, std::string> SheetPainter::create() {
    // Before any call of OpenGL 3: an older context has none of them to make.
    const bool desktop = epoxy_is_desktop_gl() != 0;
    if (epoxy_gl_version() < (desktop ? 33 : 30)) {
        return std::string("KWin's OpenGL context is older than OpenGL 3.3 or OpenGL ES 3.0.");
    }
    const SavedGlState saved;
    auto renderer = FoldRenderer::create();
    if (!renderer) {
        return renderer.error().description();
    }
    // Every variant now, so that none stalls the compositor in the middle of a fold.
    renderer.value().prepareVariants();
    return SheetPainter(renderer.take());
}

bool SheetPainter::ensureTextures(int width, int height) {
    for (gl::RenderTexture* texture : {&source_, &canvas_}) {
        if (!sized(*texture, width, height)) {
            *texture = gl::makeRenderTexture(width, height);
        }
    }
    return source_.framebuffer && canvas_.framebuffer;
}

void SheetPainter::draw(const CompositorTarget& target, const FoldFrameParams& frame, bool held) {
    const SavedGlState saved;
    const int w = target.width;
    const int h = target.height;
    const bool haveDesktop = held && sized(source_, w, h);
    if (w <= 0 || h <= 0 || !ensureTextures(w, h)) {
        return;
    }
    glDisable(GL_SCISSOR_TEST);
    if (!haveDesktop) {
        // The fold's textures keep the top row first: turn the output over on the way in.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, source_.framebuffer.get());
        glBlitFramebuffer(target.x, target.y, target.x + w, target.y + h, 0, h, w, 0,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    // The desktop under the fold, so that a fading fold shows it through.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source_.framebuffer.get());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, canvas_.framebuffer.get());
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);

    const RenderTarget canvas{canvas_.framebuffer.get(), w, h, true};
    renderer_.encode(SourceTexture{source_.texture.get(), w, h}, canvas, frame);
    if (dressing_.texture) {
        // Drawn over the whole output, whatever its pixel size.
        renderer_.layOver(SourceTexture{dressing_.texture.get(), w, h}, canvas);
    }

    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, canvas_.framebuffer.get());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.framebuffer);
    glBlitFramebuffer(0, 0, w, h, target.x, target.y + h, target.x + w, target.y,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void SheetPainter::setDressing(const void* pixels, int width, int height) {
    const SavedGlState saved;
    dressing_ = gl::makeRenderTexture(width, height, pixels);
}

void SheetPainter::clearDressing() {
    dressing_ = {};
}

void SheetPainter::releaseTextures() {
    source_ = {};
    canvas_ = {};
    dressing_ = {};
    renderer_.releaseTextures();
}

} // namespace orvane
