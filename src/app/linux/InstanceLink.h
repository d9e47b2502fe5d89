// SPDX-License-Identifier: MIT
// One running Orvane per user: a later start hands its command line to the
// running one over a user-only local socket and exits.
//
// On the wire each argument is UTF-8 followed by a NUL (which no argument can
// hold), and an empty record ends the message; the instance answers one byte
// once it took the message.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QLocalSocket;

namespace orvane {

class InstanceLink : public QObject {
public:
    // $XDG_RUNTIME_DIR/app.orvane.Orvane.socket; without XDG_RUNTIME_DIR, the
    // same name in a folder of this user's under the temporary folder.
    static QString socketPath();
    // Gives `arguments` (orvane: URLs; none asks for the settings window) to the
    // running instance; true when it took them.
    static bool handOver(const QStringList& arguments, int timeoutMs = 2000);
    // Becomes the running instance, replacing a socket a crashed one left. Null,
    // with a one-line reason in `error`, when another answers or the place is
    // not this user's alone.
    static std::unique_ptr<InstanceLink> listen(QString* error = nullptr);

    // In the order given.
    std::function<void(const QStringList& urls)> onURLs;
    // A start without URLs.
    std::function<void()> onShowSettings;

private:
    InstanceLink();
    void accept();
    void receive(QLocalSocket* client);

    QLocalServer server_;
};

} // namespace orvane
