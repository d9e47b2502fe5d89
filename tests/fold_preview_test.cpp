// SPDX-License-Identifier: MIT
// The settings' pictures of the fold: the live preview's one-at-a-time renders, the
// style thumbnails and the welcome frames on llvmpipe (saved under build/e2e/), and the
// wallpaper found in temporary KDE and XFCE configurations and through a stand-in desktop
// portal. Outside that case the session bus address leads nowhere.
#include "settings/WelcomeFrames.h"
#include "support/EventLoop.h"
#include "support/PrivateBuses.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "windows/FoldPreview.h"
#include "windows/StyleThumbnails.h"
#include "windows/Wallpaper.h"
#include "windows/WelcomeAnimation.h"

#include <doctest/doctest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QUrl>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

QGuiApplication& app() {
    static ScopedEnv platform{"QT_QPA_PLATFORM", "offscreen"};
    static ScopedEnv bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orvane-test-bus"};
    static TempDir config;
    static ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().string()};
    static int argc = 1;
    static char name[] = "orvane_preview_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application{argc, argv};
    return application;
}

bool waitFor(const std::function<bool()>& done) {
    return test::spinUntil(done, 60.0);
}

// Lets a stray render that should not happen show itself.
void settle() {
    test::spinFor(0.2);
}

FoldPreviewRequest at(double angle) {
    FoldPreviewRequest r;
    r.angle = angle;
    return r;
}

// Holds every render until opened, and notes what it was asked.
class Gate {
public:
    std::optional<QImage> render(const FoldPreviewRequest& r) {
        std::unique_lock lock(mutex_);
        seen_.push_back(r);
        opened_.wait(lock, [this] { return open_; });
        return QImage(2, 2, QImage::Format_ARGB32_Premultiplied);
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    std::vector<FoldPreviewRequest> seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::vector<FoldPreviewRequest> seen_;
};

bool uniform(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            if (image.pixel(x, y) != first) {
                return false;
            }
        }
    }
    return true;
}

