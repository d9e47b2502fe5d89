// SPDX-License-Identifier: MIT
#include "render/linux/FoldRenderer.h"

#include "core/Tuning.h"
#include "render/ShaderSource.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace orvane {

namespace {

enum BlockBinding : GLuint { foldBinding = 0, styleBinding = 1, edgeBinding = 2, blurBinding = 3 };

// Texture roles of the blur chain's cache.
enum Role : int { halfDown = 0, quarterDown = 1, halfUp = 2, fullUp = 3 };

struct BlurUniformsCPU {
    std::array<float, 2> resolution{0, 0};
    float offset = 0;
    float pad = 0;
};
static_assert(sizeof(BlurUniformsCPU) == 16);

constexpr std::size_t edgeBlockBytes =
    static_cast<std::size_t>(Tuning::edgeTableCount) * sizeof(float);

std::string infoLog(GLuint object, bool isProgram) {
    GLint length = 0;
    isProgram ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length)
              : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
    GLsizei written = 0;
    isProgram ? glGetProgramInfoLog(object, length, &written, log.data())
              : glGetShaderInfoLog(object, length, &written, log.data());
    log.resize(static_cast<std::size_t>(std::max(written, 0)));
    while (!log.empty() && (log.back() == '\n' || log.back() == '\0')) {
        log.pop_back();
    }
    return log.empty() ? "no log" : log;
}

Result<gl::Shader, FoldRendererError> compile(ShaderEntry entry, ShaderDialect dialect,
                                              unsigned features = FoldFeature::full) {
    const std::string marker = "#ifdef ENTRY_" + std::string(ShaderSource::entryName(entry));
    if (ShaderSource::glsl().find(marker) == std::string::npos) {
        return FoldRendererError{FoldRendererError::Kind::pipelineFailed, "missing entry point"};
    }
    gl::Shader shader(
        glCreateShader(ShaderSource::isVertexStage(entry) ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER));
    if (!shader) {
        return FoldRendererError{FoldRendererError::Kind::shaderCompileFailed,
                                 "the driver made no shader object"};
    }
    const std::string text = ShaderSource::stageText(entry, features, dialect);
    const char* source = text.c_str();
    glShaderSource(shader.get(), 1, &source, nullptr);
    glCompileShader(shader.get());
    GLint status = GL_FALSE;
    glGetShaderiv(shader.get(), GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
        return FoldRendererError{FoldRendererError::Kind::shaderCompileFailed,
                                 std::string(ShaderSource::entryName(entry)) + ": " +
                                     infoLog(shader.get(), false)};
    }
    return shader;
}

// Links a vertex and a fragment stage and ties its blocks and samplers to
// the binding points and texture units the renderer uses.
Result<gl::Program, FoldRendererError> linkProgram(GLuint vertex, GLuint fragment) {
    gl::Program program(glCreateProgram());
    glAttachShader(program.get(), vertex);
    glAttachShader(program.get(), fragment);
    glLinkProgram(program.get());
    GLint status = GL_FALSE;
    glGetProgramiv(program.get(), GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        return FoldRendererError{FoldRendererError::Kind::pipelineFailed,
                                 infoLog(program.get(), true)};
    }
    const std::pair<const char*, GLuint> blocks[] = {{"FoldUniforms", foldBinding},
                                                     {"StyleUniforms", styleBinding},
                                                     {"EdgeTable", edgeBinding},
                                                     {"BlurUniforms", blurBinding}};
    for (const auto& [name, binding] : blocks) {
        const GLuint index = glGetUniformBlockIndex(program.get(), name);
        if (index != GL_INVALID_INDEX) {
            glUniformBlockBinding(program.get(), index, binding);
        }
    }
    glUseProgram(program.get());
    const std::pair<const char*, GLint> units[] = {{"sharpTexture", 0},
                                                   {"halfTexture", 1},
                                                   {"heavyTexture", 2},
                                                   {"backdropTexture", 0},
                                                   {"passSource", 0}};
    for (const auto& [name, unit] : units) {
        const GLint location = glGetUniformLocation(program.get(), name);
        if (location >= 0) {
            glUniform1i(location, unit);
        }
    }
    glUseProgram(0);
    return program;
}

// The sheet mesh, row by row from the hinge, each row left to right.
struct SheetMesh {
    std::vector<float> vertices;
    std::vector<GLushort> indices;
};

