// SPDX-License-Identifier: MIT
// Runs the built executable: exit statuses and what it writes.
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <QColor>
#include <QImage>

#include <doctest/doctest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

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

TEST_CASE("probe: a machine without a lid sensor gets the one line and status 3") {
    const auto result = runProcess(executable, {"--probe"});
    CHECK(result.status == 3);
    CHECK(result.err.empty());
    CHECK(lineCount(result.out) == 1);
    CHECK(result.out.starts_with("model="));
    CHECK(result.out.find(" os=") != std::string::npos);
    CHECK(result.out.ends_with(
        " sensor=no angle=- raw=- source=none note=device not found or cannot be opened\n"));
}

TEST_CASE("without a display the application says why in one line and fails") {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--help"}, {"orvane://pause"}}) {
        const auto result =
            runProcess(executable, arguments, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
        CHECK(result.status == 1);
        CHECK(lineCount(result.err) == 1);
        CHECK(result.err.find("no display") != std::string::npos);
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

namespace {

orvane::test::ProcessResult movie(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"--render-movie"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProcess(executable, all);
}

// One ffprobe answer, "key=value" lines, for the first video stream.
std::string probe(const std::filesystem::path& file) {
    const auto result =
        runProcess("/usr/bin/ffprobe",
                   {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                    "stream=codec_name,profile,width,height,r_frame_rate,nb_read_"
                    "frames:format=duration",
                    "-of", "default=nw=1", file.string()});
    REQUIRE(result.status == 0);
    return result.out;
}

// Pixels of two frames that differ visibly, leaving out the label strip.
int changedPixels(const QImage& a, const QImage& b) {
    int changed = 0;
    for (int y = 0; y < a.height() - 40; y += 2) {
        for (int x = 0; x < a.width(); x += 2) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            changed += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                           std::abs(qBlue(p) - qBlue(q)) >
                       24;
        }
    }
    return changed;
}

} // namespace

TEST_CASE("render-movie: wrong arguments are usage errors") {
    const std::string usage = "usage: Orvane --render-movie <out.mp4> [--style "
                              "vellum|dusk|rime|ridge] [--fps 60] [--frames-dir dir]\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, usage},
        {{"--fps", "30"}, usage},
        {{"m.mp4", "--fps", "9"}, "bad --fps (10 to 240)\n"},
        {{"m.mp4", "--fps", "241"}, "bad --fps (10 to 240)\n"},
        {{"m.mp4", "--fps", "30.5"}, "bad --fps (10 to 240)\n"},
        {{"m.mp4", "--fps"}, "bad --fps (10 to 240)\n"},
        {{"m.mp4", "--style", "paper"}, "bad --style (vellum|dusk|rime|ridge)\n"},
        {{"m.mp4", "--style"}, "bad --style (vellum|dusk|rime|ridge)\n"},
        {{"m.mp4", "--frames-dir"}, "--frames-dir needs a directory\n"},
        {{"m.mp4", "--loop", "1"}, "unknown option: --loop\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const std::string last = arguments.empty() ? "" : arguments.back();
        CAPTURE(last);
        const auto result = movie(arguments);
        CHECK(result.status == 2);
        CHECK(result.err == message);
    }
    // The movie rides the render flag too.
    CHECK(runProcess(executable, {"--render", "--movie"}).err == usage);
}

TEST_CASE("render-movie: the default movie") {
    const TempDir dir;
    const auto out = dir.path() / "out" / "fold.mp4";
    const auto result = movie({out.string()});
    REQUIRE(result.status == 0);
    CHECK(result.err.empty());
    CHECK(result.out.find("\nwrote " + out.string() +
                          " (1512x982, 228 frames at 60 fps, style=vellum)\n") !=
          std::string::npos);
    CHECK(result.out.starts_with("landing: overshoot "));
    CHECK(result.out.find("frame ") == std::string::npos); // no trace without a frames folder
    const std::string info = probe(out);
    CHECK(info.find("codec_name=h264\n") != std::string::npos);
    CHECK(info.find("profile=High\n") != std::string::npos);
    CHECK(info.find("width=1512\nheight=982\n") != std::string::npos);
    CHECK(info.find("r_frame_rate=60/1\n") != std::string::npos);
    CHECK(info.find("nb_read_frames=228\n") != std::string::npos);
    CHECK(info.find("duration=3.8") != std::string::npos);
}

TEST_CASE("render-movie: frames follow the lid, with a trace and labelled stills") {
    const TempDir dir;
    const auto out = dir.path() / "rime.mp4";
    const auto frames = dir.path() / "frames";
    const auto result = movie({out.string(), "--fps", "30", "--style", "RIME", "--fps", "10",
                               "--frames-dir", frames.string()});
    REQUIRE(result.status == 0);
    CHECK(result.out.find("(1512x982, 38 frames at 10 fps, style=rime)") != std::string::npos);
    CHECK(result.out.starts_with("frame 000 t=0.000s lid=115.0 "));
    CHECK(result.out.find("\nframe 006 t=0.600s lid=") != std::string::npos);
    CHECK(result.out.find("frame 001") == std::string::npos);
    CHECK(probe(out).find("nb_read_frames=38\n") != std::string::npos);

    std::vector<QImage> stills;
    for (int index = 0; index <= 36; index += 6) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%03d.png", index);
        stills.emplace_back(QString::fromStdString((frames / name).string()));
        REQUIRE(stills.back().width() == 1512);
    }
    CHECK_FALSE(std::filesystem::exists(frames / "frame-001.png"));
    // Against the untouched first frame: the fold grows as the lid closes
    // (0.6 s, 1.2 s), holds while it rests, recedes as it opens (2.4 s, 3.0 s)
    // and is gone at the end.
    const QImage& desktop = stills[0];
    std::vector<int> area;
    for (const QImage& still : stills) {
        area.push_back(changedPixels(still, desktop));
    }
    CAPTURE(area[1]);
    CAPTURE(area[2]);
    CAPTURE(area[4]);
    CAPTURE(area[5]);
    CHECK(area[2] > area[1]);
    CHECK(area[3] > 0);
    CHECK(area[5] < area[4]);
    CHECK(area[6] == 0);
}

