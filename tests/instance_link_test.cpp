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

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orvane;

namespace {

constexpr int waitMs = 3000;

struct Runtime {
    test::TempDir dir;
    test::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    test::ScopedEnv temporary{"TMPDIR", dir.path().string()};
    test::ScopedEnv wayland{"WAYLAND_DISPLAY", std::nullopt};
    test::ScopedEnv x11{"DISPLAY", ":91"};
    int argc = 1;
    char name[16] = "orvane_instance";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

bool spinUntil(const std::function<bool()>& done, int ms) {
    return test::spinUntil(done, ms / 1000.0);
}

using HandOver = InstanceLink::HandOver;

// A later start, while this thread runs the instance's loop.
HandOver handOver(const QStringList& arguments) {
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
    CHECK(InstanceLink::handOver({"orvane:pause"}) == HandOver::noInstance);
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
    CHECK(handOver(urls) == HandOver::taken);
    CHECK(counts.handed == std::vector{urls});
    CHECK(handOver({}) == HandOver::taken);
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
    CHECK(handOver({}) == HandOver::taken);
    CHECK(counts.settings == 1);
    // Too much is dropped at once, well before the silent one times out.
    CHECK(spinUntil([&] { return flood.state() != QLocalSocket::ConnectedState; }, waitMs / 3));
    CHECK(spinUntil([&] { return silent.state() != QLocalSocket::ConnectedState; }, 2 * waitMs));
    CHECK(counts.handed.empty());
}

TEST_CASE("a later start is answered at once and refused what cannot be handed over") {
    Runtime runtime;
    const auto link = InstanceLink::listen();
    REQUIRE(link);
    Counts counts(*link);
    CHECK(handOver({QString(70 * 1024, 'x')}) == HandOver::tooLong);
    // The answer comes before the action, however long the action takes.
    link->onShowSettings = [] { std::this_thread::sleep_for(std::chrono::milliseconds(2500)); };
    CHECK(handOver({}) == HandOver::taken);
    CHECK(handOver({"orvane:pause"}) == HandOver::taken);
    CHECK(counts.handed.size() == 1);
}

TEST_CASE("each display has its own instance, and a shared runtime folder must be private") {
    Runtime runtime;
    const auto first = InstanceLink::listen();
    REQUIRE(first);
    Counts counts(*first);
    {
        const test::ScopedEnv same("DISPLAY", ":91.0");
        CHECK(handOver({}) == HandOver::taken);
    }
    const test::ScopedEnv other("DISPLAY", ":92");
    CHECK(handOver({}) == HandOver::noInstance);
    const auto second = InstanceLink::listen();
    CHECK(second);
    CHECK(counts.settings == 1);

    // A runtime folder others may write is passed over for one of this user's own.
    const test::TempDir open;
    ::chmod(open.path().c_str(), 0755);
    const test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", open.path().string());
    CHECK_FALSE(InstanceLink::socketPath().startsWith(QString::fromStdString(open.path())));
    const auto third = InstanceLink::listen();
    REQUIRE(third);
    Counts thirdCounts(*third);
    CHECK(handOver({"orvane:pause"}) == HandOver::taken);
    CHECK(thirdCounts.handed.size() == 1);
}

TEST_CASE("out of file descriptors, the instance keeps its socket and answers later") {
    Runtime runtime;
    const auto link = InstanceLink::listen();
    REQUIRE(link);
    Counts counts(*link);
    const QByteArray path = QFile::encodeName(InstanceLink::socketPath());
    const int client = ::socket(AF_UNIX, SOCK_STREAM, 0);
    REQUIRE(client >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    REQUIRE(::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    REQUIRE(::write(client, "\0", 1) == 1);

    rlimit saved{};
    REQUIRE(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    std::vector<int> taken;
    rlimit tight = saved;
    tight.rlim_cur = 256;
    REQUIRE(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
    for (int fd = ::dup(client); fd >= 0; fd = ::dup(client)) {
        taken.push_back(fd);
    }
    test::spinFor(0.5);
    struct stat info {};
    const bool socketKept = ::stat(path.constData(), &info) == 0;
    for (const int fd : taken) {
        ::close(fd);
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    CHECK(socketKept);
    CHECK(spinUntil([&] { return counts.settings == 1; }, waitMs));
    char answer = 0;
    CHECK(::read(client, &answer, 1) == 1);
    ::close(client);
}
