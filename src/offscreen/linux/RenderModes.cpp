// SPDX-License-Identifier: MIT
#include "offscreen/linux/RenderModes.h"

#include "core/ExitStatus.h"
#include "core/Text.h"
#include "motion/FoldMath.h"
#include "offscreen/linux/Label.h"
#include "offscreen/linux/OffscreenSession.h"
#include "offscreen/linux/PngFile.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <iostream>

namespace orvane::RenderModes {

namespace {

constexpr const char* renderUsage = "usage: Orvane --render <style> <angle> <out.png> [options]\n";
constexpr const char* sheetUsage = "usage: Orvane --render-sheet <out.png>\n";

// Label badges and text, in canvas pixels.
constexpr double badgeInset = 5;
constexpr double badgePadding = 9;
constexpr double badgeHeight = 16;
constexpr double badgeAlpha = 0.65;
constexpr double labelInset = 9;

struct RenderOptions {
    RenderRequest request;
    double velocity = 0;
};

int usageError(const std::string& line) {
    std::cerr << line;
    return ExitStatus::usage;
}

// Options after the three positional arguments. Returns the failing argument.
std::optional<std::string> parseOptions(const std::vector<std::string>& arguments,
                                        RenderOptions& out) {
    RenderRequest& r = out.request;
    for (std::size_t i = 3; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--reduce-motion") {
            r.look.reduceMotion = true;
            continue;
        }
        double* field = nullptr;
        std::function<double(double)> shape = [](double x) { return x; };
        if (option == "--perspective") {
            field = &r.look.perspective;
            shape = FoldMath::saturate;
        } else if (option == "--blur") {
            field = &r.look.blur;
            shape = FoldMath::saturate;
        } else if (option == "--shadow") {
            field = &r.look.shadow;
            shape = FoldMath::saturate;
        } else if (option == "--clear") {
            field = &r.look.clearAngle;
            shape = [](double x) {
                return std::clamp(x, Tuning::minClearAngle, Tuning::maxClearAngle);
            };
        } else if (option == "--velocity") {
            field = &out.velocity;
        } else {
            return option;
        }
        // A value that is no number is looked at as an option of its own.
        if (i + 1 < arguments.size()) {
            if (const std::optional<double> value = parseDecimal(arguments[i + 1])) {
                *field = shape(*value);
                ++i;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::string decimalText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), result.ptr);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

int runRender(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3) {
        return usageError(renderUsage);
    }
    const std::optional<FoldStyle> style = foldStyleFromRaw(asciiLowercased(arguments[0]));
    if (!style) {
        return usageError("unknown style: " + arguments[0] + " (vellum|dusk|rime|ridge)\n");
    }
    const std::optional<double> angle = parseDecimal(arguments[1]);
    if (!angle) {
        return usageError("bad angle: " + arguments[1] + "\n");
    }
    RenderOptions options;
    if (const std::optional<std::string> unknown = parseOptions(arguments, options)) {
        return usageError("unknown option: " + *unknown + "\n");
    }
    RenderRequest& request = options.request;
    request.look.style = *style;
    request.angle = *angle;
    request.motion = FoldMotion::scripted(*angle, options.velocity);
    const std::string& path = arguments[2];

    const auto fail = [](const OffscreenError& error) {
        std::cerr << "render failed: " << error.description() << "\n";
        return ExitStatus::failure;
    };
    auto session = OffscreenSession::create();
    if (!session) {
        return fail(session.error());
    }
    auto image = session.value()->render(request);
    if (!image) {
        return fail(image.error());
    }
    image.value().compositeOverBlack();
    if (const auto error = writePNG(image.value(), path)) {
        return fail(*error);
    }
    std::cout << "wrote " << path << " (" << image.value().width << "x" << image.value().height
              << ", style=" << rawValue(*style) << ", angle=" << decimalText(*angle) << ")\n";
    return ExitStatus::success;
}

int runSheet(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return usageError(sheetUsage);
    }
    const std::string& path = arguments[0];
    const auto fail = [](const OffscreenError& error) {
        std::cerr << "render-sheet failed: " << error.description() << "\n";
        return ExitStatus::failure;
    };
    const ToolGui gui;
    const int cellWidth = static_cast<int>(Tuning::sheetCellWidth);
    const int cellHeight = static_cast<int>(Tuning::sheetCellHeight);
    const int columns = static_cast<int>(Tuning::sheetAngles.size());
    const int rows = static_cast<int>(allFoldStyles.size());
    QImage canvas(cellWidth * columns, cellHeight * rows, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        return fail({OffscreenError::Kind::textureFailed, {}});
    }
    canvas.fill(QColor::fromRgbF(0.07, 0.07, 0.09));

    auto session = OffscreenSession::create();
    if (!session) {
        return fail(session.error());
    }
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    for (int row = 0; row < rows; ++row) {
        const FoldStyle style = allFoldStyles[static_cast<std::size_t>(row)];
        for (int column = 0; column < columns; ++column) {
            const double angle = Tuning::sheetAngles[static_cast<std::size_t>(column)];
            RenderRequest request;
            request.look.style = style;
            request.angle = angle;
            request.motion = FoldMotion::still();
            auto image = session.value()->render(request);
            if (!image) {
                return fail(image.error());
            }
            image.value().compositeOverBlack();
            const QRectF cell(column * cellWidth, row * cellHeight, cellWidth, cellHeight);
            painter.drawImage(cell, imageView(image.value()));

            const QString label = QString::fromStdString(std::string(displayName(style))) +
                                  QStringLiteral(" %1 deg").arg(std::lround(angle));
            const QRectF badge(cell.left() + badgeInset, cell.bottom() - badgeInset - badgeHeight,
                               labelWidth(label.size(), badgePadding), badgeHeight);
            drawLabel(painter, badge, QPointF(cell.left() + labelInset, cell.bottom() - labelInset),
                      label, badgeAlpha);
        }
    }
    painter.end();
    if (const auto error = savePNG(canvas, path)) {
        return fail(*error);
    }
    std::cout << "wrote " << path << " (" << canvas.width() << "x" << canvas.height() << ")\n";
    return ExitStatus::success;
}

} // namespace orvane::RenderModes