SheetMesh sheetMesh() {
    const auto columns = static_cast<int>(Tuning::meshColumns);
    const auto rows = static_cast<int>(Tuning::meshRows);
    static_assert((Tuning::meshColumns + 1) * (Tuning::meshRows + 1) <= 65535,
                  "the mesh must fit 16-bit indices");
    SheetMesh mesh;
    std::vector<float>& vertices = mesh.vertices;
    vertices.reserve(static_cast<std::size_t>((columns + 1) * (rows + 1) * 2));
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            vertices.push_back(static_cast<float>(c) / static_cast<float>(columns));
            vertices.push_back(static_cast<float>(r) / static_cast<float>(rows));
        }
    }
    std::vector<GLushort>& indices = mesh.indices;
    indices.reserve(static_cast<std::size_t>(columns * rows * 6));
    const int stride = columns + 1;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int i = r * stride + c;
            for (int index : {i, i + 1, i + stride, i + 1, i + stride + 1, i + stride}) {
                indices.push_back(static_cast<GLushort>(index));
            }
        }
    }

    return mesh;
}

} // namespace

std::string FoldRendererError::description() const {
    switch (kind) {
    case Kind::shaderCompileFailed:
        return "Shader compile failed: " + detail;
    case Kind::pipelineFailed:
        return "Pipeline creation failed: " + detail;
    case Kind::noDevice:
        return "No OpenGL device is available.";
    }
    return "No OpenGL device is available.";
}

Result<FoldRenderer, FoldRendererError> FoldRenderer::create() {
    using Kind = FoldRendererError::Kind;
    // Desktop OpenGL 3.3, or OpenGL ES 3.0 (a compositor may draw with either).
    const bool desktop = epoxy_is_desktop_gl() != 0;
    if (epoxy_gl_version() < (desktop ? 33 : 30)) {
        return FoldRendererError{Kind::noDevice, {}};
    }
    const ShaderDialect dialect = desktop ? ShaderDialect::glsl330 : ShaderDialect::es300;

    std::array<std::optional<gl::Shader>, allShaderEntries.size()> stages;
    for (ShaderEntry entry : allShaderEntries) {
        auto shader = compile(entry, dialect);
        if (!shader) {
            return shader.error();
        }
        stages[static_cast<std::size_t>(entry)] = shader.take();
    }
    const auto stage = [&stages](ShaderEntry entry) {
        return stages[static_cast<std::size_t>(entry)]->get();
    };

    FoldRenderer renderer;
    renderer.dialect_ = dialect;
    struct Link {
        gl::Program* program;
        ShaderEntry vertex;
        ShaderEntry fragment;
    };
    const std::array<Link, 5> links{{
        {&renderer.fold_, ShaderEntry::foldVertex, ShaderEntry::foldFragment},
        {&renderer.backdrop_, ShaderEntry::quadVertex, ShaderEntry::backdropFragment},
        {&renderer.down_, ShaderEntry::quadVertex, ShaderEntry::kawaseDown},
        {&renderer.up_, ShaderEntry::quadVertex, ShaderEntry::kawaseUp},
        {&renderer.layOver_, ShaderEntry::quadVertex, ShaderEntry::layOverFragment},
    }};
    for (const Link& link : links) {
        auto program = linkProgram(stage(link.vertex), stage(link.fragment));
        if (!program) {
            return program.error();
        }
        *link.program = program.take();
    }
    renderer.foldVertex_ = std::move(*stages[static_cast<std::size_t>(ShaderEntry::foldVertex)]);

    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    renderer.sampler_ = gl::Sampler(sampler);
    if (!renderer.sampler_) {
        return FoldRendererError{Kind::pipelineFailed, "sampler creation failed"};
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    if (auto failed = renderer.createBuffers()) {
        return *failed;
    }
    return renderer;
}

std::optional<FoldRendererError> FoldRenderer::createBuffers() {
    const SheetMesh mesh = sheetMesh();
    const std::vector<float>& vertices = mesh.vertices;
    const std::vector<GLushort>& indices = mesh.indices;
    indexCount_ = static_cast<std::int64_t>(indices.size());

    GLuint names[6] = {};
    glGenBuffers(6, names);
    meshVertices_ = gl::Buffer(names[0]);
    meshIndices_ = gl::Buffer(names[1]);
    foldBlock_ = gl::Buffer(names[2]);
    styleBlock_ = gl::Buffer(names[3]);
    edgeBlock_ = gl::Buffer(names[4]);
    blurBlock_ = gl::Buffer(names[5]);
    GLuint arrays[2] = {};
    glGenVertexArrays(2, arrays);
    meshArray_ = gl::VertexArray(arrays[0]);
    quadArray_ = gl::VertexArray(arrays[1]);
    for (GLuint name : names) {
        if (name == 0) {
            return FoldRendererError{FoldRendererError::Kind::pipelineFailed,
                                     "mesh buffer creation failed"};
        }
    }
    if (!meshArray_ || !quadArray_) {
        return FoldRendererError{FoldRendererError::Kind::pipelineFailed,
                                 "mesh buffer creation failed"};
    }

    glBindVertexArray(meshArray_.get());
    glBindBuffer(GL_ARRAY_BUFFER, meshVertices_.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                 vertices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, meshIndices_.get());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)), indices.data(),
                 GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    const std::pair<GLuint, std::size_t> blocks[] = {{foldBlock_.get(), sizeof(FoldUniformsCPU)},
                                                     {styleBlock_.get(), sizeof(StyleUniformsCPU)},
                                                     {edgeBlock_.get(), edgeBlockBytes},
                                                     {blurBlock_.get(), sizeof(BlurUniformsCPU)}};
    for (const auto& [buffer, bytes] : blocks) {
        glBindBuffer(GL_UNIFORM_BUFFER, buffer);
        glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_DYNAMIC_DRAW);
    }
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        return FoldRendererError{FoldRendererError::Kind::pipelineFailed,
                                 "mesh buffer creation failed"};
    }
    return std::nullopt;
}

