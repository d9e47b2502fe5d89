// SPDX-License-Identifier: MIT
// Owning handles for OpenGL objects: each deletes its name when it goes,
// and moves but never copies.
#pragma once

#include <epoxy/gl.h>

#include <utility>

namespace orvane::gl {

template <void (*Delete)(GLuint)>
class Handle {
public:
    Handle() = default;
    explicit Handle(GLuint name) : name_(name) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    GLuint get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    void reset() {
        if (name_ != 0) {
            Delete(name_);
            name_ = 0;
        }
    }

private:
    GLuint name_ = 0;
};

inline void deleteTexture(GLuint name) {
    glDeleteTextures(1, &name);
}
inline void deleteFramebuffer(GLuint name) {
    glDeleteFramebuffers(1, &name);
}
inline void deleteBuffer(GLuint name) {
    glDeleteBuffers(1, &name);
}
inline void deleteVertexArray(GLuint name) {
    glDeleteVertexArrays(1, &name);
}
inline void deleteSampler(GLuint name) {
    glDeleteSamplers(1, &name);
}
inline void deleteProgram(GLuint name) {
    glDeleteProgram(name);
}
inline void deleteShader(GLuint name) {
    glDeleteShader(name);
}
inline void deleteQuery(GLuint name) {
    glDeleteQueries(1, &name);
}

using Texture = Handle<deleteTexture>;
using Framebuffer = Handle<deleteFramebuffer>;
using Buffer = Handle<deleteBuffer>;
using VertexArray = Handle<deleteVertexArray>;
using Sampler = Handle<deleteSampler>;
using Program = Handle<deleteProgram>;
using Shader = Handle<deleteShader>;
using Query = Handle<deleteQuery>;

// A texture with a framebuffer drawing into it: BGRA 8-bit, no mipmaps.
struct RenderTexture {
    Texture texture;
    Framebuffer framebuffer;
    int width = 0;
    int height = 0;
};

// Null handles when the driver refuses; `pixels` (BGRA, rows from the top) may be null.
RenderTexture makeRenderTexture(int width, int height, const void* pixels = nullptr);

} // namespace orvane::gl
