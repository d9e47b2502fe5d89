// SPDX-License-Identifier: MIT
// The fold program and renderer on a real OpenGL context (Mesa's llvmpipe
// where there is no GPU), checked against the CPU geometry and by pictures.
// The self-check holds the rest: identity, fade, passes, styles, motion blur.
#include "motion/FoldMath.h"
#include "motion/SheetGeometry.h"
#include "offscreen/linux/OffscreenSession.h"
#include "offscreen/linux/RenderProbe.h"
#include "render/ShaderSource.h"

#include <doctest/doctest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace orvane;

namespace {

OffscreenSession& session() {
    static std::unique_ptr<OffscreenSession> shared = [] {
        auto made = OffscreenSession::create();
        if (!made.ok()) {
            FAIL(made.error().description());
        }
        return std::move(made.take());
    }();
    REQUIRE(shared->context().makeCurrent() == true);
    return *shared;
}

// A flat source, made once the context exists.
struct Flat : FlatSource {
    Flat(int width, int height, std::uint8_t value, std::uint8_t alpha = 255)
        : FlatSource((session(), width), height, value, alpha) {
        REQUIRE(ok());
    }
};

FoldFrameParams frame(double angle, FoldStyle style = FoldStyle::vellum) {
    return probeFrame(angle, style);
}

Pixels draw(const SourceTexture& source, const FoldFrameParams& params, int width, int height) {
    auto drawn = drawFrame(session().renderer(), source, params, width, height);
    REQUIRE(drawn);
    return *drawn;
}

constexpr int W = static_cast<int>(Tuning::renderWidth);
constexpr int H = static_cast<int>(Tuning::renderHeight);

} // namespace

// The fold's vertex stage alone, its outputs captured by transform feedback
// for every vertex of a fine grid, the hinge and far rows included.
class VertexStageProbe {
public:
    static constexpr int floatsPerVertex = 4 + 2 + 3; // position, texture coordinate, world

    VertexStageProbe() {
        const std::string text = ShaderSource::stageText(ShaderEntry::foldVertex);
        const char* source = text.c_str();
        glShaderSource(shader_.get(), 1, &source, nullptr);
        glCompileShader(shader_.get());
        glAttachShader(program_.get(), shader_.get());
        const char* varyings[] = {"gl_Position", "tc", "world"};
        glTransformFeedbackVaryings(program_.get(), 3, varyings, GL_INTERLEAVED_ATTRIBS);
        glLinkProgram(program_.get());
        GLint linked = GL_FALSE;
        glGetProgramiv(program_.get(), GL_LINK_STATUS, &linked);
        REQUIRE(linked == GL_TRUE);
        glUniformBlockBinding(program_.get(),
                              glGetUniformBlockIndex(program_.get(), "FoldUniforms"), 0);

        constexpr int steps = 16;
        for (int r = 0; r <= steps; ++r) {
            for (int c = 0; c <= steps; ++c) {
                uvs.push_back({static_cast<double>(c) / steps, static_cast<double>(r) / steps});
            }
        }
        std::vector<float> flat;
        for (const SheetUV& uv : uvs) {
            flat.push_back(static_cast<float>(uv.u));
            flat.push_back(static_cast<float>(uv.v));
        }
        GLuint names[3] = {};
        glGenBuffers(3, names);
        input_ = gl::Buffer(names[0]);
        output_ = gl::Buffer(names[1]);
        block_ = gl::Buffer(names[2]);
        GLuint arrayName = 0;
        glGenVertexArrays(1, &arrayName);
        array_ = gl::VertexArray(arrayName);
        glBindVertexArray(array_.get());
        glBindBuffer(GL_ARRAY_BUFFER, input_.get());
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(flat.size() * sizeof(float)),
                     flat.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, output_.get());
        glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER,
                     static_cast<GLsizeiptr>(uvs.size() * floatsPerVertex * sizeof(float)), nullptr,
                     GL_STATIC_READ);
        // A surfaceless context has no default framebuffer, and every draw needs one.
        glBindFramebuffer(GL_FRAMEBUFFER, scratch_.framebuffer.get());
    }
    ~VertexStageProbe() {
        glUseProgram(0);
        glBindVertexArray(0);
    }

    // The stage's outputs, `floatsPerVertex` per grid vertex.
    std::vector<float> run(const FoldUniformsCPU& fold) {
        glBindBuffer(GL_UNIFORM_BUFFER, block_.get());
        glBufferData(GL_UNIFORM_BUFFER, sizeof fold, &fold, GL_DYNAMIC_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, 0, block_.get());
        glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, output_.get());
        glUseProgram(program_.get());
        glEnable(GL_RASTERIZER_DISCARD);
        glBeginTransformFeedback(GL_POINTS);
        glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(uvs.size()));
        glEndTransformFeedback();
        glDisable(GL_RASTERIZER_DISCARD);
        std::vector<float> result(uvs.size() * floatsPerVertex);
        glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0,
                           static_cast<GLsizeiptr>(result.size() * sizeof(float)), result.data());
        return result;
    }

    std::vector<SheetUV> uvs;

