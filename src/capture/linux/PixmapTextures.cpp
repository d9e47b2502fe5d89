// SPDX-License-Identifier: MIT
#include "capture/linux/PixmapTextures.h"

#include "platform/X11Errors.h"

#include <epoxy/gl.h>
#include <epoxy/glx.h>

namespace orvane {

namespace {

struct Found {
    GLXFBConfig config;
    bool topRowFirst;
};

// A configuration that binds pixmaps of this depth to 2-D textures.
std::optional<Found> chooseConfig(Display* display, int depth) {
    const bool alpha = depth == 32;
    const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PIXMAP_BIT,
                              alpha ? GLX_BIND_TO_TEXTURE_RGBA_EXT : GLX_BIND_TO_TEXTURE_RGB_EXT,
                              True, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    std::optional<Found> found;
    for (int i = 0; i < count && !found; ++i) {
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[i]);
        const bool sameDepth = visual != nullptr && visual->depth == depth;
        if (visual != nullptr) {
            XFree(visual);
        }
        int targets = 0;
        glXGetFBConfigAttrib(display, configs[i], GLX_BIND_TO_TEXTURE_TARGETS_EXT, &targets);
        if (!sameDepth || (targets & GLX_TEXTURE_2D_BIT_EXT) == 0) {
            continue;
        }
        // Mesa answers "don't care" and puts the top row at t = 0.
        int inverted = static_cast<int>(GLX_DONT_CARE);
        glXGetFBConfigAttrib(display, configs[i], GLX_Y_INVERTED_EXT, &inverted);
        found = Found{configs[i], inverted != False};
    }
    if (configs != nullptr) {
        XFree(configs);
    }
    return found;
}

} // namespace

PixmapTextures::~PixmapTextures() {
    for (auto& [pixmap, binding] : bindings_) {
        destroy(binding);
    }
}

std::optional<X11CaptureFault> PixmapTextures::begin() {
    if (!epoxy_has_glx_extension(display_, DefaultScreen(display_),
                                 "GLX_EXT_texture_from_pixmap")) {
        return X11CaptureFault::noTextureFromPixmap;
    }
    if (const auto found = chooseConfig(display_, 24)) {
        rgb_ = Config{found->config, found->topRowFirst};
    } else {
        return X11CaptureFault::noPixmapConfig;
    }
    if (const auto found = chooseConfig(display_, 32)) {
        rgba_ = Config{found->config, found->topRowFirst};
    }
    return std::nullopt;
}

std::optional<PixmapTexture> PixmapTextures::texture(unsigned long pixmap, int depth,
                                                     bool changed) {
    auto at = bindings_.find(pixmap);
    if (at == bindings_.end()) {
        // A failed binding is kept too, so it is not tried again every frame.
        at = bindings_.emplace(pixmap, bind(pixmap, depth).value_or(Binding{})).first;
        changed = false;
    }
    const Binding& binding = at->second;
    if (binding.glxPixmap == 0) {
        return std::nullopt;
    }
    if (changed) {
        const X11ErrorTrap trap;
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, binding.texture.texture);
        glXReleaseTexImageEXT(display_, binding.glxPixmap, GLX_FRONT_LEFT_EXT);
        glXBindTexImageEXT(display_, binding.glxPixmap, GLX_FRONT_LEFT_EXT, nullptr);
    }
    return binding.texture;
}

std::optional<PixmapTextures::Binding> PixmapTextures::bind(unsigned long pixmap, int depth) {
    const Config* config = depth == 32 && rgba_ ? &*rgba_ : depth == 24 && rgb_ ? &*rgb_ : nullptr;
    if (config == nullptr) {
        return std::nullopt;
    }
    const bool alpha = depth == 32;
    const int attributes[] = {GLX_TEXTURE_TARGET_EXT, GLX_TEXTURE_2D_EXT, GLX_TEXTURE_FORMAT_EXT,
                              alpha ? GLX_TEXTURE_FORMAT_RGBA_EXT : GLX_TEXTURE_FORMAT_RGB_EXT,
                              None};
    X11ErrorTrap trap;
    const std::uint64_t first = X11ErrorTrap::nextSerial(display_);
    Binding binding;
    binding.glxPixmap =
        glXCreatePixmap(display_, static_cast<GLXFBConfig>(config->config), pixmap, attributes);
    binding.texture.topRowFirst = config->topRowFirst;
    binding.texture.hasAlpha = alpha;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    binding.texture.texture = texture;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Drawn one texel to one pixel: no filtering needed.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (binding.glxPixmap != 0) {
        glXBindTexImageEXT(display_, binding.glxPixmap, GLX_FRONT_LEFT_EXT, nullptr);
    }
    if (binding.glxPixmap == 0 ||
        trap.failed(display_, first, X11ErrorTrap::nextSerial(display_))) {
        destroy(binding);
        return std::nullopt;
    }
    return binding;
}

void PixmapTextures::forget(unsigned long pixmap) {
    const auto at = bindings_.find(pixmap);
    if (at != bindings_.end()) {
        destroy(at->second);
        bindings_.erase(at);
    }
}

void PixmapTextures::abandon() {
    const X11ErrorTrap trap;
    for (auto& [pixmap, binding] : bindings_) {
        if (binding.glxPixmap != 0) {
            glXDestroyPixmap(display_, binding.glxPixmap);
        }
    }
    bindings_.clear();
}

void PixmapTextures::destroy(Binding& binding) {
    const X11ErrorTrap trap;
    if (binding.glxPixmap != 0) {
        glXReleaseTexImageEXT(display_, binding.glxPixmap, GLX_FRONT_LEFT_EXT);
        glXDestroyPixmap(display_, binding.glxPixmap);
        binding.glxPixmap = 0;
    }
    if (binding.texture.texture != 0) {
        const GLuint texture = binding.texture.texture;
        glDeleteTextures(1, &texture);
        binding.texture.texture = 0;
    }
}

} // namespace orvane
