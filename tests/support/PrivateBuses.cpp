// SPDX-License-Identifier: MIT
#include "support/PrivateBuses.h"

#include <QDBusArgument>
#include <QDBusMetaType>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::test {

namespace {

using namespace std::chrono_literals;

// How long a daemon or a mock may take to come up before the test gives up.
constexpr auto startLimit = 10s;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An allow-all bus; `<type>system</type>` makes it behave as the system bus.
std::string busConfig(const char* type, const std::filesystem::path& socket) {
    return std::string("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                       "Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n  <type>") +
           type + "</type>\n  <listen>unix:path=" + socket.string() +
           "</listen>\n  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n    <allow own=\"*\"/>\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow receive_sender=\"*\"/>\n  </policy>\n</busconfig>\n";
}

// dbusmock's method description, (name, in signature, out signature, code).
struct MockMethod {
    QString name, in, out, code;
};

QDBusArgument& operator<<(QDBusArgument& argument, const MockMethod& method) {
    argument.beginStructure();
    argument << method.name << method.in << method.out << method.code;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MockMethod& method) {
    argument.beginStructure();
    argument >> method.name >> method.in >> method.out >> method.code;
    argument.endStructure();
    return argument;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& log) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out);
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

bool ChildProcess::running() {
    if (pid_ <= 0 || ended_) {
        return false;
    }
    int status = 0;
    const pid_t reaped = ::waitpid(pid_, &status, WNOHANG);
    if (reaped == 0) {
        return true;
    }
    // Gone without a status to read (reaped elsewhere): ended all the same.
    ended_ = reaped < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> ChildProcess::exitStatus(double seconds) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (running() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(10ms);
    }
    return ended_;
}

void ChildProcess::stop() {
    if (pid_ <= 0 || !running()) {
        pid_ = -1;
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > limit) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
}

void ChildProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

PrivateBuses::PrivateBuses() {
    const char* types[] = {"system", "session"};
    const char* sockets[] = {"system_bus_socket", "bus"};
    for (int i = 0; i < 2; ++i) {
        const std::filesystem::path config = folder() / (std::string(types[i]) + ".conf");
        std::ofstream(config) << busConfig(types[i], folder() / sockets[i]);
        int ready[2];
        if (::pipe(ready) != 0) {
            throw std::runtime_error("pipe failed");
        }
        daemons_.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--nofork", "--config-file=" + config.string(),
                                     "--print-address=" + std::to_string(ready[1])},
            folder() / (std::string(types[i]) + "-bus.log")));
        ::close(ready[1]);
        // The daemon prints its address once it accepts connections.
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        const int limit = static_cast<int>(std::chrono::milliseconds(startLimit).count());
        while (::poll(&wait, 1, limit) > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n') {
            addresses_[i] += c;
        }
        ::close(ready[0]);
        if (addresses_[i].empty()) {
            throw std::runtime_error("dbus-daemon did not start: " +
                                     readText(folder() / (std::string(types[i]) + "-bus.log")));
        }
    }
    systemAddress_.emplace("DBUS_SYSTEM_BUS_ADDRESS", addresses_[0]);
    sessionAddress_.emplace("DBUS_SESSION_BUS_ADDRESS", addresses_[1]);
    runtimeDir_.emplace("XDG_RUNTIME_DIR", folder().string());
    for (int i = 0; i < 2; ++i) {
        connectionNames_[i] =
            QStringLiteral("orvane-test-%1-%2").arg(i).arg(reinterpret_cast<quintptr>(this), 0, 16);
        QDBusConnection::connectToBus(QString::fromStdString(addresses_[i]), connectionNames_[i]);
    }
}

PrivateBuses::~PrivateBuses() {
    for (const QString& name : connectionNames_) {
        QDBusConnection::disconnectFromBus(name);
    }
}

QDBusConnection PrivateBuses::connection(Bus bus) const {
    return QDBusConnection(connectionNames_[bus == Bus::system ? 0 : 1]);
}

QDBusMessage PrivateBuses::call(Bus bus, const QString& service, const QString& path,
                                const QString& interface, const QString& method,
                                const QVariantList& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return connection(bus).call(message, QDBus::Block, 5000);
}

bool PrivateBuses::hasOwner(Bus bus, const QString& name) const {
    const QDBusMessage reply =
        call(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
             QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {name});
    return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

// The Debian interpreter, where python3-dbusmock is installed whatever python3 the
// PATH finds first.
DBusMock::DBusMock(const PrivateBuses& buses, Bus bus, const QString& name,
                   std::vector<std::string> arguments)
    : process_(
          [&] {
              std::vector<std::string> argv{"/usr/bin/python3", "-m", "dbusmock",
                                            bus == Bus::system ? "--system" : "--session"};
              argv.insert(argv.end(), arguments.begin(), arguments.end());
              return argv;
          }(),
          buses.folder() / ("mock-" + name.toStdString() + ".log")) {
    const auto limit = std::chrono::steady_clock::now() + startLimit;
    while (!buses.hasOwner(bus, name)) {
        if (!process_.running() || std::chrono::steady_clock::now() > limit) {
            process_.stop();
            throw std::runtime_error(
                "dbusmock did not serve " + name.toStdString() + ": " +
                readText(buses.folder() / ("mock-" + name.toStdString() + ".log")));
        }
        std::this_thread::sleep_for(10ms);
    }
}

void addMockObject(const PrivateBuses& buses, Bus bus, const QString& service,
                   const QString& mockPath, const QString& path, const QString& interface,
                   const QVariantMap& properties) {
    qDBusRegisterMetaType<MockMethod>();
    qDBusRegisterMetaType<QList<MockMethod>>();
    const QDBusMessage reply =
        buses.call(bus, service, mockPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                   QStringLiteral("AddObject"),
                   {path, interface, properties, QVariant::fromValue(QList<MockMethod>{})});
    if (reply.type() == QDBusMessage::ErrorMessage) {
        throw std::runtime_error("AddObject failed: " + reply.errorMessage().toStdString());
    }
}

} // namespace orvane::test
