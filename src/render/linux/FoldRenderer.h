// SPDX-License-Identifier: MIT
// Draws one frame of the fold from a source texture into a target: the blur
// chain when the frame needs it, the dimmed backdrop with its edge shadow,
// then the bent sheet. It draws into whatever OpenGL context is current and
// makes none of its own.
#pragma once

#include "core/Result.h"
#include "render/FoldUniforms.h"
#include "render/ShaderSource.h"
#include "render/linux/GlObjects.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace orvane {

struct FoldRendererError {
    enum class Kind { shaderCompileFailed, pipelineFailed, noDevice };
    Kind kind = Kind::noDevice;
    std::string detail;

    std::string description() const;
};

struct SourceTexture {
    GLuint texture = 0;
    int width = 0;
    int height = 0;
};

struct RenderTarget {
    GLuint framebuffer = 0;
    int width = 0;
    int height = 0;
    // The target already holds the desktop and the fold is laid over it, as a compositor
    // would lay a transparent overlay; otherwise it starts transparent.
    bool overDesktop = false;
};

class FoldRenderer {
public:
    // In the current context: desktop OpenGL 3.3 or OpenGL ES 3.0.
    static Result<FoldRenderer, FoldRendererError> create();

    // Compiles every variant of the sheet's program now, so that none stalls a frame of a
    // fold in progress (a compile takes a good part of a second on a software renderer).
    void prepareVariants();
    // Never fails: a pass that cannot be set up is skipped, and missing blur
    // levels fall back to the source.
    void encode(const SourceTexture& source, const RenderTarget& target,
                const FoldFrameParams& params);

    // Gives back the intermediate textures (a compositor's plug-in, between folds).
    void releaseTextures() { textures_.clear(); }
    // A premultiplied picture over the whole target, scaled to it (a cover's dressing).
    void layOver(const SourceTexture& picture, const RenderTarget& target);

    // Runs the blur chain alone and reads its heavy level back (BGRA, rows
    // from the top); none when the chain cannot be set up.
    std::optional<std::vector<std::uint8_t>> blurChainReadback(const SourceTexture& source,
                                                               double blurAmount);

    double lastSheetAngle() const { return lastSheetAngle_; }
    double lastVelocity() const { return lastVelocity_; }
    // Diagnostics for tests: the render passes of the last encode, and the
    // intermediate textures made so far.
    int lastPassCount() const { return lastPassCount_; }
    std::size_t cachedTextureCount() const { return textures_.size(); }
    std::int64_t indexCount() const { return indexCount_; }

private:
    struct BlurLevels {
        GLuint heavy = 0;
        GLuint half = 0;
        GLuint backdrop = 0;
    };
    using TextureKey = std::tuple<int, int, int>; // width, height, role

    FoldRenderer() = default;
    // The sheet mesh and the uniform blocks, made once.
    std::optional<FoldRendererError> createBuffers();
    static unsigned featuresOf(const FrameUniforms& uniforms);
    GLuint foldProgram(unsigned features);
    std::optional<BlurLevels> encodeBlurChain(const SourceTexture& source, double blurAmount);
    const gl::RenderTexture* cachedTexture(int width, int height, int role);
    void blurPass(const gl::Program& program, GLuint input, int inputWidth, int inputHeight,
                  const gl::RenderTexture& output, float offset);

    gl::Program fold_; // every feature of the sheet
    gl::Shader foldVertex_;
    std::map<unsigned, gl::Program> foldVariants_;
    gl::Program backdrop_;
    gl::Program down_;
    gl::Program up_;
    gl::Program layOver_;
    gl::Sampler sampler_;
    gl::VertexArray meshArray_;
    gl::Buffer meshVertices_;
    gl::Buffer meshIndices_;
    gl::VertexArray quadArray_;
    gl::Buffer foldBlock_;
    gl::Buffer styleBlock_;
    gl::Buffer edgeBlock_;
    gl::Buffer blurBlock_;
    std::int64_t indexCount_ = 0;
    std::map<TextureKey, gl::RenderTexture> textures_;
    ShaderDialect dialect_ = ShaderDialect::glsl330;
    double lastSheetAngle_ = 0;
    double lastVelocity_ = 0;
    int lastPassCount_ = 0;
};

} // namespace orvane
