#include "shell/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace zp {

namespace {

const QByteArray Taken = "ok\n";
constexpr qint64 MaxLine = 64 * 1024; // a path, never more

} // namespace

SingleInstance::SingleInstance(const QString& programFolder, QObject* parent)
    : QObject(parent)
    , name_(SocketName(programFolder))
{
}

QString SingleInstance::SocketName(const QString& programFolder)
{
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonical.isEmpty() ? programFolder : canonical),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(16);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/zenpatch-") + QString::fromLatin1(hash);
    return QDir::tempPath() + QStringLiteral("/zenpatch-%1-").arg(::getuid()) + QString::fromLatin1(hash);
}

bool SingleInstance::HandOver(const QString& file, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
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
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered on it (HandOver came first), so the socket is one a program left behind.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
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
            });
        }
    });
    return true;
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
