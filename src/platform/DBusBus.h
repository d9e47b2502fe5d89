// SPDX-License-Identifier: MIT
// A private connection to the system or the session bus at the address the
// environment names, closed again with this object. Private, so each owner (and
// each test) talks to the bus it was started against.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace orvane {

class DBusBus {
public:
    enum class Kind { system, session };

    explicit DBusBus(Kind kind);
    ~DBusBus();
    DBusBus(const DBusBus&) = delete;
    DBusBus& operator=(const DBusBus&) = delete;

    bool isConnected() const { return connection_.isConnected(); }
    const QDBusConnection& connection() const { return connection_; }
    // Why there is no connection, for the log; empty when connected.
    const QString& problem() const { return problem_; }

private:
    QString name_;
    QDBusConnection connection_;
    QString problem_;
};

} // namespace orvane
