// SPDX-License-Identifier: MIT
// Window pixmaps as OpenGL textures through GLX_EXT_texture_from_pixmap, in
// the GLX context that is current. A bound texture may be a snapshot (Mesa's
// software drivers copy at bind time), so damaged pixmaps are bound again.
#pragma once

#include "capture/X11CaptureFault.h"

#include <map>
#include <optional>

struct _XDisplay;

namespace orvane {

struct PixmapTexture {
    unsigned texture = 0;    // a GL_TEXTURE_2D name
    bool topRowFirst = true; // t = 0 is the pixmap's top row
    bool hasAlpha = false;   // depth 32: premultiplied alpha
};

class PixmapTextures {
public:
    // `display` is the connection the GLX context was made on.
    explicit PixmapTextures(_XDisplay* display) : display_(display) {}
    // Releases every binding; the context must be current.
    ~PixmapTextures();
    PixmapTextures(const PixmapTextures&) = delete;
    PixmapTextures& operator=(const PixmapTextures&) = delete;

    // Finds the extension and the configurations for 24- and 32-bit pixmaps.
    std::optional<X11CaptureFault> begin();
    // The texture showing `pixmap`, bound again when its content changed;
    // none when it cannot be bound (no configuration for its depth, or gone).
    std::optional<PixmapTexture> texture(unsigned long pixmap, int depth, bool changed);
    // Drops the binding before the pixmap is freed; the context must be current.
    void forget(unsigned long pixmap);
    // Drops every binding without OpenGL calls, for a context that is lost.
    void abandon();

private:
    struct Config {
        void* config = nullptr; // GLXFBConfig
        bool topRowFirst = true;
    };
    struct Binding {
        unsigned long glxPixmap = 0;
        PixmapTexture texture;
    };

    std::optional<Binding> bind(unsigned long pixmap, int depth);
    void destroy(Binding& binding);

    _XDisplay* display_;
    std::optional<Config> rgb_;  // depth 24
    std::optional<Config> rgba_; // depth 32
    std::map<unsigned long, Binding> bindings_;
};

} // namespace orvane
