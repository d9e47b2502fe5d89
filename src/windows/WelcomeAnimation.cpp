// SPDX-License-Identifier: MIT
#include "windows/WelcomeAnimation.h"

#include "core/Tuning.h"
#include "settings/FoldSettings.h"
#include "settings/WelcomeFrames.h"
#include "windows/FoldPreviewRenderer.h"

#include <utility>

namespace orvane {

WelcomeAnimation& WelcomeAnimation::shared() {
    static WelcomeAnimation animation;
    return animation;
}

WelcomeAnimation::WelcomeAnimation(QObject* parent) : QObject(parent) {}

void WelcomeAnimation::loadIfNeeded() {
    render_.start(
        this,
        [] {
            const FoldSettings defaults;
            std::vector<FoldPreviewRequest> requests;
            for (int i = 0; i < Tuning::welcomeFrameCount; ++i) {
                requests.push_back({defaults.look(false), welcomeFrameAngle(i)});
            }
            return renderFoldPictures(Tuning::thumbnailWidth, Tuning::thumbnailHeight, std::nullopt,
                                      requests);
        },
        [this](const std::vector<QImage>& frames) {
            frames_ = frames;
            loaded_ = true;
            emit loaded();
        });
}

} // namespace orvane
