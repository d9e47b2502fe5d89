// SPDX-License-Identifier: MIT
// The single instance in a temporary runtime folder. The instance needs its
// event loop, so the later start hands over from another thread.
#include "app/linux/InstanceLink.h"
#include "support/EventLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <doctest/doctest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>

#include <functional>
#include <future>
#include <vector>

#include <sys/stat.h>

using namespace orvane;

namespace {

constexpr int waitMs = 3000;

struct Runtime {
    test::TempDir dir;
    test::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    int argc = 1;
    char name[16] = "orvane_instance";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

bool spinUntil(const std::function<bool()>& done, int ms) {
    return test::spinUntil(done, ms / 1000.0);
}

// A later start, while this thread runs the instance's loop.
bool handOver(const QStringList& arguments) {
    auto result =
        std::async(std::launch::async, [arguments] { return InstanceLink::handOver(arguments); });
    spinUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              2 * waitMs);
    return result.get();
}

struct Counts {
    std::vector<QStringList> handed;
    int settings = 0;
    explicit Counts(InstanceLink& link) {
        link.onURLs = [this](const QStringList& urls) { handed.push_back(urls); };
        link.onShowSettings = [this] { ++settings; };
    }
};

} // namespace

TEST_CASE("a later start hands its URLs, or a wish for settings, to the one instance") {
    Runtime runtime;
    QElapsedTimer clock;
    clock.start();
    CHECK_FALSE(InstanceLink::handOver({"orvane:pause"}));
    CHECK(clock.elapsed() < waitMs / 2);
    CHECK(InstanceLink::socketPath().startsWith(QString::fromStdString(runtime.dir.path())));
    // What a crashed instance left behind.
    QFile leftover(InstanceLink::socketPath());
    REQUIRE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    QString error;
    const auto link = InstanceLink::listen(&error);
    REQUIRE_MESSAGE(link, error.toStdString());
    Counts counts(*link);
    const QStringList urls{"orvane:pause", "orvane:style?name=paper"};
    CHECK(handOver(urls));
    CHECK(counts.handed == std::vector{urls});
    CHECK(handOver({}));
    CHECK(counts.settings == 1);
    CHECK(counts.handed.size() == 1);

    struct stat info {};
    REQUIRE(::stat(QFile::encodeName(InstanceLink::socketPath()).constData(), &info) == 0);
    CHECK((info.st_mode & (S_IRWXG | S_IRWXO)) == 0);
    CHECK_FALSE(InstanceLink::listen());
}

TEST_CASE("a client that says nothing, or too much, does not hold the instance up") {
    Runtime runtime;
    const auto link = InstanceLink::listen();
    REQUIRE(link);
    Counts counts(*link);
    QLocalSocket silent;
    silent.connectToServer(InstanceLink::socketPath());
    QLocalSocket flood;
    flood.connectToServer(InstanceLink::socketPath());
    REQUIRE(silent.waitForConnected(waitMs));
    REQUIRE(flood.waitForConnected(waitMs));
    flood.write(QByteArray(1 << 20, 'x'));
    CHECK(handOver({}));
    CHECK(counts.settings == 1);
    // Too much is dropped at once, well before the silent one times out.
    CHECK(spinUntil([&] { return flood.state() != QLocalSocket::ConnectedState; }, waitMs / 3));
    CHECK(spinUntil([&] { return silent.state() != QLocalSocket::ConnectedState; }, 2 * waitMs));
    CHECK(counts.handed.empty());
}
