// SPDX-License-Identifier: MIT
// One running Orvane per user and display: a later start hands its command
// line to the running one over a user-only local socket and exits.
//
// On the wire each argument is UTF-8 followed by a NUL (which no argument can
// hold), and an empty record ends the message; the instance answers one byte
// as soon as the message is whole, and acts on it afterwards.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include <sys/types.h>

class QLocalSocket;
class QSocketNotifier;

namespace orvane {

class InstanceLink : public QObject {
public:
    enum class HandOver { taken, noInstance, tooLong, noAnswer };

    // $XDG_RUNTIME_DIR/app.orvane.Orvane-DISPLAY.socket, the display being the
    // Wayland socket or the X11 display. Without a private XDG_RUNTIME_DIR, a
    // folder of this user's alone under the temporary folder.
    static QString socketPath();
    // Gives `arguments` (orvane: URLs; none asks for the settings window) to the
    // running instance.
    static HandOver handOver(const QStringList& arguments);
    // Becomes the running instance, replacing a socket a crashed one left. Null,
    // with a one-line reason in `error`, when it cannot; `another` is set when
    // another instance already listens.
    static std::unique_ptr<InstanceLink> listen(QString* error = nullptr, bool* another = nullptr);
    ~InstanceLink() override;
    InstanceLink(const InstanceLink&) = delete;
    InstanceLink& operator=(const InstanceLink&) = delete;

    // In the order given.
    std::function<void(const QStringList& urls)> onURLs;
    // A start without URLs.
    std::function<void()> onShowSettings;

private:
    InstanceLink(int listener, QString path, dev_t device, ino_t inode);
    void accept();
    void receive(QLocalSocket* client);

    int listener_;
    QString path_;
    // The socket bound, told apart from one another start may put at the path.
    dev_t device_;
    ino_t inode_;
    QSocketNotifier* notifier_;
};

} // namespace orvane
