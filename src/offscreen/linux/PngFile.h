// SPDX-License-Identifier: MIT
// Writing images as PNG files, making their folders on the way.
#pragma once

#include "offscreen/RawImage.h"

#include <optional>
#include <string>

class QImage;

namespace orvane {

// A view of the image's bytes, valid while the image lives.
QImage imageView(const RawImage& image);

std::optional<OffscreenError> savePNG(const QImage& image, const std::string& path);
std::optional<OffscreenError> writePNG(const RawImage& image, const std::string& path);

} // namespace orvane
