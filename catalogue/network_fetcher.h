#pragma once

#include "catalogue/update_check.h"

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace zp {

// The update check's way to the network, over Qt Network: only a GET of the address, with a
// User-Agent that names Zenpatch and its version, no cookies and no language of the user's; redirects followed at most
// five times and never from https to http; the proxy from the environment (http_proxy, https_proxy, no_proxy); each
// request given up after `timeout`, whether the server is silent or slow.
class NetworkFetcher : public UrlFetcher
{
public:
    static constexpr int MaxRedirects = 5;

    explicit NetworkFetcher(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~NetworkFetcher() override;

    std::function<void()> Get(const QUrl& url, Handlers handlers) override;

    // "Zenpatch/2.0.1"
    static QByteArray UserAgent();

private:
    std::unique_ptr<QNetworkAccessManager> manager_;
    std::chrono::milliseconds timeout_;
};

} // namespace zp
