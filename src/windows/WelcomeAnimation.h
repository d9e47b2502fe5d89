// SPDX-License-Identifier: MIT
// The welcome window's animation: the sample desktop folding as the lid swings down and
// back up, as a loop of still frames rendered once, off the main thread.
#pragma once

#include "windows/RenderOnce.h"

#include <QImage>
#include <QObject>

#include <vector>

namespace orvane {

// Main thread only.
class WelcomeAnimation final : public QObject {
    Q_OBJECT
public:
    // One for the whole process, so that a reopened welcome window does not render again.
    static WelcomeAnimation& shared();
    explicit WelcomeAnimation(QObject* parent = nullptr);
    WelcomeAnimation(const WelcomeAnimation&) = delete;
    WelcomeAnimation& operator=(const WelcomeAnimation&) = delete;

    // The first call starts the render; loaded() follows.
    void loadIfNeeded();
    // True once loaded() was sent.
    bool isLoaded() const { return loaded_; }
    // In playing order; empty before loading, or when this machine cannot render.
    const std::vector<QImage>& frames() const { return frames_; }

signals:
    void loaded();

private:
    std::vector<QImage> frames_;
    bool loaded_ = false;
    RenderOnce render_;
};

} // namespace orvane