private:
    gl::Shader shader_{glCreateShader(GL_VERTEX_SHADER)};
    gl::Program program_{glCreateProgram()};
    gl::Buffer input_, output_, block_;
    gl::VertexArray array_;
    gl::RenderTexture scratch_ = gl::makeRenderTexture(1, 1);
};

TEST_CASE("the vertex stage bends the sheet exactly as the CPU geometry does") {
    session();
    VertexStageProbe probe;
    for (double angle : {100.0, 85.0, 70.0, 50.0, 30.0}) {
        for (double perspective : {0.0, 0.5, 1.0}) {
            CAPTURE(angle);
            CAPTURE(perspective);
            FoldFrameParams params = frame(angle);
            params.look.perspective = perspective;
            const FrameUniforms u = fillUniforms(params, W, H);
            const SheetGeometry geometry(u.fold.t, u.fold.perspective, static_cast<double>(W) / H);
            const std::vector<float> result = probe.run(u.fold);
            double worst = 0;
            for (std::size_t i = 0; i < probe.uvs.size(); ++i) {
                const float* out = &result[i * VertexStageProbe::floatsPerVertex];
                const SheetUV uv = probe.uvs[i];
                const PlanePoint p = geometry.point(uv);
                const NdcPoint ndc = geometry.project(p);
                // The stage writes y flipped, so rows count from the top of the target.
                worst = std::max(
                    {worst, std::abs(out[0] / out[3] - ndc.x), std::abs(-out[1] / out[3] - ndc.y),
                     std::abs(out[5] - (1 - geometry.textureV(uv.v))), std::abs(out[6] - p.x),
                     std::abs(out[7] - p.y), std::abs(out[8] - p.z)});
            }
            CHECK(worst < 2e-5);
        }
    }
}

