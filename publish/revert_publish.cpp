#include "publish/revert_publish.h"

#include "app/app_state.h"
#include "app/job_lock.h"
#include "app/regular_file.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/backup_manifest.h"
#include "publish/publish_backup.h"
#include "publish/remote_files.h"
#include "publish/servers.h"
#include "publish/sha256.h"

#include <QFileInfo>

namespace zp {

namespace {

constexpr qint64 FileLimit = qint64(64) << 20;

class RevertRun
{
public:
    RevertRun(AppState& state, int hackNum, const Server& server, const QString& name, bool dryRun, LogSink& log)
        : state_(state)
        , hackNum_(hackNum)
        , hack_(state.Connection)
        , server_(server)
        , folder_(QString(BackupsFolder) + u'/' + name)
        , name_(name)
        , dryRun_(dryRun)
        , log_(log)
    {
    }

    RevertPublishOutcome Run(const ConnectOptions& connect);

private:
    void RevertFile(const ManifestRow& row);
    void Failed(const ManifestRow& row, const QString& comment, const QString& description);

    AppState& state_;
    const int hackNum_;
    Recordset hack_; // the hack's row, for its name in the log
    const Server& server_;
    const QString folder_; // relative to the program folder
    const QString name_;
    const bool dryRun_;
    LogSink& log_;
    std::unique_ptr<RemoteSession> session_;
    std::unique_ptr<RemoteFiles> remote_;
    bool allAsBefore_ = true;
};

RevertPublishOutcome RevertRun::Run(const ConnectOptions& connect)
{
    log_.Clear();
    if (!OpenHackRow(hack_, hackNum_)) {
        log_.AddFailedRow(QString(),
                          QString(),
                          QStringLiteral("Hack Missing"),
                          QStringLiteral("This hack is no longer in the database."));
        return RevertPublishOutcome::HackGone;
    }
    LogHackName(hack_, log_, QStringLiteral("BEGIN Revert Publish"));
    BackupManifest manifest;
    try {
        manifest = ReadPublishManifest(state_.ProgramFolder, name_);
    } catch (const ManifestError& e) {
        log_.AddFailedRow(QString(), QString(), QStringLiteral("Manifest Refused"), QString::fromStdString(e.what()));
        return RevertPublishOutcome::Failed;
    }
    if (QFileInfo::exists(state_.ProgramFolder + u'/' + folder_ + u'/' + RevertedMarkName)) {
        log_.AddRow(
            QString(),
            QString(),
            QStringLiteral("Already Reverted"),
            QStringLiteral("The publish kept in %1 has been reverted already; nothing was changed.").arg(name_));
        return RevertPublishOutcome::AlreadyReverted;
    }
    try {
        session_ = std::make_unique<RemoteSession>(server_, connect);
        remote_ = std::make_unique<RemoteFiles>(*session_);
    } catch (const RemoteError& e) {
        log_.AddFailedRow(QString(), QString(), QStringLiteral("Connection Refused"), QString::fromStdString(e.what()));
        return RevertPublishOutcome::Failed;
    }
    for (const ManifestRow& row : manifest.rows) {
        RevertFile(row);
        log_.ProcessEvents();
    }
    if (allAsBefore_ && !dryRun_)
        WriteRevertedMark(state_.ProgramFolder, folder_, log_);
    LogHackName(hack_, log_, QStringLiteral("END Revert Publish"));
    log_.SetCurrentRow(0);
    return RevertPublishOutcome::Done;
}

void RevertRun::Failed(const ManifestRow& row, const QString& comment, const QString& description)
{
    allAsBefore_ = false;
    log_.AddFailedRow(row.path, QString(), comment, description);
}

void RevertRun::RevertFile(const ManifestRow& row)
{
    const bool created = row.before.isEmpty();
    const QString action = created ? QStringLiteral("Remove") : QStringLiteral("Restore");
    const QString target = server_.folder + u'/' + row.path;
    try {
        RemoteEntry entry;
        if (const QString unsafe = remote_->UnsafeElement(server_.folder, row.path, &entry); !unsafe.isEmpty())
            return Failed(row, QStringLiteral("Unsafe Path"), RefusedLinkText(unsafe));
        if (entry.kind == RemoteKind::Missing && !dryRun_ && remote_->Recover(target))
            entry = remote_->Lstat(target);
        const QByteArray current = entry.kind == RemoteKind::File ? remote_->Sha256(target, entry.size) : QByteArray();
        if (created ? entry.kind == RemoteKind::Missing : current == row.before)
            return log_.AddRow(row.path, action, QStringLiteral("Already as before"), target);
        if (entry.kind != RemoteKind::File || current != row.after)
            return Failed(row, QStringLiteral("changed since the publish"), target);
        QByteArray original;
        if (!created) {
            const FileBytes copy = ReadRegularFileBelow(state_.ProgramFolder, folder_ + u'/' + row.path, FileLimit);
            if (!copy.Read() || Sha256::Hex(copy.bytes) != row.before)
                return Failed(
                    row,
                    QStringLiteral("Restore Error"),
                    QStringLiteral("The backup copy of %1 is missing or differs from the file it kept.").arg(row.path));
            original = copy.bytes;
        }
        if (dryRun_)
            return log_.AddRow(row.path,
                               action,
                               created ? QStringLiteral("Would be removed") : QStringLiteral("Would be restored"),
                               target);
        if (created) {
            remote_->Remove(target);
        } else {
            const QString temporary = RemoteFiles::TemporaryName(target);
            remote_->Upload(temporary, original, entry.mode);
            remote_->Replace(temporary, target, true);
        }
    } catch (const std::exception& e) {
        return Failed(row,
                      created ? QStringLiteral("Remove Error") : QStringLiteral("Restore Error"),
                      QString::fromStdString(e.what()));
    }
    log_.AddRow(row.path, action, created ? QStringLiteral("Removed") : QStringLiteral("Restored"), target);
}

} // namespace

RevertPublishResult RevertPublish(AppState& state,
                                  int hackNum,
                                  const Server& server,
                                  const ConnectOptions& connect,
                                  const QString& name,
                                  bool dryRun,
                                  LogSink& log)
{
    return RunForResult(state, DatabaseUse::Reads, RevertPublishOutcome::Failed, [&] {
        return RevertPublishResult {RevertRun(state, hackNum, server, name, dryRun, log).Run(connect), std::nullopt};
    });
}

} // namespace zp
