// SPDX-License-Identifier: MIT
// Movie frames rendered and encoded per second against real time at the
// default size and rate, and where the time goes. Prints figures only.
#include "offscreen/MovieScript.h"
#include "offscreen/linux/MovieWriter.h"
#include "offscreen/linux/OffscreenSession.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

using namespace orvane;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main() {
    const int w = static_cast<int>(Tuning::renderWidth);
    const int h = static_cast<int>(Tuning::renderHeight);
    const int fps = static_cast<int>(Tuning::movieDefaultFPS);
    auto made = OffscreenSession::create();
    if (!made) {
        std::fprintf(stderr, "movie: %s\n", made.error().description().c_str());
        return 1;
    }
    OffscreenSession& session = *made.value();
    const std::vector<std::uint8_t> desktop = session.cannedDesktop(w, h).value()->bytes();
    const gl::RenderTexture source = gl::makeRenderTexture(w, h, desktop.data());
    const gl::RenderTexture target = gl::makeRenderTexture(w, h);
    const std::string path = (std::filesystem::temp_directory_path() / "orvane-bench.mp4").string();
    auto writer = MovieWriter::open(path, {w, h, fps, 16'000'000});
    if (!writer) {
        std::fprintf(stderr, "movie: %s\n", writer.error().description().c_str());
        return 1;
    }

    const auto total = Clock::now();
    auto start = Clock::now();
    const auto frames = MovieScript::simulate(fps, Tuning::defaultClearAngle);
    const double simulate = since(start);
    double render = 0, readback = 0, composite = 0, encode = 0;
    int visible = 0;
    std::vector<std::uint8_t> pixels(desktop.size());
    for (const MovieScript::Frame& frame : frames) {
        if (frame.visible) {
            ++visible;
            FoldFrameParams params;
            params.angle = frame.sheetAngle;
            params.look = FoldLook::tools();
            params.motion = FoldMotion::scripted(frame.sheetAngle, frame.velocity);
            start = Clock::now();
            session.renderer().encode({source.texture.get(), w, h},
                                      {target.framebuffer.get(), w, h}, params);
            glFinish();
            render += since(start);
            start = Clock::now();
            glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer.get());
            glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
            readback += since(start);
            start = Clock::now();
            MovieScript::composite(pixels, desktop, frame.opacity);
            composite += since(start);
        } else {
            pixels = desktop;
        }
        start = Clock::now();
        writer.value()->append(pixels.data(), frame.index);
        encode += since(start);
    }
    start = Clock::now();
    writer.value()->finish();
    encode += since(start);
    const double wall = since(total);
    std::filesystem::remove(path);

    const double movieSeconds = static_cast<double>(frames.size()) / fps;
    std::printf("renderer: %s\n", session.context().rendererName().c_str());
    std::printf("%zu frames (%d with the fold) of %dx%d at %d fps: %.2f s of movie in %.2f s\n",
                frames.size(), visible, w, h, fps, movieSeconds, wall);
    std::printf("%.1f frames per second = %.2f x real time\n",
                static_cast<double>(frames.size()) / wall, movieSeconds / wall);
    std::printf("simulate %.3f s, render %.2f s, read-back %.2f s, composite %.2f s, "
                "convert + encode %.2f s\n",
                simulate, render, readback, composite, encode);
    return 0;
}
