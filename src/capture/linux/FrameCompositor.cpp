// SPDX-License-Identifier: MIT
#include "capture/linux/FrameCompositor.h"

#include "core/Tuning.h"

#include <string>

namespace orvane {

// A frame's texture and the framebuffer that draws into it. Freed in the
// capture's context when the last holder lets go (with whatever context was
// current made current again), or never if that context is gone with it.
class CaptureTexture final : public FrameTexture {
public:
    CaptureTexture(GlTarget target, GLuint texture, GLuint framebuffer, int width, int height)
        : target_(std::move(target)), texture_(texture), framebuffer_(framebuffer), width_(width),
          height_(height) {}
    ~CaptureTexture() override {
        QOpenGLContext* previous = QOpenGLContext::currentContext();
        QSurface* previousSurface = previous != nullptr ? previous->surface() : nullptr;
        if (!target_.makeCurrent()) {
            return;
        }
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &texture_);
        if (previous != nullptr && previous != target_.context.data()) {
            previous->makeCurrent(previousSurface);
        }
    }
    CaptureTexture(const CaptureTexture&) = delete;
    CaptureTexture& operator=(const CaptureTexture&) = delete;

    unsigned textureName() const override { return texture_; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    GLuint framebuffer() const { return framebuffer_; }

private:
    GlTarget target_;
    GLuint texture_;
    GLuint framebuffer_;
    int width_;
    int height_;
};

namespace {

// A quad from the vertex index; the texture's rows flipped when t = 0 is its bottom.
constexpr const char* vertexSource = R"(#version 330 core
uniform vec4 rect; // left, top, right, bottom in clip space; top is the frame's first row
uniform float flip;
out vec2 texel;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    texel = vec2(corner.x, mix(corner.y, 1.0 - corner.y, flip));
    gl_Position = vec4(mix(rect.x, rect.z, corner.x), mix(rect.y, rect.w, corner.y), 0.0, 1.0);
}
)";

// X leaves the padding byte of 24-bit pixmaps undefined: force it opaque.
constexpr const char* fragmentSource = R"(#version 330 core
uniform sampler2D picture;
uniform float opaque;
in vec2 texel;
out vec4 colour;
void main() {
    vec4 sampled = texture(picture, texel);
    colour = vec4(sampled.rgb, max(sampled.a, opaque));
}
)";

GLuint compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// The state compose() changes, put back as the overlay's renderer left it.
class SavedState {
public:
    SavedState() {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blend_[0]);
        glGetIntegerv(GL_BLEND_DST_RGB, &blend_[1]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blend_[2]);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blend_[3]);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_);
        for (std::size_t i = 0; i < std::size(capabilities); ++i) {
            enabled_[i] = glIsEnabled(capabilities[i]) == GL_TRUE;
        }
    }
    ~SavedState() {
        for (std::size_t i = 0; i < std::size(capabilities); ++i) {
            enabled_[i] ? glEnable(capabilities[i]) : glDisable(capabilities[i]);
        }
        glClearColor(clear_[0], clear_[1], clear_[2], clear_[3]);
        glBlendFuncSeparate(static_cast<GLenum>(blend_[0]), static_cast<GLenum>(blend_[1]),
                            static_cast<GLenum>(blend_[2]), static_cast<GLenum>(blend_[3]));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        glActiveTexture(static_cast<GLenum>(activeTexture_));
        glBindVertexArray(static_cast<GLuint>(vertexArray_));
        glUseProgram(static_cast<GLuint>(program_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer_));
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

    static constexpr GLenum capabilities[] = {GL_BLEND, GL_DEPTH_TEST, GL_SCISSOR_TEST,
                                              GL_CULL_FACE, GL_STENCIL_TEST};

private:
    GLint framebuffer_ = 0;
    GLint viewport_[4] = {0, 0, 0, 0};
    GLint program_ = 0;
    GLint vertexArray_ = 0;
    GLint activeTexture_ = GL_TEXTURE0;
    GLint texture_ = 0;
    GLint blend_[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    GLfloat clear_[4] = {0, 0, 0, 0};
    bool enabled_[std::size(capabilities)] = {};
};

} // namespace

FrameCompositor::FrameCompositor(GlTarget target, CapturePreparation area)
    : target_(std::move(target)), area_(std::move(area)) {}

FrameCompositor::~FrameCompositor() {
    if (program_ != 0 && target_.makeCurrent()) {
        glDeleteProgram(program_);
        glDeleteVertexArrays(1, &vertexArray_);
    }
}

std::optional<X11CaptureFault> FrameCompositor::begin() {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource);
    if (vertex == 0 || fragment == 0) {
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return X11CaptureFault::shaderFailed;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        glDeleteProgram(program_);
        program_ = 0;
        return X11CaptureFault::shaderFailed;
    }
    rectUniform_ = glGetUniformLocation(program_, "rect");
    flipUniform_ = glGetUniformLocation(program_, "flip");
    opaqueUniform_ = glGetUniformLocation(program_, "opaque");
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "picture"), 0);
    glUseProgram(static_cast<GLuint>(previous));
    // Core profiles draw only with a vertex array bound, even an empty one.
    glGenVertexArrays(1, &vertexArray_);
    return std::nullopt;
}

// The panel keeps the recent frames and the box holds the latest: a shallower pool
// would run dry and the fold would stop at its last frame.
static_assert(Tuning::captureQueueDepth > Tuning::recentFrameCount + 1);

std::shared_ptr<CaptureTexture> FrameCompositor::freeFrame() {
    for (const std::shared_ptr<CaptureTexture>& frame : pool_) {
        if (frame.use_count() == 1) {
            return frame;
        }
    }
    if (pool_.size() >= static_cast<std::size_t>(Tuning::captureQueueDepth)) {
        return nullptr;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, area_.width, area_.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    auto frame =
        std::make_shared<CaptureTexture>(target_, texture, framebuffer, area_.width, area_.height);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return nullptr;
    }
    pool_.push_back(frame);
    return frame;
}

std::shared_ptr<const FrameTexture> FrameCompositor::compose(const std::vector<Layer>& layers) {
    const SavedState saved;
    const std::shared_ptr<CaptureTexture> frame = freeFrame();
    if (!frame) {
        return nullptr;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, frame->framebuffer());
    glViewport(0, 0, area_.width, area_.height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(program_);
    glBindVertexArray(vertexArray_);
    for (const Layer& layer : layers) {
        draw(layer);
    }
    glFlush();
    return frame;
}

void FrameCompositor::draw(const Layer& layer) const {
    const auto across = [this](int x) {
        return -1.0f + 2.0f * static_cast<float>(x - area_.x) / static_cast<float>(area_.width);
    };
    const auto down = [this](int y) {
        return -1.0f + 2.0f * static_cast<float>(y - area_.y) / static_cast<float>(area_.height);
    };
    glUniform4f(rectUniform_, across(layer.x), down(layer.y), across(layer.x + layer.width),
                down(layer.y + layer.height));
    glUniform1f(flipUniform_, layer.topRowFirst ? 0.0f : 1.0f);
    glUniform1f(opaqueUniform_, layer.hasAlpha ? 0.0f : 1.0f);
    glBindTexture(GL_TEXTURE_2D, layer.texture);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

} // namespace orvane
