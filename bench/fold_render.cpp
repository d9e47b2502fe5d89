// SPDX-License-Identifier: MIT
// How much one fold frame costs against a plain full-screen copy of the same
// texture in the same context, per style, at the standard render size; and
// the wall time of one --render process. Prints figures, asserts nothing.
#include "offscreen/linux/OffscreenSession.h"
#include "render/ShaderSource.h"

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

// Software renderers answer timer queries before they rasterize, so time is
// taken on the wall clock between two glFinish calls: the same yardstick for
// the copy and the fold.
template <class Work>
double finishedMilliseconds(Work work) {
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        glFinish();
        const auto start = std::chrono::steady_clock::now();
        work();
        glFinish();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return median(times);
}

// Time of the plainest full-screen pass: one texture read per pixel,
// through the fold program's own full-screen triangle.
double copyMilliseconds(const gl::RenderTexture& source, const gl::RenderTexture& target) {
    const std::string vertexText = ShaderSource::stageText(ShaderEntry::quadVertex);
    const char* vertexSource = vertexText.c_str();
    const char* fragmentSource = "#version 330 core\n"
                                 "in vec2 uv;\n"
                                 "uniform sampler2D source;\n"
                                 "out vec4 color;\n"
                                 "void main() { color = texture(source, uv); }\n";
    const gl::Shader vertex(glCreateShader(GL_VERTEX_SHADER));
    glShaderSource(vertex.get(), 1, &vertexSource, nullptr);
    glCompileShader(vertex.get());
    const gl::Shader fragment(glCreateShader(GL_FRAGMENT_SHADER));
    glShaderSource(fragment.get(), 1, &fragmentSource, nullptr);
    glCompileShader(fragment.get());
    const gl::Program program(glCreateProgram());
    glAttachShader(program.get(), vertex.get());
    glAttachShader(program.get(), fragment.get());
    glLinkProgram(program.get());
    GLuint arrayName = 0;
    glGenVertexArrays(1, &arrayName);
    const gl::VertexArray array(arrayName);
    return finishedMilliseconds([&] {
        glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer.get());
        glViewport(0, 0, target.width, target.height);
        glUseProgram(program.get());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, source.texture.get());
        glBindVertexArray(array.get());
        glDrawArrays(GL_TRIANGLES, 0, 3);
    });
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
    std::printf("plain copy %dx%d: %.2f ms (median of %d, wall clock between glFinish)\n", w, h,
                copy, frames);

    for (FoldStyle style : allFoldStyles) {
        for (const auto& [label, motion] :
             {std::pair{"still", FoldMotion::still()},
              std::pair{"moving", FoldMotion::scripted(Tuning::gpuTimingAngle, -90)}}) {
            FoldFrameParams params;
            params.angle = Tuning::gpuTimingAngle;
            params.look = FoldLook::tools();
            params.look.style = style;
            params.motion = motion;
            const double fold = finishedMilliseconds([&] {
                session.renderer().encode({source.texture.get(), w, h},
                                          {target.framebuffer.get(), w, h}, params);
            });
            auto gpu = session.medianGPUMilliseconds(frames, style, motion);
            std::printf("%-6s %-6s fold %7.2f ms = %5.2f plain copies   (timer query %.2f ms)\n",
                        std::string(rawValue(style)).c_str(), label, fold, fold / copy,
                        gpu ? gpu.value() : -1.0);
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
