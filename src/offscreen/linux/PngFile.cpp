// SPDX-License-Identifier: MIT
#include "offscreen/linux/PngFile.h"

#include "platform/OutputFile.h"

#include <QImage>
#include <QImageWriter>

#include <filesystem>
#include <system_error>

namespace orvane {

QImage imageView(const RawImage& image) {
    // ARGB32 premultiplied is B, G, R, A in memory on a little-endian machine.
    return QImage(image.bytes.data(), static_cast<int>(image.width), static_cast<int>(image.height),
                  static_cast<qsizetype>(image.bytesPerRow), QImage::Format_ARGB32_Premultiplied);
}

std::optional<OffscreenError> savePNG(const QImage& image, const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::error_code error;
        std::filesystem::create_directories(parent, error);
        if (error) {
            return OffscreenError{OffscreenError::Kind::folderFailed,
                                  "Could not create the folder " + parent.string() + ": " +
                                      error.message() + "."};
        }
    }
    if (image.isNull()) {
        return OffscreenError{OffscreenError::Kind::pngFailed, path};
    }
    auto file = OutputFile::create(path);
    if (!file) {
        return OffscreenError{OffscreenError::Kind::fileRefused,
                              describe(file.error(), path) + "."};
    }
    QImageWriter writer(QString::fromStdString(file.value().path().string()), "png");
    if (!writer.write(image)) {
        return OffscreenError{OffscreenError::Kind::pngFailed, path};
    }
    if (const auto error = file.value().commit()) {
        return OffscreenError{OffscreenError::Kind::fileRefused, describe(*error, path) + "."};
    }
    return std::nullopt;
}

std::optional<OffscreenError> writePNG(const RawImage& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0 ||
        image.bytes.size() < static_cast<std::size_t>(image.bytesPerRow * image.height)) {
        return OffscreenError{OffscreenError::Kind::pngFailed, path};
    }
    return savePNG(imageView(image), path);
}

} // namespace orvane
