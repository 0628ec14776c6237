#pragma once

#include "catalogue/update_check.h"

#include <QString>
#include <chrono>
#include <memory>
#include <stdexcept>

namespace zp {

// The network module, zenpatch-network.so: the update check's NetworkFetcher with Qt Network behind
// it, loaded only by a command that reaches the network, so that no other command loads Qt Network
// and the libraries behind it (Kerberos, GSSAPI, brotli, libproxy) when it starts.
inline constexpr const char* NetworkModuleName = "zenpatch-network.so";

// A NetworkFetcher from the module beside the executable (a build tree) or in the installed
// library folder below the executable's prefix. Throws std::runtime_error naming the module and the
// loader's reason when neither loads.
std::unique_ptr<UrlFetcher> LoadNetworkFetcher(const QString& executableFolder,
                                               std::chrono::milliseconds timeout = std::chrono::seconds(15));

} // namespace zp
