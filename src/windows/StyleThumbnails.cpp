// SPDX-License-Identifier: MIT
#include "windows/StyleThumbnails.h"

#include "core/Tuning.h"
#include "settings/FoldSettings.h"
#include "windows/FoldPreviewRenderer.h"
#include "windows/Wallpaper.h"

#include <utility>
#include <vector>

namespace orvane {

StyleThumbnails& StyleThumbnails::shared() {
    static StyleThumbnails thumbnails;
    return thumbnails;
}

void StyleThumbnails::loadIfNeeded() {
    render_.start(
        this,
        [] {
            std::vector<FoldPreviewRequest> requests;
            for (const FoldStyle style : allFoldStyles) {
                FoldSettings settings;
                settings.style = style;
                requests.push_back({settings.look(false), Tuning::thumbnailAngle});
            }
            return renderFoldPictures(Tuning::thumbnailWidth, Tuning::thumbnailHeight,
                                      loadWallpaper(), requests);
        },
        [this](const std::vector<QImage>& pictures) {
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                images_[allFoldStyles.at(i)] = pictures[i];
            }
            loaded_ = true;
            emit loaded();
        });
}

std::optional<QImage> StyleThumbnails::image(FoldStyle style) const {
    const auto found = images_.find(style);
    return found != images_.end() ? std::optional(found->second) : std::nullopt;
}

} // namespace orvane
