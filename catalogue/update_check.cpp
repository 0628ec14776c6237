#include "catalogue/update_check.h"

#include "app/app_state.h"
#include "catalogue/hack_list_view.h"
#include "database/sql.h"
#include "interchange/description_scanner.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <set>

namespace zp {

QString UpdateResult::Text() const
{
    switch (verdict) {
    case UpdateVerdict::Pending:
        return QString();
    case UpdateVerdict::UpToDate:
        return QStringLiteral("up to date");
    case UpdateVerdict::Newer:
        return QStringLiteral("newer version %1").arg(newVersion);
    case UpdateVerdict::Unreachable:
        return QStringLiteral("unreachable: %1").arg(reason);
    case UpdateVerdict::NotAHackFile:
        return QStringLiteral("not a hack file");
    case UpdateVerdict::NoUpdateAddress:
        return QStringLiteral("no update address");
    }
    return QString();
}

QString SizeText(qint64 bytes)
{
    if (bytes < 0)
        return QStringLiteral("size unknown");
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    return QLocale::c().formattedDataSize(bytes, 1);
}

std::optional<QUrl> UpdateAddress(const QString& updateURL)
{
    const QUrl url(updateURL.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return url;
}

std::vector<UpdateCandidate> UpdateCandidates(AppState& state, const std::vector<int>& hacks)
{
    const std::set<int> wanted(hacks.begin(), hacks.end());
    Recordset rows(state.Connection);
    rows.Open(sql::SelectHackInfo);
    std::vector<UpdateCandidate> candidates;
    for (; !rows.EOF(); rows.MoveNext()) {
        const int number = rows.Int("HackNum");
        if (wanted.empty() || wanted.contains(number))
            candidates.push_back({number, rows.Text("Name"), rows.Text("Version"), rows.Text("UpdateURL")});
    }
    return candidates;
}

namespace {

// The server an address reaches: its host and port.
QString ServerOf(const QUrl& url)
{
    return QStringLiteral("%1:%2").arg(url.host()).arg(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

} // namespace

struct UpdateCheck::Running
{
    DescriptionScanner scanner;
    std::function<void()> cancel;
};

UpdateCheck::UpdateCheck(UrlFetcher& fetcher, std::vector<UpdateCandidate> hacks)
    : fetcher_(fetcher)
{
    results_.reserve(hacks.size());
    for (UpdateCandidate& hack : hacks) {
        UpdateResult result;
        result.hack = std::move(hack);
        results_.push_back(std::move(result));
    }
    running_.resize(results_.size());
}

UpdateCheck::~UpdateCheck()
{
    onFinished = nullptr;
    Cancel();
}

void UpdateCheck::Start()
{
    if (started_)
        return;
    started_ = true;
    StartNext();
    FinishIfDone();
}

void UpdateCheck::Cancel()
{
    if (!started_ || finished_)
        return;
    next_ = results_.size();
    for (std::unique_ptr<Running>& running : running_) {
        if (running) {
            running->cancel();
            running.reset();
        }
    }
    inFlight_ = 0;
    FinishIfDone();
}

void UpdateCheck::StartNext()
{
    while (inFlight_ < MaxParallel && next_ < results_.size()) {
        const size_t index = next_++;
        UpdateResult& result = results_[index];
        if (result.hack.UpdateURL.trimmed().isEmpty()) {
            Conclude(index, UpdateVerdict::NoUpdateAddress);
            continue;
        }
        const std::optional<QUrl> url = UpdateAddress(result.hack.UpdateURL);
        if (!url) {
            result.reason = QStringLiteral("not an http or https address");
            Conclude(index, UpdateVerdict::Unreachable);
            continue;
        }
        const QString server = ServerOf(*url);
        if (silences_[server] >= SilencesBeforeGivingUp) {
            result.reason = QStringLiteral("the server did not answer earlier requests");
            Conclude(index, UpdateVerdict::Unreachable);
            continue;
        }
        ++inFlight_;
        running_[index] = std::make_unique<Running>();
        Running& running = *running_[index];
        running.cancel = fetcher_.Get(*url,
                                      {[this, index](qint64 size) { results_[index].size = size; },
                                       [&running](const QByteArray& bytes) {
                                           return running.scanner.Feed(bytes) == DescriptionScanner::State::Reading;
                                       },
                                       [this, index](const QString& failure) {
                                           Running& done = *running_[index];
                                           UpdateResult& answered = results_[index];
                                           const DescriptionScanner::State state = done.scanner.Finish();
                                           --inFlight_;
                                           if (state == DescriptionScanner::State::Read) {
                                               answered.newVersion
                                                   = done.scanner.Description().Info.Version.value_or(QString());
                                               Conclude(index,
                                                        CompareVersions(answered.newVersion, answered.hack.Version) > 0
                                                            ? UpdateVerdict::Newer
                                                            : UpdateVerdict::UpToDate);
                                           } else if (!failure.isEmpty()) {
                                               answered.reason = failure;
                                               Conclude(index, UpdateVerdict::Unreachable);
                                           } else {
                                               Conclude(index, UpdateVerdict::NotAHackFile);
                                           }
                                           running_[index].reset();
                                           StartNext();
                                           FinishIfDone();
                                       },
                                       [this, server] { ++silences_[server]; }});
    }
}

void UpdateCheck::Conclude(size_t index, UpdateVerdict verdict)
{
    results_[index].verdict = verdict;
    ++checked_;
    if (onChecked)
        onChecked(int(index));
}

void UpdateCheck::FinishIfDone()
{
    if (finished_ || inFlight_ > 0 || next_ < results_.size())
        return;
    finished_ = true;
    if (onFinished)
        onFinished();
}

std::vector<UpdateResult> CheckForUpdates(UrlFetcher& fetcher, std::vector<UpdateCandidate> hacks)
{
    UpdateCheck check(fetcher, std::move(hacks));
    QEventLoop loop;
    bool finished = false;
    check.onFinished = [&] {
        finished = true;
        loop.quit();
    };
    check.Start();
    if (!finished)
        loop.exec();
    return check.Results();
}

std::function<void()> DownloadHackFile(UrlFetcher& fetcher,
                                       const QUrl& url,
                                       const QString& path,
                                       qint64 maxBytes,
                                       std::function<void(qint64 received, qint64 size)> progress,
                                       std::function<void(const QString& failure)> done)
{
    struct Download
    {
        QSaveFile file;
        DescriptionScanner scanner; // with the update check's bounds
        qint64 size = -1;
        qint64 received = 0;
        QString failure;
    };
    auto download = std::make_shared<Download>();
    download->file.setFileName(path);
    if (!download->file.open(QIODevice::WriteOnly)) {
        done(QStringLiteral("cannot write %1: %2").arg(path, download->file.errorString()));
        return [] {};
    }
    return fetcher.Get(url,
                       {[download, maxBytes](qint64 size) {
                            download->size = size;
                            if (size > maxBytes)
                                download->failure
                                    = QStringLiteral("the file is larger than %1").arg(SizeText(maxBytes));
                        },
                        [download, maxBytes, progress](const QByteArray& bytes) {
                            if (!download->failure.isEmpty())
                                return false;
                            download->received += bytes.size();
                            if (download->received > maxBytes) {
                                download->failure
                                    = QStringLiteral("the file is larger than %1").arg(SizeText(maxBytes));
                                return false;
                            }
                            // A file found to be no hack file is fetched no further.
                            if (download->scanner.Feed(bytes) == DescriptionScanner::State::NotAHackFile)
                                return false;
                            if (download->file.write(bytes) != bytes.size()) {
                                download->failure = QStringLiteral("cannot write %1: %2")
                                                        .arg(download->file.fileName(), download->file.errorString());
                                return false;
                            }
                            if (progress)
                                progress(download->received, download->size);
                            return true;
                        },
                        [download, done](const QString& failure) {
                            QString reason = !download->failure.isEmpty() ? download->failure : failure;
                            if (reason.isEmpty() && download->scanner.Finish() != DescriptionScanner::State::Read)
                                reason = QStringLiteral("not a hack file");
                            if (reason.isEmpty() && !download->file.commit())
                                reason = QStringLiteral("cannot write %1: %2")
                                             .arg(download->file.fileName(), download->file.errorString());
                            if (!reason.isEmpty())
                                download->file.cancelWriting();
                            done(reason);
                        },
                        {}});
}

} // namespace zp
