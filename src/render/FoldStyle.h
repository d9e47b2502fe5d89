// SPDX-License-Identifier: MIT
// The four looks of the fold and the fixed values each one draws with.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace orvane {

enum class FoldStyle { vellum, dusk, rime, ridge };

inline constexpr std::array<FoldStyle, 4> allFoldStyles{FoldStyle::vellum, FoldStyle::dusk,
                                                        FoldStyle::rime, FoldStyle::ridge};

struct StyleParams {
    double perspectiveScale = 1;
    double blurScale = 1;
    std::array<float, 3> tint{1, 1, 1};
    float tintStrength = 0;
    std::array<float, 3> crease{0, 0, 0};
    float creaseStrength = 0;
    float vignette = 0;
    float desaturate = 0;
    float noise = 0;
    float chromatic = 0;
    float bloom = 0;
    float falloff = 0;
    float ridgeLine = 0;
    bool operator==(const StyleParams&) const = default;
};

std::string_view rawValue(FoldStyle style);
std::string_view displayName(FoldStyle style);
std::string_view summary(FoldStyle style);
const StyleParams& params(FoldStyle style);

// Exact raw value only.
std::optional<FoldStyle> foldStyleFromRaw(std::string_view raw);
// A stored name, in any letter case, including the names of earlier versions.
std::optional<FoldStyle> migratingFoldStyle(std::string_view stored);

} // namespace orvane
