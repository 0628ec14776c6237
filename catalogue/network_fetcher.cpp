#include "catalogue/network_fetcher.h"

#include "interchange/hack_description.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

namespace zp {

namespace {

// The proxies of the environment for each request, as the system's own programs use them.
class EnvironmentProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override { return systemProxyForQuery(query); }
};

// Why a request failed, in a few words.
QString FailureOf(QNetworkReply& reply)
{
    switch (reply.error()) {
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("more than %1 redirects").arg(NetworkFetcher::MaxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("redirected from https to http");
    default:
        break;
    }
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400)
        return QStringLiteral("HTTP %1 %2")
            .arg(status)
            .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
            .trimmed();
    return reply.errorString();
}

// Stops a reply and lets it go. Its signals stay connected: the reply tells the network thread
// through them to drop the request, which frees its connection to the server and stops the body
// from coming; the handlers hear nothing more, as their request is over.
void Stop(QNetworkReply* reply)
{
    reply->abort();
    reply->deleteLater();
}

// One request: its handlers, and whether they have had their last word.
struct Request
{
    UrlFetcher::Handlers handlers;
    bool started = false;
    bool over = false;
};

} // namespace

NetworkFetcher::NetworkFetcher(std::chrono::milliseconds timeout)
    : manager_(std::make_unique<QNetworkAccessManager>())
    , timeout_(timeout)
{
    manager_->setProxyFactory(new EnvironmentProxies);
}

NetworkFetcher::~NetworkFetcher() = default;

QByteArray NetworkFetcher::UserAgent()
{
    return QByteArray("Zenpatch/") + ZenpatchVersion;
}

std::function<void()> NetworkFetcher::Get(const QUrl& url, Handlers handlers)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    // Qt would name the desktop's language; the same answer for everyone says nothing about the user.
    request.setRawHeader("Accept-Language", "*");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // The manager has no cache: nothing is kept, and no cache headers are sent.
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = manager_->get(request);
    // What the network thread holds for the reader between two reads; the update check reads no more.
    reply->setReadBufferSize(qint64(1) << 20);
    auto state = std::make_shared<Request>(Request {std::move(handlers)});

    // Ends the request once: the handlers hear no more, the reply stops and goes.
    const auto end = [reply, state](const QString& failure) {
        if (state->over)
            return;
        state->over = true;
        Stop(reply);
        state->handlers.finished(failure);
    };
    const auto begin = [reply, state] {
        if (!state->started) {
            state->started = true;
            const QVariant size = reply->header(QNetworkRequest::ContentLengthHeader);
            state->handlers.started(size.isValid() ? size.toLongLong() : -1);
        }
    };
    // Only a successful answer's body counts: an error page is not the file.
    const auto take = [reply, state, begin, end] {
        if (state->over || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 300)
            return;
        begin();
        const QByteArray bytes = reply->readAll();
        if (!bytes.isEmpty() && !state->handlers.received(bytes))
            end(QString());
    };
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout_).count();
    QObject::connect(timer, &QTimer::timeout, reply, [state, end, seconds, timeout = timeout_] {
        if (!state->over && state->handlers.timedOut)
            state->handlers.timedOut();
        end(seconds > 0 ? QStringLiteral("no answer within %1 s").arg(seconds)
                        : QStringLiteral("no answer within %1 ms").arg(timeout.count()));
    });
    timer->start(timeout_);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, take);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, state, take, end] {
        if (reply->error() != QNetworkReply::NoError)
            return end(FailureOf(*reply));
        take();
        end(QString());
    });
    return [reply = QPointer<QNetworkReply>(reply), state] {
        if (state->over)
            return;
        state->over = true;
        if (reply)
            Stop(reply);
    };
}

} // namespace zp
