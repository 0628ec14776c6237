// The entry of zenpatch-network.so (catalogue/network_module.h).
#include "catalogue/network_fetcher.h"

extern "C" Q_DECL_EXPORT zp::UrlFetcher* zenpatch_network_fetcher(int timeoutMs)
{
    return new zp::NetworkFetcher(std::chrono::milliseconds(timeoutMs));
}
