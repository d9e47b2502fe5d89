// SPDX-License-Identifier: MIT
// A synthetic desktop to fold when there is no screen to capture: a menu bar,
// two overlapping windows and a dock, the same pixels for the same size.
#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

class CannedDesktop {
public:
    // With a background image, it is scaled to fill and centred.
    CannedDesktop(int width, int height, const std::optional<QImage>& background = std::nullopt);

    int width() const { return width_; }
    int height() const { return height_; }
    std::int64_t bytesPerRow() const { return 4 * static_cast<std::int64_t>(width_); }
    // B, G, R, A, premultiplied, rows from the top.
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> bytes_;
};

} // namespace orvane
