// SPDX-License-Identifier: MIT
#include "offscreen/linux/MovieRender.h"

#include "core/ExitStatus.h"
#include "core/Text.h"
#include "core/Tuning.h"
#include "offscreen/MovieScript.h"
#include "offscreen/linux/Label.h"
#include "offscreen/linux/MovieWriter.h"
#include "offscreen/linux/OffscreenSession.h"
#include "offscreen/linux/PngFile.h"
#include "platform/OutputFile.h"

#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace orvane::MovieRender {

namespace {

constexpr const char* usage = "usage: Orvane --render-movie <out.mp4> [--style "
                              "vellum|dusk|rime|ridge] [--fps 60] [--frames-dir dir]\n";
constexpr int minFPS = 10;
constexpr int maxFPS = 240;
constexpr std::int64_t movieBitRate = 16'000'000;

// Frame labels, from the bottom left of the frame.
constexpr double labelInset = 8;
constexpr double labelPadding = 16;
constexpr double labelHeight = 18;
constexpr double labelAlpha = 0.7;
constexpr double textX = 16;
constexpr double textY = 13;

// An optional sign and digits only.
std::optional<int> parseInteger(const std::string& text) {
    std::size_t start = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (start == text.size() || text.size() - start > 9) {
        return std::nullopt;
    }
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    return std::stoi(text);
}

int usageError(const std::string& line) {
    std::cerr << line;
    return ExitStatus::usage;
}

std::optional<std::string> folderFor(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "Could not create the folder " + folder.string() + ": " + error.message() + ".";
    }
    return std::nullopt;
}

QImage labelled(const RawImage& frame, const std::string& text) {
    QImage image = imageView(frame).copy();
    if (image.isNull()) {
        return image;
    }
    QPainter painter(&image);
    const QString line = QString::fromStdString(text);
    const double h = image.height();
    drawLabel(painter,
              QRectF(labelInset, h - labelInset - labelHeight,
                     labelWidth(line.size(), labelPadding), labelHeight),
              QPointF(textX, h - textY), line, labelAlpha);
    return image;
}

} // namespace

std::optional<std::string> render(const std::string& path, FoldStyle style, int fps,
                                  const std::optional<std::string>& framesDir) {
    const int w = static_cast<int>(Tuning::renderWidth);
    const int h = static_cast<int>(Tuning::renderHeight);
    auto made = OffscreenSession::create();
    if (!made) {
        return made.error().description();
    }
    OffscreenSession& session = *made.value();
    auto desktop = session.cannedDesktop(w, h);
    if (!desktop) {
        return desktop.error().description();
    }
    const std::vector<std::uint8_t>& desktopPixels = desktop.value()->bytes();

    if (auto error = folderFor(std::filesystem::path(path).parent_path())) {
        return error;
    }
    auto file = OutputFile::create(path);
    if (!file) {
        return describe(file.error(), path) + ".";
    }
    if (framesDir) {
        if (auto error = folderFor(*framesDir)) {
            return error;
        }
    }
    auto writer = MovieWriter::open(file.value().path().string(), {w, h, fps, movieBitRate});
    if (!writer) {
        return writer.error().description();
    }

    const std::vector<MovieScript::Frame> frames =
        MovieScript::simulate(fps, Tuning::defaultClearAngle);
    std::optional<ToolGui> gui;
    if (framesDir) {
        gui.emplace();
    }
    RawImage frameImage{w, h, 4 * static_cast<std::int64_t>(w), {}};
    for (const MovieScript::Frame& frame : frames) {
        if (frame.visible) {
            RenderRequest request;
            request.look.style = style;
            request.angle = frame.sheetAngle;
            request.motion = FoldMotion::scripted(frame.sheetAngle, frame.velocity);
            auto image = session.render(request);
            if (!image) {
                return image.error().description();
            }
            frameImage.bytes = std::move(image.value().bytes);
            MovieScript::composite(frameImage.bytes, desktopPixels, frame.opacity);
        } else {
            frameImage.bytes = desktopPixels;
        }
        if (auto error = writer.value()->append(frameImage.bytes.data(), frame.index)) {
            return error->description();
        }
        if (framesDir && frame.index % Tuning::movieFrameStride == 0) {
            const std::string line = MovieScript::frameLine(frame);
            std::cout << line << "\n";
            char name[32];
            std::snprintf(name, sizeof name, "frame-%03lld.png",
                          static_cast<long long>(frame.index));
            const QImage image = labelled(frameImage, line);
            if (!image.isNull()) {
                if (auto error =
                        savePNG(image, (std::filesystem::path(*framesDir) / name).string())) {
                    return error->description();
                }
            }
        }
    }
    if (auto error = writer.value()->finish()) {
        return error->description();
    }
    if (const auto error = file.value().commit()) {
        return describe(*error, path) + ".";
    }
    if (const auto summary = MovieScript::summarize(frames)) {
        std::cout << *summary << "\n";
    }
    std::cout << "wrote " << path << " (" << w << "x" << h << ", " << frames.size() << " frames at "
              << fps << " fps, style=" << rawValue(style) << ")\n";
    return std::nullopt;
}

int run(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments[0].starts_with("--")) {
        return usageError(usage);
    }
    FoldStyle style = FoldStyle::vellum;
    int fps = static_cast<int>(Tuning::movieDefaultFPS);
    std::optional<std::string> framesDir;
    for (std::size_t i = 1; i < arguments.size(); i += 2) {
        const std::string& option = arguments[i];
        const std::optional<std::string> value =
            i + 1 < arguments.size() ? std::optional(arguments[i + 1]) : std::nullopt;
        if (option == "--style") {
            const auto named = value ? foldStyleFromRaw(asciiLowercased(*value)) : std::nullopt;
            if (!named) {
                return usageError("bad --style (vellum|dusk|rime|ridge)\n");
            }
            style = *named;
        } else if (option == "--fps") {
            const auto number = value ? parseInteger(*value) : std::nullopt;
            if (!number || *number < minFPS || *number > maxFPS) {
                return usageError("bad --fps (10 to 240)\n");
            }
            fps = *number;
        } else if (option == "--frames-dir") {
            if (!value) {
                return usageError("--frames-dir needs a directory\n");
            }
            framesDir = value;
        } else {
            return usageError("unknown option: " + option + "\n");
        }
    }
    if (const auto error = render(arguments[0], style, fps, framesDir)) {
        std::cerr << "render-movie failed: " << *error << "\n";
        return ExitStatus::failure;
    }
    return ExitStatus::success;
}

} // namespace orvane::MovieRender