unsigned FoldRenderer::featuresOf(const FrameUniforms& u) {
    if (u.fold.reduceMotion > 0.5f) {
        return FoldFeature::reduced;
    }
    unsigned features = 0;
    if (u.fold.motion > 0) {
        features |= FoldFeature::motionBlur;
    }
    if (u.style.m1[3] > 0 || u.style.m2[2] > 0) {
        features |= FoldFeature::ridge;
    }
    return features;
}

void FoldRenderer::prepareVariants() {
    for (const unsigned features :
         {0u, FoldFeature::motionBlur, FoldFeature::ridge, FoldFeature::reduced}) {
        foldProgram(features);
    }
}

GLuint FoldRenderer::foldProgram(unsigned features) {
    if (features == FoldFeature::full) {
        return fold_.get();
    }
    if (const auto found = foldVariants_.find(features); found != foldVariants_.end()) {
        return found->second.get();
    }
    // The full program compiled, so its variants will; should one not, the
    // full program draws the same picture.
    auto fragment = compile(ShaderEntry::foldFragment, dialect_, features);
    GLuint name = fold_.get();
    if (fragment) {
        if (auto program = linkProgram(foldVertex_.get(), fragment.value().get())) {
            name = program.value().get();
            foldVariants_.emplace(features, program.take());
            return name;
        }
    }
    foldVariants_.emplace(features, gl::Program{});
    return name;
}

const gl::RenderTexture* FoldRenderer::cachedTexture(int width, int height, int role) {
    const TextureKey key{width, height, role};
    if (const auto found = textures_.find(key); found != textures_.end()) {
        return &found->second;
    }
    gl::RenderTexture made = gl::makeRenderTexture(width, height);
    if (!made.texture) {
        return nullptr;
    }
    return &textures_.emplace(key, std::move(made)).first->second;
}

void FoldRenderer::blurPass(const gl::Program& program, GLuint input, int inputWidth,
                            int inputHeight, const gl::RenderTexture& output, float offset) {
    glBindFramebuffer(GL_FRAMEBUFFER, output.framebuffer.get());
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return;
    }
    ++lastPassCount_;
    glViewport(0, 0, output.width, output.height);
    glDisable(GL_BLEND);
    const BlurUniformsCPU uniforms{
        {static_cast<float>(inputWidth), static_cast<float>(inputHeight)}, offset, 0};
    glBindBuffer(GL_UNIFORM_BUFFER, blurBlock_.get());
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof uniforms, &uniforms);
    glBindBufferBase(GL_UNIFORM_BUFFER, blurBinding, blurBlock_.get());
    glUseProgram(program.get());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, input);
    glBindSampler(0, sampler_.get());
    glBindVertexArray(quadArray_.get());
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

