// SPDX-License-Identifier: MIT
// The OpenGL context the capture draws in (the overlay's) and a surface to
// make it current on. Frames may outlive the stream: they hold this to free
// their textures in the right context, or not at all once it is gone.
#pragma once

#include <epoxy/gl.h>

#include <QOpenGLContext>
#include <QPointer>
#include <QSurface>

namespace orvane {

struct GlTarget {
    QPointer<QOpenGLContext> context;
    QSurface* surface = nullptr; // outlives the context's use for capture

    // True when the context is current on this thread, made so if needed.
    bool makeCurrent() const {
        if (context.isNull() || surface == nullptr || !context->isValid()) {
            return false;
        }
        return QOpenGLContext::currentContext() == context.data() || context->makeCurrent(surface);
    }
};

} // namespace orvane
