#include "shell/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <sys/socket.h>
#include <sys/stat.h>

namespace zp {

namespace {

const QByteArray Taken = "ok\n";
constexpr qint64 MaxLine = 64 * 1024; // a path, never more
// A later start writes its line at once: a connection that stays silent longer is dropped, and no
// more are held open than these, so that a flood of connections cannot use up the file handles.
constexpr int IdleMs = 1000;
constexpr int MaxOpen = 8;
constexpr int MaxWaiting = 8;
constexpr int RelistenMs = 1000;

// The folder of the sockets, when only `user` may enter it.
QString PrivateSocketFolder(uid_t user)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::tempPath() + QStringLiteral("/zenpatch-%1").arg(user);
        ::mkdir(QFile::encodeName(folder).constData(), 0700); // it may be there already: checked below
    }
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user
        && (info.st_mode & 077) == 0)
        return folder;
    qWarning("%s is not a folder of yours that only you can enter; this program does not take files from, "
             "nor hand them to, another one",
             qPrintable(QDir::toNativeSeparators(folder)));
    return {};
}

// True when the other end of a connected local socket is a process of `user`.
bool PeerIs(const QLocalSocket& socket, uid_t user)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == user;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, uid_t user, QObject* parent)
    : QObject(parent)
    , name_(name)
    , user_(user)
{
}

QString SingleInstance::SocketName(const QString& programFolder)
{
    const QString folder = PrivateSocketFolder(::getuid());
    if (folder.isEmpty())
        return {};
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonical.isEmpty() ? programFolder : canonical),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(16);
    return folder + QStringLiteral("/zenpatch-") + QString::fromLatin1(hash);
}

bool SingleInstance::HandOver(const QString& file, int timeoutMs) const
{
    if (name_.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs) || !PeerIs(socket, user_))
        return false;
    const QString absolute = file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
    socket.write(absolute.toUtf8().replace('\n', "") + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer == Taken;
}

bool SingleInstance::Listen()
{
    if (name_.isEmpty())
        return false;
    // The socket's folder is the user's alone, so the socket needs no access options; without them
    // listen never takes over a name that another program listens on.
    server_ = new QLocalServer(this);
    server_->setMaxPendingConnections(MaxWaiting);
    if (!server_->listen(name_)) {
        // Nobody answered on it (HandOver came first), so the socket is one a program left behind.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::TakeConnections);
    // A server that stopped listens again; a socket another program made in the meantime is that
    // program's, and this one waits until the name is free.
    relisten_.setInterval(RelistenMs);
    connect(&relisten_, &QTimer::timeout, this, [this] {
        if (!server_->isListening())
            server_->listen(name_);
    });
    relisten_.start();
    return true;
}

void SingleInstance::TakeConnections()
{
    while (open_ < MaxOpen) {
        QLocalSocket* socket = server_->nextPendingConnection();
        if (!socket)
            return;
        if (!PeerIs(*socket, user_)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] {
            --open_;
            TakeConnections();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        QTimer::singleShot(IdleMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        // A connection that waited may have brought its line already.
        Read(socket);
    }
}

void SingleInstance::Read(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxLine)
            socket->abort();
        return;
    }
    const QString file = QString::fromUtf8(socket->readLine().chopped(1));
    socket->write(Taken);
    socket->flush();
    socket->disconnectFromServer();
    Deliver(file);
}

void SingleInstance::SetReceiver(std::function<void(const QString&)> receiver)
{
    receiver_ = std::move(receiver);
    const QStringList waiting = std::exchange(waiting_, {});
    for (const QString& file : waiting)
        Deliver(file);
}

void SingleInstance::Deliver(const QString& file)
{
    if (receiver_)
        receiver_(file);
    else
        waiting_ << file;
}

} // namespace zp
