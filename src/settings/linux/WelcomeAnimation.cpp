// SPDX-License-Identifier: MIT
#include "settings/linux/WelcomeAnimation.h"

#include "core/Tuning.h"
#include "settings/FoldSettings.h"
#include "settings/WelcomeFrames.h"
#include "settings/linux/FoldPreviewRenderer.h"

#include <QCoreApplication>

#include <utility>

namespace orvane {

WelcomeAnimation& WelcomeAnimation::shared() {
    static WelcomeAnimation animation;
    return animation;
}

WelcomeAnimation::WelcomeAnimation(QObject* parent) : QObject(parent) {}

WelcomeAnimation::~WelcomeAnimation() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WelcomeAnimation::loadIfNeeded() {
    if (started_) {
        return;
    }
    started_ = true;
    if (this == &shared()) {
        // The render thread ends while the application and the OpenGL driver still live:
        // joined in static destruction, it can wait forever on the driver's own teardown.
        qAddPostRoutine([] {
            if (shared().thread_.joinable()) {
                shared().thread_.join();
            }
        });
    }
    thread_ = std::thread([this] {
        const FoldSettings defaults;
        std::vector<FoldPreviewRequest> requests;
        for (int i = 0; i < Tuning::welcomeFrameCount; ++i) {
            requests.push_back({defaults.style, welcomeFrameAngle(i), defaults.perspective,
                                defaults.blur, defaults.shadow, defaults.clearAngle, false});
        }
        std::vector<QImage> frames = renderFoldPictures(
            Tuning::thumbnailWidth, Tuning::thumbnailHeight, std::nullopt, requests);
        QMetaObject::invokeMethod(
            this,
            [this, frames = std::move(frames)] {
                frames_ = frames;
                loaded_ = true;
                emit loaded();
            },
            Qt::QueuedConnection);
    });
}

} // namespace orvane
