#include "publish/publish_job.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/job_lock.h"
#include "app/regular_file.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/mod_target.h"
#include "install/backup_manifest.h"
#include "publish/publish_backup.h"
#include "publish/remote_files.h"
#include "publish/remote_workers.h"
#include "publish/servers.h"
#include "publish/sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace zp {

namespace {

// No board or support file comes near this; a larger one is refused, not read.
constexpr qint64 FileLimit = qint64(64) << 20;

const QString Action = QStringLiteral("Publish");

// A publish opens one more connection for every so many files (up to four): each waits for its own
// round trips.
constexpr int Batch = 16;

void AddFile(std::map<QString, PublishFile>& files, const QString& relative, int location)
{
    const QString path = NormalRelativePath(relative);
    if (path.isEmpty())
        return;
    PublishFile file;
    file.path = path;
    file.location = location;
    files.try_emplace(path, file);
}

class PublishRun
{
public:
    PublishRun(AppState& state, int hackNum, const Server& server, const PublishOptions& options, LogSink& log)
        : state_(state)
        , hackNum_(hackNum)
        , hack_(state.Connection)
        , server_(server)
        , options_(options)
        , log_(log)
    {
    }

    PublishOutcome Run(const ConnectOptions& connect, std::vector<PublishFile>& files);

private:
    bool Cancelled() const { return options_.cancel && options_.cancel->load(); }
    void Progress(int done, int total, const PublishFile& file) const
    {
        if (options_.progress)
            options_.progress(done, total, file);
        log_.ProcessEvents();
    }
    // Reads the output file, the source's copy and the server's file, and decides the file's state.
    void Check(size_t index, PublishFile& file, RemoteFiles& remote);
    void CheckOnServer(size_t index, PublishFile& file, const FileBytes& source, RemoteFiles& remote);
    void LogChecked(const PublishFile& file);
    bool Sendable(const PublishFile& file) const;
    // Keeps the server's files that will be replaced and writes the manifest; false after a red row.
    bool Backup(std::vector<PublishFile*>& sending);
    void Send(size_t index, PublishFile& file, RemoteFiles& remote);
    void LogSent(const PublishFile& file);
    void Complete(std::vector<PublishFile>& files, const std::vector<size_t>& sending);
    QString Remote(const QString& path) const { return server_.folder + u'/' + path; }
    // Where the server's copy of a file is kept until the backup takes its own name.
    QString Copy(const QString& path) const { return backup_ + UnfinishedBackupSuffix + u'/' + path; }
    QByteArray ReadServerFile(const QString& path, qint64 size, RemoteFiles& remote);

