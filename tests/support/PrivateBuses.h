// SPDX-License-Identifier: MIT
// Private D-Bus buses for tests: a system and a session dbus-daemon in a
// temporary folder, with DBUS_SYSTEM_BUS_ADDRESS, DBUS_SESSION_BUS_ADDRESS and
// XDG_RUNTIME_DIR pointing at them while this lives, and python3-dbusmock
// services on them. Nothing reaches the machine's own buses or folders.
#pragma once

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace orvane::test {

// A child process, ended (SIGTERM, then SIGKILL) with this object; it also ends
// when the test process dies, so a crash leaves nothing behind.
class ChildProcess {
public:
    // Output goes to `log`; descriptors without close-on-exec are inherited.
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& log);
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running();
    void stop();
    // Ends it at once, as a crash would: no handler runs.
    void kill();
    // The exit status once the process has ended by itself within `seconds`
    // (128 + the signal's number when a signal ended it), else none.
    std::optional<int> exitStatus(double seconds);

private:
    pid_t pid_ = -1;
    std::optional<int> ended_;
};

enum class Bus { system, session };

class PrivateBuses {
public:
    // Throws when a dbus-daemon does not start.
    PrivateBuses();
    ~PrivateBuses();
    PrivateBuses(const PrivateBuses&) = delete;
    PrivateBuses& operator=(const PrivateBuses&) = delete;

    const std::filesystem::path& folder() const { return dir_.path(); }
    // The test's own connection, for driving the mocks.
    QDBusConnection connection(Bus bus) const;
    // A blocking call; the reply, or the error as a reply of type ErrorMessage.
    QDBusMessage call(Bus bus, const QString& service, const QString& path,
                      const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) const;
    bool hasOwner(Bus bus, const QString& name) const;

private:
    TempDir dir_;
    std::vector<std::unique_ptr<ChildProcess>> daemons_;
    std::string addresses_[2];
    std::optional<ScopedEnv> systemAddress_;
    std::optional<ScopedEnv> sessionAddress_;
    std::optional<ScopedEnv> runtimeDir_;
    QString connectionNames_[2];
};

// python3-dbusmock serving one name on one of the private buses until this object
// (or stop(), to make the name vanish) ends it. The constructor returns once the
// name is served, and throws when it is not within a few seconds.
class DBusMock {
public:
    // `arguments` follow "python3 -m dbusmock": a template ("--template", "upower",
    // "-p", "{...}") or a plain mock ("NAME", "PATH", "INTERFACE").
    DBusMock(const PrivateBuses& buses, Bus bus, const QString& name,
             std::vector<std::string> arguments);
    void stop() { process_.stop(); }

private:
    ChildProcess process_;
};

// dbusmock's AddObject, through the mock at `mockPath`: a further object with only
// properties.
void addMockObject(const PrivateBuses& buses, Bus bus, const QString& service,
                   const QString& mockPath, const QString& path, const QString& interface,
                   const QVariantMap& properties);

} // namespace orvane::test
