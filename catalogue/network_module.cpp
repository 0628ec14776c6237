#include "catalogue/network_module.h"

#include <QLibrary>

namespace zp {

std::unique_ptr<UrlFetcher> LoadNetworkFetcher(const QString& executableFolder, std::chrono::milliseconds timeout)
{
    using Factory = UrlFetcher* (*)(int timeoutMs);
    QString failure;
    for (const QString& folder :
         {executableFolder, executableFolder + QStringLiteral("/" ZENPATCH_INSTALLED_MODULE_FOLDER)}) {
        // Loaded for the rest of the program's life: the fetcher's code lives in it.
        QLibrary module(folder + u'/' + QLatin1String(NetworkModuleName));
        if (const auto factory = reinterpret_cast<Factory>(module.resolve("zenpatch_network_fetcher")))
            return std::unique_ptr<UrlFetcher>(factory(int(timeout.count())));
        if (failure.isEmpty())
            failure = module.errorString();
    }
    throw std::runtime_error(
        QStringLiteral("cannot load the network module %1: %2").arg(NetworkModuleName, failure).toStdString());
}

} // namespace zp
