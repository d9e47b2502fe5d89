// SPDX-License-Identifier: MIT
// One still picture per style for the style cards: the sample desktop over the wallpaper,
// folded at a fixed angle with the default sliders. Rendered once per process, off the
// main thread.
#pragma once

#include "windows/RenderOnce.h"

#include "render/FoldStyle.h"

#include <QImage>
#include <QObject>

#include <map>
#include <optional>

namespace orvane {

// Main thread only.
class StyleThumbnails final : public QObject {
    Q_OBJECT
public:
    static StyleThumbnails& shared();
    StyleThumbnails(const StyleThumbnails&) = delete;
    StyleThumbnails& operator=(const StyleThumbnails&) = delete;

    // The first call starts the render; loaded() follows.
    void loadIfNeeded();
    // True once loaded() was sent.
    bool isLoaded() const { return loaded_; }
    // None before loading, or when this machine cannot render.
    std::optional<QImage> image(FoldStyle style) const;

signals:
    void loaded();

private:
    StyleThumbnails() = default;

    std::map<FoldStyle, QImage> images_;
    bool loaded_ = false;
    RenderOnce render_;
};

} // namespace orvane
