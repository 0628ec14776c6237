#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace zp::test {

// A small HTTP/1.1 server on 127.0.0.1 (or HTTPS with the certificate below tests/data), run by
// the event loop of the test that starts it. Each path answers as it is told; every request's
// head is kept.
class LoopbackServer : public QObject
{
public:
    struct Response
    {
        Response(int status = 200,
                 QByteArray body = {},
                 QByteArray headers = {},
                 int delayMs = 0,
                 bool endless = false,
                 bool chunked = false)
            : status(status)
            , body(std::move(body))
            , headers(std::move(headers))
            , delayMs(delayMs)
            , endless(endless)
            , chunked(chunked)
        {
        }
        int status;
        QByteArray body;
        QByteArray headers; // further header lines, each ended by CR LF
        int delayMs; // before the answer starts
        bool endless; // the body is announced whole, sent in part, and the rest never comes
        bool chunked; // the body is sent as one chunk after another, for as long as the client reads
    };

    explicit LoopbackServer(bool https = false);
    ~LoopbackServer() override;

    void Serve(const QString& path, Response response);
    // A redirect from `path` to `target` (a path of this server or a whole address).
    void Redirect(const QString& path, const QString& target);
    QUrl Url(const QString& path) const;

    QList<QByteArray> requests; // each request's head, request line first
    int connections = 0; // the connections open now

private:
    void Accept();
    void Answer(QTcpSocket* socket, const QByteArray& head);

    std::unique_ptr<QTcpServer> server_;
    bool https_;
    QMap<QString, Response> routes_;
};

// The server's certificate, for a client that trusts it explicitly.
QByteArray LoopbackCertificatePem();

// The package text of a hack whose description carries this version, written by the given
// version of the program (this one when empty); extra bytes of another block come before the
// description when `leadingBlockBytes` is not 0. The description's end is the text's end.
QByteArray HackPackageText(const QString& version, qsizetype leadingBlockBytes = 0, const QString& writtenBy = {});

// A hack file of that package text: its zlib stream.
QByteArray HackFileBytes(const QString& version, qsizetype leadingBlockBytes = 0);

} // namespace zp::test
