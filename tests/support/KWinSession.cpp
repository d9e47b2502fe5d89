// SPDX-License-Identifier: MIT
#include "support/KWinSession.h"

#include <QCoreApplication>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace orvane::test {

namespace {

using namespace std::chrono_literals;

const QString kwinName = QStringLiteral("org.kde.KWin");

} // namespace

KWinSession::KWinSession(int width, int height, int outputs, Platform platform) {
    std::vector<std::string> command;
    std::filesystem::path waitFor;
    if (platform == Platform::x11) {
        xvfb_.emplace(std::to_string(width) + "x" + std::to_string(height) + "x24");
        display_.emplace("DISPLAY", xvfb_->display());
        platform_.emplace("QT_QPA_PLATFORM", "xcb");
        wayland_.emplace("WAYLAND_DISPLAY", std::nullopt);
        command = {ORVANE_KWIN_X11, "--replace"};
    } else {
        display_.emplace("DISPLAY", std::nullopt);
        platform_.emplace("QT_QPA_PLATFORM", "wayland");
        wayland_.emplace("WAYLAND_DISPLAY", "wl-orvane-test");
        // Debian's kwin_wayland carries a file capability this container refuses to
        // exec; a plain copy runs, and KWin's platform plug-in wants its own name.
        const std::filesystem::path bin = home_.path() / "bin";
        std::filesystem::create_directories(bin);
        std::filesystem::copy_file(ORVANE_KWIN_WAYLAND, bin / "kwin_wayland");
        command = {(bin / "kwin_wayland").string(),
                   "--virtual",
                   "--width",
                   std::to_string(width),
                   "--height",
                   std::to_string(height),
                   "--output-count",
                   std::to_string(outputs),
                   "--socket",
                   "wl-orvane-test"};
        waitFor = buses_.folder() / "wl-orvane-test";
    }
    // KWin on X11 composites a software renderer's output only when told to.
    std::optional<ScopedEnv> compose;
    if (platform == Platform::x11) {
        compose.emplace("KWIN_COMPOSE", "O2");
    }
    kwin_ = std::make_unique<ChildProcess>(command, buses_.folder() / "kwin.log");
    const auto limit = std::chrono::steady_clock::now() + 20s;
    while (!buses_.hasOwner(Bus::session, kwinName) ||
           (!waitFor.empty() && !std::filesystem::exists(waitFor)) ||
           (platform == Platform::x11 && !compositing())) {
        if (!kwin_->running() || std::chrono::steady_clock::now() > limit) {
            throw std::runtime_error("KWin did not start; see " +
                                     (buses_.folder() / "kwin.log").string());
        }
        std::this_thread::sleep_for(20ms);
    }
}

bool KWinSession::compositing() const {
    const QDBusMessage reply =
        buses_.call(Bus::session, kwinName, QStringLiteral("/Compositor"),
                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                    {QStringLiteral("org.kde.kwin.Compositing"), QStringLiteral("active")});
    return qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant().toBool();
}

KWinSession::~KWinSession() {
    kwin_->stop();
}

