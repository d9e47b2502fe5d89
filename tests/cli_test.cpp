// SPDX-License-Identifier: MIT
// Runs the built executable: exit statuses and what it writes.
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <QImage>

#include <doctest/doctest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using orvane::test::runProcess;
using orvane::test::TempDir;

namespace {
const std::string executable = ORVANE_EXECUTABLE;

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}
} // namespace

TEST_CASE("a mode that is not built yet says so in one line and fails") {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--selftest"}, "--selftest"},
        {{"--probe"}, "--probe"},
        {{"--render-movie", "/tmp/x.mp4"}, "--render-movie"},
        {{"--render", "--movie", "/tmp/x.mp4"}, "--render-movie"},
        {{"--accordion-render", "/tmp/x.wav"}, "--accordion-render"},
        {{"--accordion-live-test"}, "--accordion-live-test"},
        {{"--shot", "all", "/tmp"}, "--shot"},
    };
    for (const auto& [arguments, name] : cases) {
        const std::string& first = arguments.front();
        CAPTURE(first);
        const auto result = runProcess(executable, arguments);
        CHECK(result.status == 1);
        CHECK(result.out.empty());
        CHECK(lineCount(result.err) == 1);
        CHECK(result.err.find(name + " is not available yet") != std::string::npos);
    }
}

TEST_CASE("without a mode the program says the application is not available yet") {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--help"}, {"--Render"}}) {
        const auto result = runProcess(executable, arguments);
        CHECK(result.status == 1);
        CHECK(lineCount(result.err) == 1);
        CHECK(result.err.find("application is not available yet") != std::string::npos);
    }
}

namespace {

struct Png {
    QImage image;
    std::string bytes;
};

Png readPng(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return {QImage(QString::fromStdString(path.string())), bytes};
}

orvane::test::ProcessResult render(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"--render"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProcess(executable, all);
}

} // namespace

TEST_CASE("render: wrong arguments are usage errors named in one line") {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "usage: Orvane --render <style> <angle> <out.png> [options]\n"},
        {{"vellum", "70"}, "usage: Orvane --render <style> <angle> <out.png> [options]\n"},
        {{"paper", "70", "x.png"}, "unknown style: paper (vellum|dusk|rime|ridge)\n"},
        {{"vellum", "abc", "x.png"}, "bad angle: abc\n"},
        {{"vellum", "70x", "x.png"}, "bad angle: 70x\n"},
        {{"vellum", "70", "x.png", "--blur", "x"}, "unknown option: x\n"},
        {{"vellum", "70", "x.png", "--frobnicate"}, "unknown option: --frobnicate\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const std::string joined = arguments.empty() ? "" : arguments.front();
        CAPTURE(joined);
        const auto result = render(arguments);
        CHECK(result.status == 2);
        CHECK(result.err == message);
        CHECK(result.out.empty());
    }
    const auto sheet = runProcess(executable, {"--render-sheet"});
    CHECK(sheet.status == 2);
    CHECK(sheet.err == "usage: Orvane --render-sheet <out.png>\n");
}

TEST_CASE("render: writes an opaque frame and says so") {
    const TempDir dir;
    const auto out = dir.path() / "nested" / "folder" / "out.png";
    const auto result = render({"Rime", "60", out.string()});
    REQUIRE(result.status == 0);
    CHECK(result.out == "wrote " + out.string() + " (1512x982, style=rime, angle=60.0)\n");
    CHECK(result.err.empty());
    const QImage image = readPng(out).image;
    REQUIRE(image.width() == 1512);
    REQUIRE(image.height() == 982);
    bool opaque = true;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            opaque = opaque && qAlpha(image.pixel(x, y)) == 255;
        }
    }
    CHECK(opaque);

    const auto fractional = render({"dusk", "62.5", (dir.path() / "f.png").string()});
    CHECK(fractional.out.find("style=dusk, angle=62.5)") != std::string::npos);
}

TEST_CASE("render: options are clamped, and a value-less option at the end is ignored") {
    const TempDir dir;
    const auto png = [&dir](const std::string& name, std::vector<std::string> options) {
        const auto path = dir.path() / (name + ".png");
        std::vector<std::string> arguments{"vellum", "60", path.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto result = render(arguments);
        REQUIRE(result.status == 0);
        return readPng(path).bytes;
    };
    const std::string plain = png("plain", {});
    CHECK(png("blur3", {"--blur", "3"}) == png("blur1", {"--blur", "1"}));
    CHECK(png("blur1b", {"--blur", "1"}) != plain);
    CHECK(png("clear300", {"--clear", "300"}) == png("clear130", {"--clear", "130"}));
    CHECK(png("clear20", {"--clear", "20"}) == png("clear70", {"--clear", "70"}));
    CHECK(png("trailing", {"--blur"}) == plain);
    CHECK(png("moving", {"--velocity", "-90", "--reduce-motion"}) != plain);
}

TEST_CASE("render: a file that cannot be written fails in one line") {
    const TempDir dir;
    std::ofstream(dir.path() / "file") << "not a folder";
    const auto result = render({"vellum", "70", (dir.path() / "file" / "out.png").string()});
    CHECK(result.status == 1);
    CHECK(result.err.starts_with("render failed: "));
    CHECK(lineCount(result.err) == 1);
    CHECK(result.out.empty());
}

TEST_CASE("render: without any OpenGL the tool says so and fails") {
    const TempDir dir;
    // No EGL vendor library can be found, as on a machine without drivers.
    const auto result =
        runProcess(executable, {"--render", "vellum", "70", (dir.path() / "x.png").string()},
                   {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json",
                    "__EGL_VENDOR_LIBRARY_DIRS=/nonexistent"});
    CHECK(result.status == 1);
    CHECK(result.err == "render failed: No OpenGL device is available.\n");
    CHECK_FALSE(std::filesystem::exists(dir.path() / "x.png"));
}

TEST_CASE("render-sheet: every style at four angles, the open column black") {
    const TempDir dir;
    const auto out = dir.path() / "sheet.png";
    const auto result = runProcess(executable, {"--render-sheet", out.string(), "ignored"});
    REQUIRE(result.status == 0);
    CHECK(result.out == "wrote " + out.string() + " (1512x980)\n");
    CHECK(result.err.empty());
    const QImage image = readPng(out).image;
    REQUIRE(image.width() == 1512);
    REQUIRE(image.height() == 980);
    // Above the clear angle and its fade band the fold has faded out entirely;
    // only the labels show in the bottom strip of each cell.
    int lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (y % 245 >= 245 - 24) {
            continue;
        }
        for (int x = 0; x < 378; x += 2) {
            lit += qGray(image.pixel(x, y)) > 2;
        }
    }
    CHECK(lit == 0);
    // The folded columns are anything but black.
    CHECK(qGray(image.pixel(378 + 189, 120)) > 20);
}