TEST_CASE("render-movie: an output that cannot be written fails in one line") {
    const TempDir dir;
    std::ofstream(dir.path() / "file") << "not a folder";
    const auto result = movie({(dir.path() / "file" / "m.mp4").string(), "--fps", "10"});
    CHECK(result.status == 1);
    CHECK(result.err.starts_with("render-movie failed: "));
    CHECK(lineCount(result.err) == 1);
}

TEST_CASE("accordion-render: the scripted performance as a WAV file") {
    const auto usage = runProcess(executable, {"--accordion-render"});
    CHECK(usage.status == 2);
    CHECK(usage.err == "usage: Orvane --accordion-render <out.wav>\n");
    const TempDir dir;
    const auto out = dir.path() / "a.wav";
    const auto result = runProcess(executable, {"--accordion-render", out.string()});
    REQUIRE(result.status == 0);
    CHECK(result.out == "wrote " + out.string() + " (250800 frames, 48 kHz stereo 16-bit)\n");
    CHECK(std::filesystem::file_size(out) == 44 + 250800 * 4);
    std::ofstream(dir.path() / "file") << "not a folder";
    const auto failed =
        runProcess(executable, {"--accordion-render", (dir.path() / "file" / "a.wav").string()});
    CHECK(failed.status == 1);
    CHECK(failed.err.starts_with("accordion-render failed: "));
    CHECK(lineCount(failed.err) == 1);
}