QImage KWinSession::screenshot(const QString& output) const {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return {};
    }
    // KWin writes the pixels after it replies; more than a pipe holds, so they
    // are read meanwhile.
    QByteArray pixels;
    std::thread reader([&pixels, fd = pipe[0]] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            pixels.append(buffer, n);
        }
        ::close(fd);
    });
    QDBusMessage reply;
    {
        // The message holds a copy of the write end: it goes before the reader waits for
        // the end of the pixels.
        QDBusMessage call =
            QDBusMessage::createMethodCall(kwinName, QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                           QStringLiteral("org.kde.KWin.ScreenShot2"),
                                           output.isEmpty() ? QStringLiteral("CaptureActiveScreen")
                                                            : QStringLiteral("CaptureScreen"));
        QVariantList arguments{QVariantMap{{QStringLiteral("native-resolution"), true}},
                               QVariant::fromValue(QDBusUnixFileDescriptor(pipe[1]))};
        if (!output.isEmpty()) {
            arguments.prepend(output);
        }
        call.setArguments(arguments);
        ::close(pipe[1]);
        // The application under test may live in this process: its events keep running.
        const auto mode =
            QCoreApplication::instance() != nullptr ? QDBus::BlockWithGui : QDBus::Block;
        reply = buses_.connection(Bus::session).call(call, mode, 10000);
    }
    reader.join();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    const QVariantMap shape = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const int width = shape.value(QStringLiteral("width")).toInt();
    const int height = shape.value(QStringLiteral("height")).toInt();
    const int stride = shape.value(QStringLiteral("stride")).toInt();
    const auto format = static_cast<QImage::Format>(shape.value(QStringLiteral("format")).toInt());
    if (width <= 0 || height <= 0 || pixels.size() < qsizetype(stride) * height) {
        return {};
    }
    const QImage view(reinterpret_cast<const uchar*>(pixels.constData()), width, height, stride,
                      format);
    return view.convertToFormat(QImage::Format_RGB32);
}

std::vector<std::string> KWinSession::windows() {
    return scriptLines("var all = workspace.clientList();\n"
                       "for (var i = 0; i < all.length; ++i) report(all[i].caption);\n");
}

std::optional<QRect> KWinSession::windowRect(const std::string& caption) {
    const std::vector<std::string> lines = scriptLines(
        "var all = workspace.clientList();\n"
        "for (var i = 0; i < all.length; ++i) {\n"
        "  var g = all[i].frameGeometry;\n"
        "  report(all[i].caption + '|' + g.x + ' ' + g.y + ' ' + g.width + ' ' + g.height);\n"
        "}\n");
    for (const std::string& line : lines) {
        const std::size_t bar = line.rfind('|');
        if (bar == std::string::npos || line.substr(0, bar) != caption) {
            continue;
        }
        std::istringstream numbers(line.substr(bar + 1));
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;
        if (numbers >> x >> y >> w >> h) {
            return QRect(x, y, w, h);
        }
    }
    return std::nullopt;
}

std::vector<std::string> KWinSession::scriptLines(const std::string& body) {
    // The script prints into KWin's log, between marks of its own.
    const std::string mark = "orvane-script-" + std::to_string(++scripts_);
    const std::filesystem::path script = home_.path() / (mark + ".js");
    std::ofstream(script) << "function report(line) { print('" << mark << ": ' + line); }\n"
                          << body << "print('" << mark << " end');\n";
    const QString name = QString::fromStdString(mark);
    const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
    const QDBusMessage loaded =
        buses_.call(Bus::session, kwinName, QStringLiteral("/Scripting"), scripting,
                    QStringLiteral("loadScript"), {QString::fromStdString(script.string()), name});
    const int id = loaded.arguments().value(0, -1).toInt();
    if (id < 0) {
        return {};
    }
    buses_.call(Bus::session, kwinName, QStringLiteral("/%1").arg(id),
                QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
    std::vector<std::string> lines;
    const auto limit = std::chrono::steady_clock::now() + 5s;
    for (bool ended = false; !ended && std::chrono::steady_clock::now() < limit;) {
        std::this_thread::sleep_for(20ms);
        lines.clear();
        std::ifstream log(buses_.folder() / "kwin.log");
        for (std::string line; std::getline(log, line);) {
            const std::size_t at = line.find(mark);
            if (at == std::string::npos) {
                continue;
            }
            const std::string rest = line.substr(at + mark.size());
            ended = ended || rest == " end";
            if (rest.starts_with(": ")) {
                lines.push_back(rest.substr(2));
            }
        }
    }
    buses_.call(Bus::session, kwinName, QStringLiteral("/Scripting"), scripting,
                QStringLiteral("unloadScript"), {name});
    return lines;
}

} // namespace orvane::test
