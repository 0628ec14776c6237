#include "loopback_server.h"

#include "interchange/hack_description.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace zp::test {

namespace {

QByteArray DataFile(const char* name)
{
    QFile file(QStringLiteral(ZENPATCH_LOOPBACK_DATA "/%1").arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Block(const QByteArray& label, const QByteArray& bytes)
{
    QByteArray block = "[ZPKSTARTFILE]|" + label + "\r\n";
    const QByteArray encoded = bytes.toBase64();
    for (qsizetype i = 0; i < encoded.size(); i += 72)
        block += encoded.mid(i, 72) + "\r\n";
    return block + "[ZPKENDFILE]|" + label + "\r\n";
}

} // namespace

QByteArray LoopbackCertificatePem()
{
    return DataFile("loopback-cert.pem");
}

QByteArray HackPackageText(const QString& version, qsizetype leadingBlockBytes, const QString& writtenBy)
{
    HackInfoFields info;
    info.HackType = 0;
    info.Name = QStringLiteral("Update Test");
    info.Version = version;
    ModEntry mod;
    mod.FileName = QStringLiteral("forum.cgi");
    mod.OldData = QStringLiteral("old");
    mod.NewData = QStringLiteral("new");
    mod.ActionType = 1;
    QByteArray text;
    if (leadingBlockBytes > 0) {
        QByteArray noise(leadingBlockBytes, Qt::Uninitialized);
        QRandomGenerator generator(7);
        for (char& c : noise)
            c = char(generator.bounded(256));
        text += Block("noise.bin", noise);
    }
    QByteArray description = WriteHackDescription(QStringLiteral("update"), info, {}, {mod});
    if (!writtenBy.isEmpty())
        description.replace(QByteArray("\r\n") + ZenpatchVersion + "\r\n", "\r\n" + writtenBy.toUtf8() + "\r\n");
    return text + Block("update.zpx", description);
}

QByteArray HackFileBytes(const QString& version, qsizetype leadingBlockBytes)
{
    // Without qCompress's own length prefix: the bare zlib stream.
    return qCompress(HackPackageText(version, leadingBlockBytes), 6).mid(4);
}

LoopbackServer::LoopbackServer(bool https)
    : https_(https)
{
    if (https) {
        auto* server = new QSslServer;
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(QSslCertificate(LoopbackCertificatePem()));
        config.setPrivateKey(QSslKey(DataFile("loopback-key.pem"), QSsl::Rsa));
        server->setSslConfiguration(config);
        server_.reset(server);
    } else {
        server_ = std::make_unique<QTcpServer>();
    }
    connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::Accept);
    server_->listen(QHostAddress::LocalHost);
}

LoopbackServer::~LoopbackServer() = default;

void LoopbackServer::Serve(const QString& path, Response response)
{
    routes_[path] = std::move(response);
}

void LoopbackServer::Redirect(const QString& path, const QString& target)
{
    Serve(path, {302, QByteArray(), "Location: " + target.toUtf8() + "\r\nSet-Cookie: visitor=1; Path=/\r\n"});
}

QUrl LoopbackServer::Url(const QString& path) const
{
    return QUrl(
        QStringLiteral("%1://127.0.0.1:%2%3").arg(https_ ? "https" : "http").arg(server_->serverPort()).arg(path));
}

void LoopbackServer::Accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        auto head = std::make_shared<QByteArray>();
        ++connections;
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --connections;
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            if (head->endsWith("\r\n\r\n"))
                return; // one request per connection
            *head += socket->readAll();
            if (head->contains("\r\n\r\n")) {
                *head = head->left(head->indexOf("\r\n\r\n") + 4);
                requests << *head;
                Answer(socket, *head);
            }
        });
    }
}

void LoopbackServer::Answer(QTcpSocket* socket, const QByteArray& head)
{
    // The target of the request line, by its path (a proxy is asked for the whole address).
    const QByteArray target = head.split(' ').value(1);
    const QString path = target.startsWith('/') ? QString::fromUtf8(target) : QUrl(QString::fromUtf8(target)).path();
    const Response response = routes_.value(path, Response {404, "no such file"});
    const auto send = [socket, response] {
        const qsizetype announced = response.endless ? response.body.size() * 100 + 1000 : response.body.size();
        socket->write(QStringLiteral("HTTP/1.1 %1 %2\r\n%3\r\nConnection: close\r\n")
                          .arg(response.status)
                          .arg(response.status == 200       ? "OK"
                                   : response.status == 404 ? "Not Found"
                                                            : "Found")
                          .arg(response.chunked ? QStringLiteral("Transfer-Encoding: chunked")
                                                : QStringLiteral("Content-Length: %1").arg(announced))
                          .toLatin1()
                      + response.headers + "\r\n");
        if (response.chunked) {
            // A new chunk whenever the last is nearly sent: the client's reading sets the pace.
            const QByteArray chunk = QByteArray::number(response.body.size(), 16) + "\r\n" + response.body + "\r\n";
            const auto more = [socket, chunk] {
                while (socket->bytesToWrite() < chunk.size())
                    socket->write(chunk);
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
            return;
        }
        if (response.endless) {
            socket->write(response.body.left(response.body.size() / 2));
            return;
        }
        socket->write(response.body);
        socket->disconnectFromHost();
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, socket, send);
    else
        send();
}

} // namespace zp::test
