// SPDX-License-Identifier: MIT
// An OpenGL 3.3 core context with no window and no display server: EGL on
// Mesa's surfaceless platform, or a small pbuffer where that is missing.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace orvane {

class HeadlessGL {
public:
    // None when no such context can be made on this machine.
    static std::unique_ptr<HeadlessGL> create();
    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    // Makes the context current on the calling thread.
    bool makeCurrent();
    // The driver's name for the renderer, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    std::string rendererName() const;
    // A software rasterizer: budgets written for GPUs do not apply.
    bool isSoftware() const;

private:
    HeadlessGL() = default;

    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
};

} // namespace orvane