TEST_CASE("a tool replaces a regular file at its output and refuses anything else there") {
    const TempDir dir;
    const auto folder = dir.path() / "folder";
    const auto fifo = dir.path() / "fifo";
    const auto kept = dir.path() / "kept";
    const auto link = dir.path() / "link";
    std::filesystem::create_directory(folder);
    REQUIRE(::mkfifo(fifo.c_str(), 0600) == 0);
    std::ofstream(kept) << "someone's file";
    std::filesystem::create_symlink(kept, link);
    for (const auto& target : {folder, fifo, link}) {
        CAPTURE(target);
        const std::vector<orvane::test::ProcessResult> runs{
            movie({target.string(), "--fps", "10"}), render({"vellum", "70", target.string()}),
            runProcess(executable, {"--accordion-render", target.string()})};
        for (const auto& run : runs) {
            CHECK(run.status == 1);
            CHECK(run.err.find(target.string() + " is not a regular file") != std::string::npos);
            CHECK(lineCount(run.err) == 1);
        }
    }
    CHECK(std::filesystem::is_directory(folder));
    CHECK(std::filesystem::is_fifo(fifo));
    CHECK(std::filesystem::is_symlink(link));

    const auto wav = dir.path() / "old.wav";
    std::ofstream(wav) << "an older render";
    REQUIRE(runProcess(executable, {"--accordion-render", wav.string()}).status == 0);
    CHECK(std::filesystem::file_size(wav) > 44);
    // Nothing else is left beside the outputs.
    CHECK(std::distance(std::filesystem::directory_iterator(dir.path()),
                        std::filesystem::directory_iterator()) == 5);
}

TEST_CASE("accordion-live-test: runs on SDL's dummy output, fails in one line without one") {
    const auto dummy = runProcess(executable, {"--accordion-live-test"}, {"SDL_AUDIODRIVER=dummy"});
    CHECK(dummy.status == 0);
    const auto none =
        runProcess(executable, {"--accordion-live-test"}, {"SDL_AUDIODRIVER=nonexistent"});
    CHECK(none.status == 1);
    CHECK(none.err == "accordion-live-test: engine did not start (no usable output device?)\n");
}

namespace {
double meanLightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            sum += QColor(image.pixel(x, y)).lightnessF();
        }
    }
    return sum / ((image.height() + 3) / 4 * ((image.width() + 3) / 4));
}
} // namespace

TEST_CASE("shot: every view in light and dark, one view, and arguments it refuses") {
    const TempDir dir;
    const std::string config = "XDG_CONFIG_HOME=" + (dir.path() / "config").string();
    const auto all =
        runProcess(executable, {"--shot", "all", (dir.path() / "all").string()}, {config});
    REQUIRE(all.status == 0);
    CHECK(lineCount(all.out) == 26);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "all")) {
        const QImage image(QString::fromStdString(entry.path().string()));
        CAPTURE(entry.path().filename().string());
        CHECK(image.width() > 100);
        CHECK(all.out.find(entry.path().string() + " (" + std::to_string(image.width()) + "x" +
                           std::to_string(image.height()) + ")") != std::string::npos);
        ++files;
    }
    CHECK(files == 26);
    // The demo's settings live in memory: nothing is written for the user.
    CHECK_FALSE(std::filesystem::exists(dir.path() / "config"));

    const auto one = dir.path() / "about.png";
    const auto dark = runProcess(executable, {"--shot", "settings-about", one.string(), "--dark"});
    CHECK(dark.status == 0);
    CHECK(meanLightness(QImage(QString::fromStdString(one.string()))) <
          meanLightness(
              QImage(QString::fromStdString((dir.path() / "all/settings-about.png").string()))) -
              0.3);

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"lid", "x.png"}, "unknown shot: lid\n"},
        {{"settings-about", "x.png", "--light"}, "unexpected argument: --light\n"},
        {{"all", "x", "y"}, "unexpected argument: y\n"},
        {{"glyphs"}, ""},
    };
    for (const auto& refusal : refused) {
        const std::string& line = refusal.second;
        std::vector<std::string> withMode{"--shot"};
        withMode.insert(withMode.end(), refusal.first.begin(), refusal.first.end());
        const auto result = runProcess(executable, withMode);
        CAPTURE(refusal.first.front());
        CHECK(result.status == 2);
        CHECK(result.out.empty());
        CHECK(result.err.starts_with(line + "usage: Orvane --shot <name> <out.png> [--dark]\n"));
        CHECK(result.err.find("names: settings-general") != std::string::npos);
    }
    CHECK_FALSE(std::filesystem::exists("x.png"));
}
