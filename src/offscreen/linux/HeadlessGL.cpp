// SPDX-License-Identifier: MIT
#include "offscreen/linux/HeadlessGL.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstring>
#include <map>
#include <mutex>

namespace orvane {

namespace {

// Every context of a platform shares one display, and eglTerminate ends it for all of them:
// each context counts as a user, and the last one terminates it.
std::mutex displayMutex;
std::map<EGLDisplay, int> displayUsers;

EGLDisplay openDisplay(bool& surfaceless) {
    const std::lock_guard lock(displayMutex);
    surfaceless = false;
    if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
            surfaceless = true;
            ++displayUsers[display];
            return display;
        }
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
        ++displayUsers[display];
        return display;
    }
    return EGL_NO_DISPLAY;
}

} // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::create() {
    bool surfaceless = false;
    EGLDisplay display = openDisplay(surfaceless);
    if (display == EGL_NO_DISPLAY) {
        return nullptr;
    }
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL);
    gl->display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return nullptr;
    }
    const bool noSurfaceNeeded =
        surfaceless || epoxy_has_egl_extension(display, "EGL_KHR_surfaceless_context");
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       noSurfaceNeeded ? 0 : EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        return nullptr;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    gl->context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (gl->context_ == EGL_NO_CONTEXT) {
        gl->context_ = nullptr;
        return nullptr;
    }
    if (!noSurfaceNeeded) {
        const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        gl->surface_ = eglCreatePbufferSurface(display, config, pbufferAttributes);
        if (gl->surface_ == EGL_NO_SURFACE) {
            gl->surface_ = nullptr;
            return nullptr;
        }
    }
    if (!gl->makeCurrent() || epoxy_gl_version() < 33) {
        return nullptr;
    }
    return gl;
}

HeadlessGL::~HeadlessGL() {
    if (display_ == nullptr) {
        return;
    }
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface_ != nullptr) {
        eglDestroySurface(display_, surface_);
    }
    if (context_ != nullptr) {
        eglDestroyContext(display_, context_);
    }
    const std::lock_guard lock(displayMutex);
    if (--displayUsers[display_] == 0) {
        displayUsers.erase(display_);
        eglTerminate(display_);
    }
}

bool HeadlessGL::makeCurrent() {
    EGLSurface surface = surface_ != nullptr ? surface_ : EGL_NO_SURFACE;
    return eglMakeCurrent(display_, surface, surface, context_) == EGL_TRUE;
}

std::string HeadlessGL::rendererName() const {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name != nullptr ? name : "unknown renderer";
}

bool HeadlessGL::isSoftware() const {
    const std::string name = rendererName();
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "SwiftShader"}) {
        if (name.find(software) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace orvane
