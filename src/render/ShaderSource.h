// SPDX-License-Identifier: MIT
// The fold's GPU program as GLSL 3.30 core text, with its constants printed in
// from Tuning. One text holds every stage; each stage is compiled from it with
// its entry point's macro defined.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace orvane {

enum class ShaderEntry {
    foldVertex,
    foldFragment,
    quadVertex,
    backdropFragment,
    kawaseDown,
    kawaseUp,
    layOverFragment, // a premultiplied picture over the target, as it is
};

inline constexpr std::array<ShaderEntry, 7> allShaderEntries{
    ShaderEntry::foldVertex,       ShaderEntry::foldFragment, ShaderEntry::quadVertex,
    ShaderEntry::backdropFragment, ShaderEntry::kawaseDown,   ShaderEntry::kawaseUp,
    ShaderEntry::layOverFragment};

// Parts of the sheet's fragment stage that a frame may leave out. The GPU
// runs both sides of a branch, so a frame that cannot use a part (no lid
// motion, a style without a ridge line) gets a program without it; the
// colours it computes are the same.
namespace FoldFeature {
inline constexpr unsigned motionBlur = 1;
inline constexpr unsigned ridge = 2;
inline constexpr unsigned reduced = 4; // Reduce Motion: only the flat, dimmed sheet
inline constexpr unsigned full = motionBlur | ridge;
} // namespace FoldFeature

// The GLSL a context takes: 3.30 core for desktop OpenGL, 3.00 ES for OpenGL ES. A
// compositor's context may be either.
enum class ShaderDialect { glsl330, es300 };

namespace ShaderSource {

// Built on first use and kept for the life of the process.
const std::string& glsl();
std::string_view entryName(ShaderEntry entry);
bool isVertexStage(ShaderEntry entry);
// The program text with ENTRY_<name> (and the sheet's feature macros)
// defined right after the version line, in the dialect's version and precision.
std::string stageText(ShaderEntry entry, unsigned features = FoldFeature::full,
                      ShaderDialect dialect = ShaderDialect::glsl330);
// "%.10g", with ".0" added when that prints neither a point nor an exponent.
std::string floatLiteral(double value);

} // namespace ShaderSource
} // namespace orvane
