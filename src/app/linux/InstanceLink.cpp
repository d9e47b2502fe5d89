// SPDX-License-Identifier: MIT
#include "app/linux/InstanceLink.h"

#include "core/AppIdentity.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr char recordEnd = '\0';
constexpr char taken = '\x06';
// A client may not make the instance hold more than this, nor for longer.
constexpr qsizetype maxMessageBytes = 64 * 1024;
constexpr int clientTimeoutMs = 2000;
// A live instance accepts at once; a socket nobody listens on refuses at once.
constexpr int probeTimeoutMs = 500;
constexpr mode_t othersBits = S_IRWXG | S_IRWXO;

bool usingRuntimeDir() {
    return !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
}

QString folder() {
    if (usingRuntimeDir()) {
        return qEnvironmentVariable("XDG_RUNTIME_DIR");
    }
    return QDir::tempPath() + '/' + QString::fromUtf8(AppIdentity::identifier) + '-' +
           QString::number(::getuid());
}

// Anyone who can write the folder could put their own socket there.
bool folderIsPrivate(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & othersBits) == 0;
}

QByteArray encode(const QStringList& arguments) {
    QByteArray message;
    for (const QString& argument : arguments) {
        // An empty record would end the message early, and means nothing.
        if (!argument.isEmpty()) {
            message += argument.toUtf8() + recordEnd;
        }
    }
    return message + recordEnd;
}

bool complete(const QByteArray& message) {
    return message == QByteArray(1, recordEnd) || message.endsWith(QByteArray(2, recordEnd));
}

QStringList decode(const QByteArray& message) {
    QStringList arguments;
    for (const QByteArray& record : message.split(recordEnd)) {
        if (!record.isEmpty()) {
            arguments.push_back(QString::fromUtf8(record));
        }
    }
    return arguments;
}

} // namespace

QString InstanceLink::socketPath() {
    return folder() + '/' + QString::fromUtf8(AppIdentity::identifier) + ".socket";
}

bool InstanceLink::handOver(const QStringList& arguments, int timeoutMs) {
    const QByteArray message = encode(arguments);
    if (message.size() > maxMessageBytes || !folderIsPrivate(folder())) {
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        return false;
    }
    socket.write(message);
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == taken;
}

std::unique_ptr<InstanceLink> InstanceLink::listen(QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error != nullptr) {
            *error = reason;
        }
        return nullptr;
    };
    const QString dir = folder();
    if (!usingRuntimeDir() && ::mkdir(QFile::encodeName(dir).constData(), S_IRWXU) != 0 &&
        errno != EEXIST) {
        return fail("cannot create " + dir);
    }
    if (!folderIsPrivate(dir)) {
        return fail(dir + " is not this user's alone");
    }
    const QString path = socketPath();
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(probeTimeoutMs)) {
        return fail("another instance listens at " + path);
    }
    QLocalServer::removeServer(path);
    std::unique_ptr<InstanceLink> link(new InstanceLink);
    if (!link->server_.listen(path)) {
        return fail("cannot listen at " + path + ": " + link->server_.errorString());
    }
    return link;
}

InstanceLink::InstanceLink() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceLink::accept);
}

void InstanceLink::accept() {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { receive(client); });
        // A client that says nothing, or never finishes, is dropped.
        QTimer::singleShot(clientTimeoutMs, client, [client] {
            client->abort();
            client->deleteLater();
        });
        receive(client);
    }
}

void InstanceLink::receive(QLocalSocket* client) {
    QByteArray message = client->property("message").toByteArray();
    message += client->read(maxMessageBytes + 1 - message.size());
    if (message.size() > maxMessageBytes) {
        client->abort();
        client->deleteLater();
        return;
    }
    client->setProperty("message", message);
    if (!complete(message)) {
        return;
    }
    client->disconnect(this);
    client->write(QByteArray(1, taken));
    client->disconnectFromServer();
    const QStringList arguments = decode(message);
    if (arguments.isEmpty()) {
        if (onShowSettings) {
            onShowSettings();
        }
    } else if (onURLs) {
        onURLs(arguments);
    }
}

} // namespace orvane