QImage filled(Qt::GlobalColor colour) {
    QImage image(64, 40, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void save(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(ORVANE_E2E_DIR);
    QDir().mkpath(folder);
    CHECK(image.save(folder + QLatin1Char('/') + name));
}

void write(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    REQUIRE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString configDir() {
    return qEnvironmentVariable("XDG_CONFIG_HOME");
}

} // namespace

TEST_CASE("the preview renders one request at a time and skips all but the latest waiting one") {
    app();
    Gate gate;
    FoldPreview preview([&gate](const FoldPreviewRequest& r) { return gate.render(r); });
    preview.request(at(10));
    preview.request(at(20));
    preview.request(at(30));
    preview.request(at(40));
    CHECK(preview.renders() == 1);
    gate.open();
    REQUIRE(waitFor([&] { return preview.frame() && preview.frame()->request == at(40); }));
    settle();
    CHECK(preview.renders() == 2);
    CHECK(gate.seen() == std::vector{at(10), at(40)});

    // While idle, the request the shown frame answers draws nothing; another does.
    preview.request(at(40));
    CHECK(preview.renders() == 2);
    preview.request(at(50));
    CHECK(preview.renders() == 3);
    CHECK(waitFor([&] { return preview.frame()->request == at(50); }));
}

TEST_CASE("a failed render makes the preview unavailable for good") {
    app();
    FoldPreview preview([](const FoldPreviewRequest&) { return std::optional<QImage>(); });
    int changes = 0;
    QObject::connect(&preview, &FoldPreview::changed, [&] { ++changes; });
    preview.request(at(10));
    REQUIRE(waitFor([&] { return preview.unavailable(); }));
    CHECK(changes == 1);
    preview.request(at(20));
    settle();
    CHECK(preview.renders() == 1);
    CHECK_FALSE(preview.frame().has_value());
}

TEST_CASE("the preview, the style thumbnails and the welcome frames on a real renderer") {
    app();
    const QString wallpaper = configDir() + QStringLiteral("/dunes.png");
    QImage dunes(800, 500, QImage::Format_RGB32);
    for (int y = 0; y < dunes.height(); ++y) {
        for (int x = 0; x < dunes.width(); ++x) {
            dunes.setPixel(x, y, qRgb(40 + y / 3, 90 + x / 10, 200 - y / 4));
        }
    }
    REQUIRE(dunes.save(wallpaper));
    write(configDir() + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml"),
          QStringLiteral("<channel name=\"xfce4-desktop\"><property name=\"last-image\" "
                         "type=\"string\" value=\"%1\"/></channel>")
              .arg(wallpaper));
    ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "XFCE"};

    FoldPreview preview(loadWallpaper);
    FoldPreviewRequest request{{FoldStyle::dusk, 0.5, 0.5, 0.5, 100, false}, 70};
    preview.request(request);
    REQUIRE(waitFor([&] { return preview.frame() || preview.unavailable(); }));
    REQUIRE_FALSE(preview.unavailable());
    CHECK(preview.frame()->image.size() == QSize(960, 624));
    CHECK(preview.frame()->desktop.size() == QSize(960, 624));
    CHECK_FALSE(uniform(preview.frame()->image));
    save(preview.frame()->image, QStringLiteral("preview-dusk-70.png"));

    StyleThumbnails& thumbnails = StyleThumbnails::shared();
    thumbnails.loadIfNeeded();
    REQUIRE(waitFor([&] { return thumbnails.isLoaded(); }));
    std::set<qint64> distinct;
    for (const FoldStyle style : allFoldStyles) {
        const auto image = thumbnails.image(style);
        REQUIRE(image.has_value());
        CHECK(image->size() == QSize(480, 300));
        distinct.insert(static_cast<qint64>(qHashBits(image->constBits(), image->sizeInBytes())));
        save(*image, QStringLiteral("thumbnail-%1.png").arg(QLatin1String(rawValue(style))));
    }
    CHECK(distinct.size() == allFoldStyles.size());

    CHECK(welcomeFrameAngle(0) == doctest::Approx(110));
    CHECK(welcomeFrameAngle(18) == doctest::Approx(50));
    WelcomeAnimation animation;
    animation.loadIfNeeded();
    REQUIRE(waitFor([&] { return animation.isLoaded(); }));
    REQUIRE(animation.frames().size() == 36);
    CHECK(animation.frames()[0].size() == QSize(480, 300));
    CHECK(animation.frames()[0] != animation.frames()[18]);
    // Past the clear angle the fold has faded and the desktop shows.
    CHECK(qAlpha(animation.frames()[0].pixel(240, 150)) == 255);
    save(animation.frames()[0], QStringLiteral("welcome-frame-0.png"));
    save(animation.frames()[18], QStringLiteral("welcome-frame-18.png"));

    // The other pictures' contexts are gone; the preview's own still draws.
    request.angle = 50;
    preview.request(request);
    REQUIRE(waitFor([&] { return preview.frame()->request == request || preview.unavailable(); }));
    REQUIRE_FALSE(preview.unavailable());
    CHECK_FALSE(uniform(preview.frame()->image));
    save(preview.frame()->image, QStringLiteral("preview-dusk-50.png"));
}

TEST_CASE("the wallpaper is the running desktop's picture, when it is a readable file") {
    app();
    const TempDir pictures;
    const QString folder = QString::fromStdString(pictures.path().string());
    const QString red = folder + QStringLiteral("/red wall.png");
    const QString blue = folder + QStringLiteral("/blue.png");
    REQUIRE(filled(Qt::red).save(red));
    REQUIRE(filled(Qt::blue).save(blue));
    // A wallpaper package is a folder: the next containment's picture counts.
    write(configDir() + QStringLiteral("/plasma-org.kde.plasma.desktop-appletsrc"),
          QStringLiteral("[Containments][1][Wallpaper][org.kde.image][General]\nImage=%1/\n\n"
                         "[Containments][2][Wallpaper][org.kde.image][General]\nImage=%2\n")
              .arg(QString::fromUtf8(QUrl::fromLocalFile(folder).toEncoded()),
                   QString::fromUtf8(QUrl::fromLocalFile(red).toEncoded())));
    write(configDir() + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml"),
          QStringLiteral("<channel name=\"xfce4-desktop\"><property name=\"backdrop\">"
                         "<property name=\"last-image\" type=\"string\" value=\"%1\"/>"
                         "</property></channel>")
              .arg(blue));

    auto colour = [](const char* desktop) -> std::optional<QRgb> {
        const ScopedEnv current{"XDG_CURRENT_DESKTOP", desktop};
        const auto image = loadWallpaper();
        return image ? std::optional(image->pixel(0, 0) | 0xff000000) : std::nullopt;
    };
    CHECK(colour("KDE") == qRgb(255, 0, 0));
    CHECK(colour("XFCE") == qRgb(0, 0, 255));
    QFile::remove(red);
    QFile::remove(blue);
    CHECK_FALSE(colour("KDE").has_value());
}

TEST_CASE("on GNOME the wallpaper comes through the desktop portal, for the colour scheme") {
    app();
    const PrivateBuses buses;
    const QString folder = QString::fromStdString(buses.folder().string());
    REQUIRE(filled(Qt::green).save(folder + QStringLiteral("/light.png")));
    REQUIRE(filled(Qt::blue).save(folder + QStringLiteral("/dark.png")));
    // An older portal, with Read only.
    const std::string settings =
        QStringLiteral(
            R"({"ReadOne": false, "settings": {"org.gnome.desktop.interface": )"
            R"({"color-scheme": "prefer-dark"}, "org.gnome.desktop.background": )"
            R"({"picture-uri": "file://%1/light.png", "picture-uri-dark": "file://%1/dark.png"}}})")
            .arg(folder)
            .toStdString();
    const DBusMock portal(buses, Bus::session, QStringLiteral("org.freedesktop.portal.Desktop"),
                          {"--template", ORVANE_PORTAL_TEMPLATE, "-p", settings});
    const ScopedEnv current{"XDG_CURRENT_DESKTOP", "GNOME"};
    const auto image = loadWallpaper();
    REQUIRE(image.has_value());
    CHECK((image->pixel(0, 0) | 0xff000000) == qRgb(0, 0, 255));
}