    AppState& state_;
    const int hackNum_;
    Recordset hack_; // the hack's row, for its name in the log
    int hackType_ = 0; // for the modes of new files, read once: files are checked on several threads
    const Server& server_;
    const PublishOptions& options_;
    LogSink& log_;
    std::unique_ptr<RemoteWorkers> workers_;
    // By the index of the file: its bytes to send, whether an interrupted publish's old file was
    // put back, and whether the connection dropped while it was put in place (renamed or not).
    std::vector<QByteArray> output_;
    std::vector<char> recovered_, uncertain_;
    QString backup_; // relative to the program folder: unfinished until the manifest is written
    BackupManifest manifest_;
    std::atomic<bool> lost_ = false; // the connection dropped or the user cancelled
};

PublishOutcome PublishRun::Run(const ConnectOptions& connect, std::vector<PublishFile>& files)
{
    log_.Clear();
    if (!OpenHackRow(hack_, hackNum_)) {
        log_.AddFailedRow(QString(),
                          Action,
                          QStringLiteral("Hack Missing"),
                          QStringLiteral("This hack is no longer in the database."));
        return PublishOutcome::HackGone;
    }
    hackType_ = hack_.Int("HackType");
    LogHackName(hack_, log_, QStringLiteral("BEGIN Publish"));
    std::map<QString, bool> choices;
    for (const PublishFile& file : files)
        choices[file.path] = file.overwrite;
    files = InstalledFiles(state_, hackNum_).value_or(std::vector<PublishFile>());
    for (PublishFile& file : files)
        file.overwrite = options_.force || choices[file.path];
    output_.resize(files.size());
    recovered_.resize(files.size());
    uncertain_.resize(files.size());
    try {
        // One connection for every Batch files, up to four.
        workers_ = std::make_unique<RemoteWorkers>(server_, connect, std::clamp(int(files.size()) / Batch, 1, 4));
    } catch (const RemoteError& e) {
        log_.AddFailedRow(QString(), Action, QStringLiteral("Connection Refused"), QString::fromStdString(e.what()));
        return PublishOutcome::Failed;
    }
    backup_ = NewPublishBackupFolder(state_.ProgramFolder, hackNum_, server_.name);
    bool refused = false;
    int checked = 0;
    workers_->ForEach(
        int(files.size()),
        [&](int i, RemoteFiles& remote) { Check(size_t(i), files[size_t(i)], remote); },
        [&](int i) {
            const PublishFile& file = files[size_t(i)];
            if (recovered_[size_t(i)])
                log_.AddRow(file.path,
                            Action,
                            QStringLiteral("Recovered"),
                            QStringLiteral("The server's file was put back from where an interrupted publish had "
                                           "moved it."));
            LogChecked(file);
            refused = refused || (!Sendable(file) && !file.overwrite);
            Progress(++checked, int(files.size()), file);
        },
        [this] { return lost_ || Cancelled(); });
    lost_ = lost_ || checked < int(files.size());
    const QString copies = state_.ProgramFolder + u'/' + backup_ + UnfinishedBackupSuffix;
    if (options_.dryRun || refused || lost_) {
        QDir(copies).removeRecursively();
        if (!options_.dryRun)
            log_.AddFailedRow(QString(),
                              Action,
                              QStringLiteral("Nothing Sent"),
                              lost_ ? QStringLiteral("The check was stopped; nothing was sent.")
                                    : QStringLiteral("A file was refused by the check; nothing was sent."));
        LogHackName(hack_, log_, QStringLiteral("END Publish"));
        return options_.dryRun ? PublishOutcome::Done : lost_ ? PublishOutcome::Stopped : PublishOutcome::Refused;
    }
    std::vector<size_t> sending;
    std::vector<PublishFile*> kept;
    for (size_t i = 0; i < files.size(); ++i) {
        const PublishFile& file = files[i];
        if (file.state == PublishState::New || file.state == PublishState::Replace
            || (file.state == PublishState::Refused && file.overwrite)) {
            sending.push_back(i);
            kept.push_back(&files[i]);
        }
    }
    if (sending.empty() || !Backup(kept)) {
        QDir(copies).removeRecursively();
        LogHackName(hack_, log_, QStringLiteral("END Publish"));
        return sending.empty() ? PublishOutcome::Done : PublishOutcome::Failed;
    }
    int sent = 0;
    workers_->ForgetFolders();
    workers_->ForEach(
        int(sending.size()),
        [&](int i, RemoteFiles& remote) { Send(sending[size_t(i)], files[sending[size_t(i)]], remote); },
        [&](int i) {
            const PublishFile& file = files[sending[size_t(i)]];
            LogSent(file);
            Progress(++sent, int(sending.size()), file);
        },
        [this] { return lost_ || Cancelled(); });
    lost_ = lost_ || sent < int(sending.size());
    Complete(files, sending);
    LogHackName(hack_, log_, QStringLiteral("END Publish"));
    log_.SetCurrentRow(0);
    return lost_ ? PublishOutcome::Stopped : PublishOutcome::Done;
}

void PublishRun::Check(size_t index, PublishFile& file, RemoteFiles& remote)
{
    const FileBytes output = ReadRegularFileBelow(state_.OutputDir, file.path, FileLimit);
    if (!output.Read()) {
        file.state = PublishState::Missing;
        file.reason = QStringLiteral("Not in the output folder as a file: %1 (%2)")
                          .arg(QDir(state_.OutputDir).filePath(file.path), output.problem);
        return;
    }
    file.bytes = output.bytes.size();
    file.after = Sha256::Hex(output.bytes);
    const FileBytes source = ReadRegularFileBelow(state_.SourceDir, file.path, FileLimit);
    if (!source.Read() && !source.Missing()) {
        file.state = PublishState::Refused;
        file.reason = QStringLiteral("The source folder's copy cannot be read: %1").arg(source.problem);
        return;
    }
    try {
        CheckOnServer(index, file, source, remote);
    } catch (const std::exception& e) {
        lost_ = lost_ || !remote.Connected();
        file.state = lost_ ? PublishState::Failed : PublishState::Refused;
        file.reason = QString::fromStdString(e.what());
        return;
    }
    if (file.state != PublishState::Unchanged && file.state != PublishState::Unsafe)
        output_[index] = output.bytes;
}

void PublishRun::CheckOnServer(size_t index, PublishFile& file, const FileBytes& source, RemoteFiles& remote)
{
    const bool inSource = source.Read();
    const QString target = Remote(file.path);
    RemoteEntry entry;
    if (const QString unsafe = remote.UnsafeElement(server_.folder, file.path, &entry); !unsafe.isEmpty()) {
        file.state = PublishState::Unsafe;
        file.reason = QStringLiteral("%1 on the server is a symbolic link or not a folder; nothing is written "
                                     "through it.")
                          .arg(unsafe);
        return;
    }
    if (entry.kind == RemoteKind::Missing && !options_.dryRun && remote.Recover(target)) {
        recovered_[index] = 1;
        entry = remote.Lstat(target);
    }
    file.onServer = entry.kind == RemoteKind::File;
    if (entry.kind == RemoteKind::Missing) {
        file.mode = NewFileMode(server_, hackType_, file.location);
        const QString folder = target.section(u'/', 0, -2);
        file.folderMissing = remote.Lstat(folder).kind != RemoteKind::Folder;
        file.state = file.folderMissing || inSource ? PublishState::Refused : PublishState::New;
        if (file.folderMissing)
            file.reason = QStringLiteral("The folder %1 is missing on the server.").arg(folder);
        else if (inSource)
            file.reason = QStringLiteral("%1 is missing on the server, though the source folder has it: the live "
                                         "board was changed since the source was taken.")
                              .arg(target);
        return;
    }
    if (entry.kind != RemoteKind::File) {
        file.state = PublishState::Unsafe;
        file.reason = QStringLiteral("%1 on the server is not a regular file.").arg(target);
        return;
    }
    file.mode = entry.mode;
    // Only a file of the size of the new bytes or the source's can hold either of them.
    if (entry.size == file.bytes || (inSource && entry.size == source.bytes.size()))
        file.before = ReadServerFile(file.path, entry.size, remote);
    const QByteArray sourceSha = inSource ? Sha256::Hex(source.bytes) : QByteArray();
    if (file.before == file.after) {
        file.state = PublishState::Unchanged;
        QFile::remove(state_.ProgramFolder + u'/' + Copy(file.path));
    } else if (inSource && file.before == sourceSha) {
        file.state = PublishState::Replace;
    } else {
        file.state = PublishState::Refused;
        file.reason = inSource ? QStringLiteral("%1 on the server differs from the source folder's copy: the live "
                                                "board was changed since the source was taken.")
                                     .arg(target)
                               : QStringLiteral("%1 is on the server already, with other bytes.").arg(target);
    }
}

// The server's file, hashed; outside a dry run its bytes are kept in the unfinished backup.
QByteArray PublishRun::ReadServerFile(const QString& path, qint64 size, RemoteFiles& remote)
{
    if (options_.dryRun)
        return remote.Sha256(Remote(path), size);
    if (const QString link = LinkOnTheWay(state_.ProgramFolder, Copy(path)); !link.isEmpty())
        throw UnsafePathError(link);
    QFile copy(state_.ProgramFolder + u'/' + Copy(path));
    if (!QDir().mkpath(QFileInfo(copy).path()) || !copy.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot write %1: %2").arg(copy.fileName(), copy.errorString()).toStdString());
    return remote.Sha256(Remote(path), size, [&copy](const QByteArray& chunk) {
        if (!WriteFully(copy, chunk))
            throw std::runtime_error(
                QStringLiteral("Cannot write %1: %2").arg(copy.fileName(), copy.errorString()).toStdString());
    });
}

bool PublishRun::Sendable(const PublishFile& file) const
{
    return file.state == PublishState::New || file.state == PublishState::Replace
        || file.state == PublishState::Unchanged;
}

void PublishRun::LogChecked(const PublishFile& file)
{
    const QString bytes = QStringLiteral("%1 bytes").arg(file.bytes);
    switch (file.state) {
    case PublishState::New:
        return log_.AddRow(
            file.path, Action, options_.dryRun ? QStringLiteral("Would be created") : QStringLiteral("New"), bytes);
    case PublishState::Replace:
        return log_.AddRow(file.path,
                           Action,
                           options_.dryRun ? QStringLiteral("Would be replaced") : QStringLiteral("Replace"),
                           bytes);
    case PublishState::Unchanged:
        return log_.AddRow(
            file.path, Action, QStringLiteral("Unchanged"), QStringLiteral("The server has these bytes already."));
    case PublishState::Refused:
        if (file.overwrite)
            return log_.AddRow(file.path, Action, QStringLiteral("Overwrite"), file.reason);
        return log_.AddFailedRow(file.path, Action, QStringLiteral("Refused"), file.reason);
    case PublishState::Unsafe:
        return log_.AddFailedRow(file.path, Action, QStringLiteral("Unsafe Path"), file.reason);
    case PublishState::Missing:
        return log_.AddFailedRow(file.path, Action, QStringLiteral("Missing"), file.reason);
    case PublishState::Sent:
    case PublishState::Failed:
        return log_.AddFailedRow(file.path, Action, QStringLiteral("Check Failed"), file.reason);
    }
}

bool PublishRun::Backup(std::vector<PublishFile*>& sending)
{
    const QString unfinished = backup_ + UnfinishedBackupSuffix;
    try {
        for (PublishFile* file : sending) {
            // A refused file whose bytes the check did not read: read (and keep) them now.
            if (file->onServer && file->before.isEmpty())
                file->before = ReadServerFile(file->path, -1, workers_->First());
            manifest_.rows.push_back({file->path, file->onServer ? file->before : QByteArray(), file->after});
        }
        // The copies were written without a flush each: one flush of their file system for all.
        const int folder
            = ::open(QFile::encodeName(state_.ProgramFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int flushed = folder < 0 ? -1 : ::syncfs(folder);
        const int error = errno;
        if (folder >= 0)
            ::close(folder);
        if (flushed != 0)
            throw std::runtime_error(SystemErrorText(error).toStdString());
        WriteWholeFile(state_.ProgramFolder,
                       state_.ProgramFolder,
                       unfinished + u'/' + ManifestFileName,
                       [this](WholeFile& out) { out.Write(ManifestBytes(manifest_)); });
        const QByteArray from = QFile::encodeName(state_.ProgramFolder + u'/' + unfinished);
        const QByteArray to = QFile::encodeName(state_.ProgramFolder + u'/' + backup_);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0)
            throw std::runtime_error(SystemErrorText(errno).toStdString());
    } catch (const std::exception& e) {
        log_.AddFailedRow(QString(),
                          Action,
                          QStringLiteral("Backup Failed"),
                          QStringLiteral("Unable to back up the server's files to %1: %2; nothing was sent.")
                              .arg(state_.ProgramFolder + u'/' + backup_, QString::fromStdString(e.what())));
        return false;
    }
    log_.AddRow(QString(),
                Action,
                QStringLiteral("Backup Server Files"),
                QStringLiteral("The server's files are backed up to: ") + state_.ProgramFolder + u'/' + backup_);
    return true;
}

void PublishRun::Send(size_t index, PublishFile& file, RemoteFiles& remote)
{
    const QString target = Remote(file.path);
    const QString temporary = RemoteFiles::TemporaryName(target);
    bool replacing = false;
    try {
        if (file.folderMissing)
            remote.MakeFolders(server_.folder, file.path.section(u'/', 0, -2));
        // The folders again at the moment of writing: a link planted on the way since the check is never
        // written through. The file itself is never opened for writing, only renamed over.
        const QString folder = file.path.section(u'/', 0, -2);
        if (const QString unsafe = folder.isEmpty() ? QString() : remote.UnsafeElement(server_.folder, folder);
            !unsafe.isEmpty())
            throw RemoteError(RefusedLinkText(unsafe).toStdString());
        remote.Upload(temporary, output_[index], file.mode);
        replacing = true;
        remote.Replace(temporary, target, file.onServer);
    } catch (const std::exception& e) {
        const bool dropped = !remote.Connected();
        lost_ = lost_ || dropped;
        uncertain_[index] = replacing && dropped;
        file.state = PublishState::Failed;
        file.reason = QString::fromStdString(e.what());
        return;
    }
    file.state = PublishState::Sent;
}

void PublishRun::LogSent(const PublishFile& file)
{
    if (file.state != PublishState::Sent)
        return log_.AddFailedRow(file.path, Action, QStringLiteral("Send Failed"), file.reason);
    log_.AddRow(file.path,
                Action,
                file.onServer ? QStringLiteral("Replaced") : QStringLiteral("Created"),
                QStringLiteral("%1 (%2 bytes, mode %3)")
                    .arg(Remote(file.path))
                    .arg(file.bytes)
                    .arg(file.mode, 4, 8, QChar(u'0')));
}

// The manifest again, complete, without the files that were never sent: one whose connection
// dropped while it was put in place stays listed, since it may be new.
void PublishRun::Complete(std::vector<PublishFile>& files, const std::vector<size_t>& sending)
{
    for (size_t index : sending) {
        const QString& path = files[index].path;
        if (files[index].state != PublishState::Sent && !uncertain_[index])
            std::erase_if(manifest_.rows, [&path](const ManifestRow& row) { return row.path == path; });
    }
    manifest_.complete = true;
    try {
        WriteWholeFile(state_.ProgramFolder,
                       state_.ProgramFolder,
                       backup_ + u'/' + ManifestFileName,
                       [this](WholeFile& out) { out.Write(ManifestBytes(manifest_)); });
    } catch (const std::exception& e) {
        log_.AddFailedRow(QString(), Action, QStringLiteral("Write Error"), QString::fromStdString(e.what()));
    }
}

} // namespace

QString PublishStateText(PublishState state)
{
    static const char* const texts[]
        = {"new", "replaced", "unchanged", "refused", "unsafe", "missing", "sent", "failed"};
    return QLatin1String(texts[int(state)]);
}

std::optional<std::vector<PublishFile>> InstalledFiles(AppState& state, int hackNum)
{
    Recordset hack(state.Connection);
    if (!OpenHackRow(hack, hackNum))
        return std::nullopt;
    const BoardLayout layout = LayoutOf(state, hack.Int("HackType"));
    std::map<QString, PublishFile> files;
    Recordset mods(state.Connection);
    mods.ReOpen(sql::SelectHackDataOf + QString::number(hackNum) + sql::OrderByFileNameModOrder);
    for (mods.MoveFirst(); mods.RecordCount() > 0 && !mods.EOF(); mods.MoveNext()) {
        const ModTarget target = ModTargetFrom(layout, mods);
        if (target.insideRoot)
            AddFile(files, target.relativePath, LocationIndex(mods.Value("PrimaryDir")));
    }
    Recordset support(state.Connection);
    support.ReOpen(sql::SelectHackFilesOf + QString::number(hackNum) + sql::OrderByFileName);
    for (support.MoveFirst(); support.RecordCount() > 0 && !support.EOF(); support.MoveNext()) {
        const int location = LocationIndex(support.Value("Location"));
        const QString folder = ResolveSupportFileDirectory(layout, location, support.Value("CustomDir"));
        AddFile(files, folder + u'/' + support.Text("FileName"), location);
    }
    std::vector<PublishFile> list;
    for (auto& [path, file] : files)
        list.push_back(std::move(file));
    return list;
}

PublishResult PublishInstallation(AppState& state,
                                  int hackNum,
                                  const Server& server,
                                  const ConnectOptions& connect,
                                  const PublishOptions& options,
                                  LogSink& log,
                                  std::vector<PublishFile>& files)
{
    return RunForResult(state, DatabaseUse::Reads, PublishOutcome::Failed, [&] {
        return PublishResult {PublishRun(state, hackNum, server, options, log).Run(connect, files), std::nullopt};
    });
}

} // namespace zp
