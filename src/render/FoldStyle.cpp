// SPDX-License-Identifier: MIT
#include "render/FoldStyle.h"

#include "core/Text.h"

namespace orvane {

namespace {

struct StyleEntry {
    std::string_view raw;
    std::string_view name;
    std::string_view summary;
    StyleParams params;
};

// clang-format off
const std::array<StyleEntry, 4> styles{{
    {"vellum", "Vellum", "Warm and soft, with a gentle glow.",
     {1.0, 1.0, {1.06f, 1.0f, 0.94f}, 0.55f, {0.22f, 0.18f, 0.14f}, 0.6f,
      0.15f, 0.0f, 0.0f, 0.0f, 0.4f, 0.08f, 0.0f}},
    {"dusk", "Dusk", "Dark and deep, with a strong shadow.",
     {1.25, 0.9, {0.9f, 0.96f, 1.08f}, 0.6f, {0.1f, 0.12f, 0.16f}, 0.45f,
      0.55f, 0.08f, 0.0f, 0.0f, 0.0f, 0.22f, 0.0f}},
    {"rime", "Rime", "Frosted, with heavy blur and fine grain.",
     {0.9, 1.8, {0.94f, 0.98f, 1.06f}, 0.5f, {0.15f, 0.17f, 0.2f}, 0.35f,
      0.1f, 0.25f, 0.05f, 0.0f, 0.12f, 0.1f, 0.0f}},
    {"ridge", "Ridge", "Crisp, with a bright line along the fold.",
     {1.05, 0.45, {1.02f, 1.0f, 0.98f}, 0.3f, {0.85f, 0.87f, 0.9f}, 1.1f,
      0.12f, 0.0f, 0.012f, 1.0f, 0.0f, 0.5f, 1.0f}},
}};
// clang-format on

const StyleEntry& entry(FoldStyle style) {
    return styles[static_cast<std::size_t>(style)];
}

} // namespace

std::string_view rawValue(FoldStyle style) {
    return entry(style).raw;
}

std::string_view displayName(FoldStyle style) {
    return entry(style).name;
}

std::string_view summary(FoldStyle style) {
    return entry(style).summary;
}

const StyleParams& params(FoldStyle style) {
    return entry(style).params;
}

std::optional<FoldStyle> foldStyleFromRaw(std::string_view raw) {
    for (FoldStyle style : allFoldStyles) {
        if (rawValue(style) == raw) {
            return style;
        }
    }
    return std::nullopt;
}

std::optional<FoldStyle> migratingFoldStyle(std::string_view stored) {
    const std::string lower = asciiLowercased(stored);
    if (lower == "silk") {
        return FoldStyle::vellum;
    }
    if (lower == "shade") {
        return FoldStyle::dusk;
    }
    if (lower == "frost") {
        return FoldStyle::rime;
    }
    return foldStyleFromRaw(lower);
}

} // namespace orvane
