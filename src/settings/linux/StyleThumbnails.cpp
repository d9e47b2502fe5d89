// SPDX-License-Identifier: MIT
#include "settings/linux/StyleThumbnails.h"

#include "core/Tuning.h"
#include "settings/FoldSettings.h"
#include "settings/linux/FoldPreviewRenderer.h"
#include "settings/linux/Wallpaper.h"

#include <QCoreApplication>

#include <utility>
#include <vector>

namespace orvane {

StyleThumbnails& StyleThumbnails::shared() {
    static StyleThumbnails thumbnails;
    return thumbnails;
}

StyleThumbnails::~StyleThumbnails() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void StyleThumbnails::loadIfNeeded() {
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
        for (const FoldStyle style : allFoldStyles) {
            requests.push_back({style, Tuning::thumbnailAngle, defaults.perspective, defaults.blur,
                                defaults.shadow, defaults.clearAngle, false});
        }
        std::vector<QImage> pictures = renderFoldPictures(
            Tuning::thumbnailWidth, Tuning::thumbnailHeight, loadWallpaper(), requests);
        QMetaObject::invokeMethod(
            this,
            [this, pictures = std::move(pictures)] {
                for (std::size_t i = 0; i < pictures.size(); ++i) {
                    images_[allFoldStyles.at(i)] = pictures[i];
                }
                loaded_ = true;
                emit loaded();
            },
            Qt::QueuedConnection);
    });
}

std::optional<QImage> StyleThumbnails::image(FoldStyle style) const {
    const auto found = images_.find(style);
    return found != images_.end() ? std::optional(found->second) : std::nullopt;
}

} // namespace orvane
