// SPDX-License-Identifier: MIT
#include "app/linux/InstanceLink.h"

#include "core/AppIdentity.h"
#include "core/Tuning.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr char recordEnd = '\0';
constexpr char taken = '\x06';
constexpr mode_t othersBits = S_IRWXG | S_IRWXO;
constexpr int listenBacklog = 16;

int milliseconds(double seconds) {
    return static_cast<int>(seconds * 1000);
}

// Anyone who can write the folder could put their own socket there.
bool folderIsPrivate(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & othersBits) == 0;
}

QString fallbackFolder() {
    return QDir::tempPath() + '/' + QString::fromUtf8(AppIdentity::identifier) + '-' +
           QString::number(::getuid());
}

QString folder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && folderIsPrivate(runtime) ? runtime : fallbackFolder();
}

// Each session's display has its own instance, even when two sessions of one
// user share the runtime folder.
QString displayName() {
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty()) {
        name = qEnvironmentVariable("DISPLAY");
        // ":0" and ":0.0" are one display.
        const qsizetype colon = name.lastIndexOf(':');
        const qsizetype dot = name.indexOf('.', colon);
        if (colon >= 0 && dot > colon) {
            name.truncate(dot);
        }
    }
    QString safe;
    for (const QChar c : name) {
        safe += c.isLetterOrNumber() && c.unicode() < 128 ? c : QChar('_');
    }
    return safe.isEmpty() ? QStringLiteral("none") : safe;
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

struct Descriptor {
    int fd;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// Nobody listens at the address: nothing there, or a socket a crashed instance left.
// A full queue (EAGAIN) is a live instance too busy to accept just now.
bool stale(const sockaddr_un& address) {
    const Descriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.fd < 0) {
        return false;
    }
    if (::connect(probe.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return false;
    }
    return errno == ECONNREFUSED || errno == ENOENT;
}

bool outOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

QString InstanceLink::socketPath() {
    return folder() + '/' + QString::fromUtf8(AppIdentity::identifier) + '-' + displayName() +
           ".socket";
}

InstanceLink::HandOver InstanceLink::handOver(const QStringList& arguments) {
    const QByteArray message = encode(arguments);
    if (static_cast<std::size_t>(message.size()) > Tuning::instanceMessageBytes) {
        return HandOver::tooLong;
    }
    if (!folderIsPrivate(folder())) {
        return HandOver::noInstance;
    }
    const QDeadlineTimer deadline(milliseconds(Tuning::instanceAnswerTime));
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        return HandOver::noInstance;
    }
    socket.write(message);
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return HandOver::noAnswer;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == taken ? HandOver::taken : HandOver::noAnswer;
}

std::unique_ptr<InstanceLink> InstanceLink::listen(QString* error, bool* another) {
    const auto fail = [error](const QString& reason) {
        if (error != nullptr) {
            *error = reason;
        }
        return nullptr;
    };
    const QString dir = folder();
    if (dir == fallbackFolder() && ::mkdir(QFile::encodeName(dir).constData(), S_IRWXU) != 0 &&
        errno != EEXIST) {
        return fail("cannot create " + dir);
    }
    if (!folderIsPrivate(dir)) {
        return fail(dir + " is not this user's alone");
    }
    const QString path = socketPath();
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(name.size()) >= sizeof address.sun_path) {
        return fail(path + " is too long for a socket");
    }
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    // Two starts at once take turns from the probe to the bind.
    const Descriptor lock(::open((name + ".lock").constData(),
                                 O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    if (lock.fd < 0 || ::flock(lock.fd, LOCK_EX) != 0) {
        return fail("cannot lock " + path + ".lock");
    }
    if (!stale(address)) {
        if (another != nullptr) {
            *another = true;
        }
        return fail("another instance listens at " + path);
    }
    // Qt's own server closes and deletes its socket when an accept fails (out of
    // descriptors), and a later start would then become a second instance: this
    // one keeps listening and tries again.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return fail("cannot make a socket: " + QString::fromLocal8Bit(std::strerror(errno)));
    }
    ::unlink(name.constData());
    struct stat bound {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(name.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, listenBacklog) != 0 ||
        ::stat(name.constData(), &bound) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return fail("cannot listen at " + path + ": " + reason);
    }
    return std::unique_ptr<InstanceLink>(new InstanceLink(fd, path, bound.st_dev, bound.st_ino));
}

InstanceLink::InstanceLink(int listener, QString path, dev_t device, ino_t inode)
    : listener_(listener), path_(std::move(path)), device_(device), inode_(inode),
      notifier_(new QSocketNotifier(listener, QSocketNotifier::Read, this)) {
    connect(notifier_, &QSocketNotifier::activated, this, &InstanceLink::accept);
}

InstanceLink::~InstanceLink() {
    delete notifier_;
    ::close(listener_);
    // Only our own socket: never one a later instance put there.
    const QByteArray name = QFile::encodeName(path_);
    struct stat now {};
    if (::stat(name.constData(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_) {
        ::unlink(name.constData());
    }
}

void InstanceLink::accept() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (outOfDescriptors(errno)) {
                // The connection waits in the queue; asking again at once would spin.
                notifier_->setEnabled(false);
                QTimer::singleShot(milliseconds(Tuning::instanceAcceptRetry), this,
                                   [this] { notifier_->setEnabled(true); });
            }
            return;
        }
        auto* client = new QLocalSocket(this);
        client->setSocketDescriptor(fd);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { receive(client); });
        // A client that says nothing, or never finishes, is dropped.
        QTimer::singleShot(milliseconds(Tuning::instanceClientTime), client, [client] {
            client->abort();
            client->deleteLater();
        });
        receive(client);
    }
}

void InstanceLink::receive(QLocalSocket* client) {
    QByteArray message = client->property("message").toByteArray();
    message += client->read(static_cast<qint64>(Tuning::instanceMessageBytes) + 1 - message.size());
    if (static_cast<std::size_t>(message.size()) > Tuning::instanceMessageBytes) {
        client->abort();
        client->deleteLater();
        return;
    }
    client->setProperty("message", message);
    if (!complete(message)) {
        return;
    }
    client->disconnect(this);
    // Answered before anything is done, so a slow action never makes the later
    // start give up and run as a second instance.
    client->write(QByteArray(1, taken));
    client->flush();
    client->disconnectFromServer();
    const QStringList arguments = decode(message);
    QTimer::singleShot(0, this, [this, arguments] {
        if (arguments.isEmpty()) {
            if (onShowSettings) {
                onShowSettings();
            }
        } else if (onURLs) {
            onURLs(arguments);
        }
    });
}

} // namespace orvane
