// SPDX-License-Identifier: MIT
// How much one fold frame costs against a plain full-screen copy of the same
// texture in the same context, per style, at the standard render size; and
// the wall time of one --render process. Prints figures, asserts nothing.
#include "offscreen/OffscreenSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace orvane;

namespace {

constexpr int frames = 40;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// GPU time of a framebuffer blit of the whole source into a target.
double copyMilliseconds(const gl::RenderTexture& source, const gl::RenderTexture& target) {
    GLuint name = 0;
    glGenQueries(1, &name);
    const gl::Query query(name);
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        glBeginQuery(GL_TIME_ELAPSED, query.get());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, source.framebuffer.get());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.framebuffer.get());
        glBlitFramebuffer(0, 0, source.width, source.height, 0, 0, target.width, target.height,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glEndQuery(GL_TIME_ELAPSED);
        GLuint64 elapsed = 0;
        glGetQueryObjectui64v(query.get(), GL_QUERY_RESULT, &elapsed);
        times.push_back(static_cast<double>(elapsed) / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    auto made = OffscreenSession::create();
    if (!made) {
        std::fprintf(stderr, "fold_render: %s\n", made.error().description().c_str());
        return 1;
    }
    OffscreenSession& session = *made.value();
    std::printf("renderer: %s\n", session.context().rendererName().c_str());

    const int w = static_cast<int>(Tuning::renderWidth);
    const int h = static_cast<int>(Tuning::renderHeight);
    auto desktop = session.cannedDesktop(w, h);
    if (!desktop) {
        std::fprintf(stderr, "fold_render: %s\n", desktop.error().description().c_str());
        return 1;
    }
    const gl::RenderTexture source = gl::makeRenderTexture(w, h, desktop.value()->bytes().data());
    const gl::RenderTexture target = gl::makeRenderTexture(w, h);
    const double copy = copyMilliseconds(source, target);
    std::printf("plain copy %dx%d: %.3f ms (median of %d)\n", w, h, copy, frames);

    for (FoldStyle style : allFoldStyles) {
        for (const auto& [label, motion] :
             {std::pair{"still", FoldMotion::still()},
              std::pair{"moving", FoldMotion::scripted(Tuning::gpuTimingAngle, -90)}}) {
            auto fold = session.medianGPUMilliseconds(frames, style, motion);
            if (!fold) {
                std::fprintf(stderr, "fold_render: %s\n", fold.error().description().c_str());
                return 1;
            }
            std::printf("%-6s %-6s fold %.3f ms  = %.2f plain copies\n",
                        std::string(rawValue(style)).c_str(), label, fold.value(),
                        fold.value() / copy);
        }
    }

    // One whole tool run, process start to PNG on disk.
    if (argc > 1) {
        const std::string command =
            std::string(argv[1]) + " --render vellum 70 /tmp/orvane-bench-render.png >/dev/null";
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        std::printf("one --render process: %.2f s (status %d)\n", wall.count(), status);
    }
    return 0;
}
