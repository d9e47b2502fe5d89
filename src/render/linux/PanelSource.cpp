// SPDX-License-Identifier: MIT
#include "render/linux/PanelSource.h"

#include <epoxy/gl.h>

namespace orvane {

PanelSource::PanelSource(std::function<std::optional<FrameBox>()> latest, SampleImage sample)
    : latest_(std::move(latest)), sample_(std::move(sample)) {}

std::optional<SourceTexture> PanelSource::operator()() {
    const auto frame = latest_ ? latest_() : std::nullopt;
    if (frame && frame->texture) {
        recent_.note(*frame);
        const FrameTexture& texture = *frame->texture;
        return SourceTexture{texture.textureName(), texture.width(), texture.height()};
    }
    if (sampleTexture_) {
        return SourceTexture{sampleTexture_.get(), sample_.width, sample_.height};
    }
    const auto bytes =
        static_cast<std::size_t>(sample_.width) * static_cast<std::size_t>(sample_.height) * 4;
    if (sample_.width <= 0 || sample_.height <= 0 || sample_.bgra.size() < bytes) {
        return std::nullopt;
    }
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        sampleTexture_ = gl::Texture(name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, sample_.width, sample_.height, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, sample_.bgra.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glBindTexture(GL_TEXTURE_2D, 0);
        // Uploaded once: the bytes are no longer needed.
        sample_.bgra = {};
    }
    return SourceTexture{sampleTexture_.get(), sample_.width, sample_.height};
}

} // namespace orvane
