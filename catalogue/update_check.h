#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace zp {

struct AppState;

// One GET of an address and its answer as it comes. The update check and the download reach the
// network only through this.
class UrlFetcher
{
public:
    struct Handlers
    {
        std::function<void(qint64 size)> started; // a successful answer begins: its size, -1 when not given
        std::function<bool(const QByteArray& bytes)> received; // its next bytes; false: enough, stop
        std::function<void(const QString& failure)> finished; // empty when read whole or stopped by `received`
        std::function<void()> timedOut; // optional: the server did not answer in time; `finished` follows
    };
    virtual ~UrlFetcher() = default;
    // Starts the GET. The function returned cancels it: no handler runs after it.
    virtual std::function<void()> Get(const QUrl& url, Handlers handlers) = 0;
};

// A hack whose update address the check asks.
struct UpdateCandidate
{
    int HackNum = 0;
    QString Name;
    QString Version;
    QString UpdateURL;
};

// The hacks with these numbers (every hack when none is given), in the catalogue's order. Reads
// the catalogue through a recordset of its own and writes nothing.
std::vector<UpdateCandidate> UpdateCandidates(AppState& state, const std::vector<int>& hacks = {});

enum class UpdateVerdict { Pending, UpToDate, Newer, Unreachable, NotAHackFile, NoUpdateAddress };

struct UpdateResult
{
    UpdateCandidate hack;
    UpdateVerdict verdict = UpdateVerdict::Pending;
    QString newVersion; // Newer: the version the file holds
    qint64 size = -1; // the file's size, when the server told it
    QString reason; // Unreachable: why

    // "up to date", "newer version X", "unreachable: <reason>", "not a hack file" or "no update
    // address"; empty while pending.
    QString Text() const;
};

// A file size for people: "800 bytes", "1.5 KiB", "12.3 MiB"; "size unknown" for -1.
QString SizeText(qint64 bytes);

// The address of an update check, when it is an http or https one.
std::optional<QUrl> UpdateAddress(const QString& updateURL);

// Asks each hack's update address whether it names a newer version of the hack: a few hacks at
// once, each answer read only as far as the end of its hack description. A server that has twice
// not answered in time is not asked again in this check. Runs in the event loop of the thread that
// starts it; writes nothing.
class UpdateCheck
{
public:
    static constexpr int MaxParallel = 4;
    static constexpr int SilencesBeforeGivingUp = 2;

    UpdateCheck(UrlFetcher& fetcher, std::vector<UpdateCandidate> hacks);
    ~UpdateCheck(); // cancels what is still under way
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    std::function<void(int index)> onChecked; // a hack has its verdict
    std::function<void()> onFinished; // every hack has its verdict, or the check was cancelled

    void Start();
    // Stops every request under way; the hacks not checked stay Pending.
    void Cancel();
    bool IsRunning() const { return started_ && !finished_; }
    int CheckedCount() const { return checked_; }
    const std::vector<UpdateResult>& Results() const { return results_; }

private:
    struct Running;
    void StartNext();
    void Conclude(size_t index, UpdateVerdict verdict);
    void FinishIfDone();

    UrlFetcher& fetcher_;
    std::vector<UpdateResult> results_;
    std::vector<std::unique_ptr<Running>> running_; // parallel to results_; null when not running
    size_t next_ = 0;
    std::map<QString, int> silences_; // by server: the requests it did not answer in time
    int inFlight_ = 0;
    int checked_ = 0;
    bool started_ = false;
    bool finished_ = false;
};

// Runs a check to its end in an event loop of its own (for the command line).
std::vector<UpdateResult> CheckForUpdates(UrlFetcher& fetcher, std::vector<UpdateCandidate> hacks);

// Fetches a whole hack file into `path` (written as a temporary file beside it, then renamed),
// stopping at `maxBytes`; the file is kept only when it holds a readable hack description, found
// within the bounds the update check reads (DescriptionScanner's), and fetched no further once it
// is found not to.
// `progress` gets the bytes so far and the size (-1 when unknown); `done` gets an empty text on
// success, else the reason. Returns the function that cancels the download.
std::function<void()> DownloadHackFile(UrlFetcher& fetcher,
                                       const QUrl& url,
                                       const QString& path,
                                       qint64 maxBytes,
                                       std::function<void(qint64 received, qint64 size)> progress,
                                       std::function<void(const QString& failure)> done);

} // namespace zp
