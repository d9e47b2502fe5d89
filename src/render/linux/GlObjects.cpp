// SPDX-License-Identifier: MIT
#include "render/linux/GlObjects.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace orvane::gl {

namespace {

// More than OpenGL has kinds of error.
constexpr int maxErrorFlags = 16;

} // namespace

RenderTexture makeRenderTexture(int width, int height, const void* pixels) {
    RenderTexture out;
    if (width <= 0 || height <= 0) {
        return out;
    }
    // Start from a clean error state so the check below is ours. A context holds one flag per
    // kind of error; a lost one may report forever, so the drain is bounded.
    for (int flags = 0; flags < maxErrorFlags && glGetError() != GL_NO_ERROR; ++flags) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    Texture ownedTexture(texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (epoxy_is_desktop_gl() != 0) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     pixels);
    } else {
        // OpenGL ES takes no BGRA: the pixels go in as RGBA.
        std::vector<std::uint8_t> rgba;
        if (pixels != nullptr) {
            const auto* bgra = static_cast<const std::uint8_t*>(pixels);
            rgba.assign(bgra, bgra + static_cast<std::size_t>(width) * height * 4);
            for (std::size_t i = 0; i < rgba.size(); i += 4) {
                std::swap(rgba[i], rgba[i + 2]);
            }
        }
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.empty() ? nullptr : rgba.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        return out;
    }

    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    Framebuffer ownedFramebuffer(framebuffer);
    GLint previous = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    if (!complete) {
        return out;
    }
    out.texture = std::move(ownedTexture);
    out.framebuffer = std::move(ownedFramebuffer);
    out.width = width;
    out.height = height;
    return out;
}

} // namespace orvane::gl
