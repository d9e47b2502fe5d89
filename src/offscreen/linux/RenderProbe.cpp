// SPDX-License-Identifier: MIT
#include "offscreen/linux/RenderProbe.h"

#include "core/Tuning.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvane {

const std::uint8_t* Pixels::at(int x, int y) const {
    const auto index =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    return bytes.data() + index * 4;
}

int Pixels::luma(int x, int y) const {
    const std::uint8_t* p = at(x, y);
    return (p[0] + p[1] + p[2]) / 3;
}

FlatSource::FlatSource(int width, int height, std::uint8_t value, std::uint8_t alpha) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width * height) * 4, value);
    for (std::size_t i = 3; i < bytes.size(); i += 4) {
        bytes[i] = alpha;
    }
    texture = gl::makeRenderTexture(width, height, bytes.data());
}

FoldFrameParams probeFrame(double angle, FoldStyle style) {
    FoldFrameParams f;
    f.angle = angle;
    f.look = FoldLook::tools();
    f.look.style = style;
    f.motion = FoldMotion::still();
    f.opacity = 1;
    return f;
}

std::optional<Pixels> drawFrame(FoldRenderer& renderer, const SourceTexture& source,
                                const FoldFrameParams& params, int width, int height) {
    gl::RenderTexture target = gl::makeRenderTexture(width, height);
    if (!target.texture) {
        return std::nullopt;
    }
    renderer.encode(source, {target.framebuffer.get(), width, height}, params);
    Pixels out{width, height,
               std::vector<std::uint8_t>(static_cast<std::size_t>(width * height) * 4)};
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer.get());
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, out.bytes.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return out;
}

double meanDifference(const Pixels& a, const Pixels& b) {
    if (a.bytes.size() != b.bytes.size() || a.bytes.empty()) {
        return std::numeric_limits<double>::infinity();
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
        sum += std::abs(static_cast<int>(a.bytes[i]) - static_cast<int>(b.bytes[i]));
    }
    return sum / static_cast<double>(a.bytes.size());
}

} // namespace orvane