std::optional<FoldRenderer::BlurLevels> FoldRenderer::encodeBlurChain(const SourceTexture& source,
                                                                      double blurAmount) {
    const int w = source.width;
    const int h = source.height;
    const int halfW = w >= 4 ? w / 2 : 1;
    const int halfH = h >= 4 ? h / 2 : 1;
    const int quarterW = w >= 8 ? w / 4 : 1;
    const int quarterH = h >= 8 ? h / 4 : 1;
    const gl::RenderTexture* down = cachedTexture(halfW, halfH, halfDown);
    const gl::RenderTexture* quarter = cachedTexture(quarterW, quarterH, quarterDown);
    const gl::RenderTexture* up = cachedTexture(halfW, halfH, halfUp);
    const gl::RenderTexture* full = cachedTexture(w, h, fullUp);
    if (!down || !quarter || !up || !full) {
        return std::nullopt;
    }
    const auto offset =
        static_cast<float>(Tuning::blurOffsetBase + blurAmount * Tuning::blurOffsetSpan);
    blurPass(down_, source.texture, w, h, *down, offset);
    blurPass(down_, down->texture.get(), down->width, down->height, *quarter, offset);
    blurPass(up_, quarter->texture.get(), quarter->width, quarter->height, *up, offset);
    blurPass(up_, up->texture.get(), up->width, up->height, *full, offset);
    return BlurLevels{full->texture.get(), down->texture.get(), quarter->texture.get()};
}

void FoldRenderer::encode(const SourceTexture& source, const RenderTarget& target,
                          const FoldFrameParams& params) {
    const FrameUniforms u = fillUniforms(params, source.width, source.height);
    lastSheetAngle_ = u.sheetAngle;
    lastVelocity_ = u.velocity;
    lastPassCount_ = 0;

    BlurLevels levels{source.texture, source.texture, source.texture};
    if (u.blurAmount >= Tuning::blurSkipThreshold) {
        if (const auto chain = encodeBlurChain(source, u.blurAmount)) {
            levels = *chain;
        }
    }

    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return;
    }
    ++lastPassCount_;
    glViewport(0, 0, target.width, target.height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    if (!target.overDesktop) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    std::array<float, Tuning::edgeTableCount> edge{};
    std::copy_n(u.edgeTable.begin(), std::min(u.edgeTable.size(), edge.size()), edge.begin());
    const std::tuple<GLuint, GLuint, const void*, std::size_t> blocks[] = {
        {foldBlock_.get(), foldBinding, &u.fold, sizeof u.fold},
        {styleBlock_.get(), styleBinding, &u.style, sizeof u.style},
        {edgeBlock_.get(), edgeBinding, edge.data(), edgeBlockBytes}};
    for (const auto& [buffer, binding, data, bytes] : blocks) {
        glBindBuffer(GL_UNIFORM_BUFFER, buffer);
        glBufferSubData(GL_UNIFORM_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
        glBindBufferBase(GL_UNIFORM_BUFFER, binding, buffer);
    }

    // Backdrop: an ordinary premultiplied "over".
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(backdrop_.get());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, levels.backdrop);
    glBindSampler(0, sampler_.get());
    glBindVertexArray(quadArray_.get());
    glDrawArrays(GL_TRIANGLES, 0, 3);

    // Sheet: its coverage blends the colour in; the backdrop's alpha (the fade) stays.
    glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
    glUseProgram(foldProgram(featuresOf(u)));
    const GLuint sheetTextures[] = {source.texture, levels.half, levels.heavy};
    for (GLuint unit = 0; unit < 3; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, sheetTextures[unit]);
        glBindSampler(unit, sampler_.get());
    }
    glBindVertexArray(meshArray_.get());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount_), GL_UNSIGNED_SHORT, nullptr);

    glBindVertexArray(0);
    glUseProgram(0);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
}

void FoldRenderer::layOver(const SourceTexture& picture, const RenderTarget& target) {
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return;
    }
    glViewport(0, 0, target.width, target.height);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(layOver_.get());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, picture.texture);
    glBindSampler(0, sampler_.get());
    glBindVertexArray(quadArray_.get());
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
    glDisable(GL_BLEND);
}

std::optional<std::vector<std::uint8_t>>
FoldRenderer::blurChainReadback(const SourceTexture& source, double blurAmount) {
    lastPassCount_ = 0;
    const auto levels = encodeBlurChain(source, blurAmount);
    if (!levels) {
        return std::nullopt;
    }
    const gl::RenderTexture* full = cachedTexture(source.width, source.height, fullUp);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(source.width) *
                                     static_cast<std::size_t>(source.height) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, full->framebuffer.get());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, source.width, source.height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    if (glGetError() != GL_NO_ERROR) {
        return std::nullopt;
    }
    return pixels;
}

} // namespace orvane