TEST_CASE("as the lid closes the far edge comes toward the hinge and the sheet shrinks") {
    const Flat white(W, H, 255);
    int previousTop = -1;
    long previousArea = static_cast<long>(W) * H + 1;
    for (double angle = 95; angle >= 30; angle -= 5) {
        CAPTURE(angle);
        const FoldFrameParams params = frame(angle);
        const Pixels out = draw(white.source(), params, W, H);
        // The backdrop is the source dimmed to a fifth; the sheet stays bright.
        int top = -1;
        for (int y = 0; y < H && top < 0; ++y) {
            if (out.luma(W / 2, y) > 128) {
                top = y;
            }
        }
        long area = 0;
        for (int y = 0; y < H; y += 2) {
            for (int x = 0; x < W; x += 2) {
                area += out.luma(x, y) > 128;
            }
        }
        area *= 4;
        CHECK(top > previousTop);
        CHECK(area < previousArea);
        previousTop = top;
        previousArea = area;

        // It stands where the CPU geometry says, to within a few pixels.
        const FrameUniforms u = fillUniforms(params, W, H);
        const double expectedTop = (1 - u.fold.edge[2]) / 2 * H;
        CHECK(std::abs(top - expectedTop) < 3);
        // Halfway up, its sides stand where the silhouette table puts them.
        const int row = static_cast<int>(expectedTop + (H - expectedTop) / 2);
        const double ndcY = 1 - 2.0 * (row + 0.5) / H;
        const double f = (ndcY + 1) / (u.fold.edge[2] + 1) * (Tuning::edgeTableCount - 1);
        const auto i0 = static_cast<std::size_t>(f);
        const double halfWidth = u.edgeTable[i0] + (u.edgeTable[i0 + 1] - u.edgeTable[i0]) *
                                                       (f - static_cast<double>(i0));
        int left = 0;
        while (left < W && out.luma(left, row) <= 128) {
            ++left;
        }
        CHECK(std::abs(left - (1 - halfWidth) / 2 * W) < 2);
        const int edgeRow = static_cast<int>(expectedTop) + 4;

        // Inside the sheet no pixel came out black (a NaN or a hole in the mesh).
        for (int y = edgeRow + 4; y < H; y += 7) {
            for (int x = W / 2 - static_cast<int>(0.4 * halfWidth * W);
                 x < W / 2 + 0.4 * halfWidth * W; x += 7) {
                const std::uint8_t* p = out.at(x, y);
                REQUIRE((p[0] | p[1] | p[2]) != 0);
            }
        }
    }
}

TEST_CASE("the blur chain covers its targets and keeps a flat grey flat") {
    FoldRenderer& renderer = session().renderer();
    const Flat grey(300, 200, 128);
    const std::size_t before = renderer.cachedTextureCount();
    const auto blurred = renderer.blurChainReadback(grey.source(), 1.0);
    REQUIRE(blurred);
    CHECK(renderer.lastPassCount() == 4);
    for (std::size_t i = 0; i < blurred->size(); ++i) {
        REQUIRE(std::abs((*blurred)[i] - (i % 4 == 3 ? 255 : 128)) <= 1);
    }
    CHECK(renderer.cachedTextureCount() == before + 4);
    renderer.blurChainReadback(grey.source(), 0.5);
    CHECK(renderer.cachedTextureCount() == before + 4);

    // Tiny sources get one-pixel levels rather than empty ones.
    const Flat tiny(3, 3, 200);
    const auto small = renderer.blurChainReadback(tiny.source(), 1.0);
    REQUIRE(small);
    CHECK(small->size() == 3 * 3 * 4);
    CHECK(std::abs((*small)[0] - 200) <= 1);
    CHECK(renderer.cachedTextureCount() == before + 8);
}

TEST_CASE("the far corners round off smoothly") {
    const Flat white(W, H, 255);
    const FoldFrameParams params = frame(40);
    const FrameUniforms u = fillUniforms(params, W, H);
    const Pixels out = draw(white.source(), params, W, H);
    const int top = static_cast<int>(std::lround((1 - u.fold.edge[2]) / 2 * H));
    const int left = static_cast<int>(std::lround((1 - u.fold.edge[3]) / 2 * W));
    // Right at the corner the sheet has been cut away; a little inside it is whole.
    CHECK(out.luma(left + 1, top + 1) < out.luma(left + 12, top + 12));
    CHECK(out.luma(left + 12, top + 12) > 128);
}

TEST_CASE("the sample desktop is the same picture for the same size") {
    const CannedDesktop a(640, 400);
    const CannedDesktop b(640, 400);
    CHECK(a.bytes() == b.bytes());
    CHECK(a.bytes().size() == 640u * 400u * 4u);
    CHECK(a.bytesPerRow() == 640 * 4);
    // Opaque everywhere, and more than one colour: it has content to fold.
    bool opaque = true;
    for (std::size_t i = 3; i < a.bytes().size(); i += 4) {
        opaque = opaque && a.bytes()[i] == 255;
    }
    CHECK(opaque);
    CHECK(a.bytes()[0] != a.bytes()[a.bytes().size() / 2]);
    const CannedDesktop degenerate(0, -3);
    CHECK(degenerate.width() == 1);
    CHECK(degenerate.height() == 1);
}
