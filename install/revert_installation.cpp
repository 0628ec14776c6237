#include "install/revert_installation.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "install/backup_manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <functional>

namespace zp {

namespace {

const QString Title = QStringLiteral("Revert Installation");
// A manifest beyond this size is no manifest of ours (a million files take about 150 MB).
constexpr qint64 ManifestLimit = qint64(256) << 20;

// <HackNum>-<yyyymmdd-hhmmss>, "-<n>" for a second backup within one second.
const QRegularExpression BackupName(QStringLiteral("^([0-9]{1,10})-([0-9]{8}-[0-9]{6})(?:-([0-9]{1,9}))?$"));

QString BackupFolder(const QString& name)
{
    return QString(BackupsFolder) + u'/' + name;
}

// The manifest of a backup, or nothing when it has none. Throws ManifestError for one that cannot
// be trusted: behind a symbolic link, not a regular file, too large, unreadable or not as written.
std::optional<BackupManifest> ReadManifest(const QString& programFolder, const QString& name)
{
    const QString relative = BackupFolder(name) + u'/' + ManifestFileName;
    if (const QString link = LinkOnTheWay(programFolder, relative); !link.isEmpty())
        throw ManifestError(QStringLiteral("it lies behind the symbolic link %1").arg(link).toStdString());
    const QString path = programFolder + u'/' + relative;
    if (!QFile::exists(path))
        return std::nullopt;
    QFile file;
    if (const QString refusal = OpenRegularFile(file, path); !refusal.isEmpty())
        throw ManifestError(refusal.toStdString());
    if (file.size() > ManifestLimit)
        throw ManifestError("it is not a manifest file");
    return ParseManifest(file.readAll());
}

bool MarkedReverted(const QString& programFolder, const QString& name)
{
    return QFileInfo::exists(programFolder + u'/' + BackupFolder(name) + u'/' + RevertedMarkName);
}

std::optional<BackupInfo> DescribeBackup(const QString& programFolder, const QString& name)
{
    const QRegularExpressionMatch match = BackupName.match(name);
    bool isNumber = false;
    const int hackNum = match.captured(1).toInt(&isNumber);
    BackupInfo info {name, hackNum, QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd-hhmmss"))};
    if (!match.hasMatch() || !isNumber || !info.time.isValid())
        return std::nullopt;
    try {
        if (const std::optional<BackupManifest> manifest = ReadManifest(programFolder, name)) {
            info.files = int(manifest->rows.size());
            info.hacks = manifest->hacks;
            info.state = manifest->complete ? BackupState::NotReverted : BackupState::Interrupted;
        }
    } catch (const ManifestError&) {
        info.state = BackupState::Damaged;
    }
    if (info.Revertible() && MarkedReverted(programFolder, name))
        info.state = BackupState::Reverted;
    return info;
}

// The hacks as "Name (number), ...", the number alone for a hack no longer in the database.
QString HackNames(AppState& state, const std::vector<int>& hacks)
{
    QStringList names;
    for (const int hack : hacks) {
        Recordset info(state.Connection);
        info.Open(QStringLiteral("SELECT [Name] FROM [HackInfo] WHERE [HackNum] = %1").arg(hack));
        names << (info.EOF() ? QString::number(hack) : QStringLiteral("%1 (%2)").arg(info.Text("Name")).arg(hack));
    }
    return names.join(QStringLiteral(", "));
}

// The second of two backups made within one second has the suffix 2, and so on.
int Suffix(const BackupInfo& backup)
{
    return backup.name.section(u'-', 3).toInt();
}

// One revert: every file of the manifest put back as it was before the installation.
class Revert
{
public:
    Revert(AppState& state, int hackNum, const QString& name, const RevertOptions& options, LogSink& log)
        : state_(state)
        , hackNum_(hackNum)
        , name_(name)
        , folder_(BackupFolder(name))
        , options_(options)
        , log_(log)
    {
    }

    RevertOutcome Run();
    // Why the revert stopped before it began, when it did.
    const std::optional<UserMessage>& Message() const { return message_; }

private:
    void RevertFile(const ManifestRow& row);
    void RevertFolder(const QString& folder);
    // The backup copy of a replaced file, once it is sure that it holds the bytes the file had.
    QString CheckedCopy(const ManifestRow& row) const;
    void PutBack(const ManifestRow& row, const QString& target) const;
    void WriteMark();
    // The outcome of a revert that stops before it begins, with the message that says why.
    RevertOutcome Stop(RevertOutcome outcome, const QString& text, MsgIcon icon);

    AppState& state_;
    const int hackNum_;
    const QString name_;
    const QString folder_; // relative to the program folder
    const RevertOptions options_;
    LogSink& log_;
    bool allAsBefore_ = true; // every file so far is as before the installation
    std::optional<UserMessage> message_; // why the revert stopped before it began
};

RevertOutcome Revert::Run()
{
    Recordset hack(state_.Connection);
    if (!OpenHackRow(hack, hackNum_)) {
        return Stop(
            RevertOutcome::Refused, QStringLiteral("This hack is no longer in the database."), MsgIcon::Exclamation);
    }
    const QString shown = QDir::toNativeSeparators(state_.ProgramFolder + u'/' + folder_);
    std::optional<BackupManifest> manifest;
    try {
        manifest = ReadManifest(state_.ProgramFolder, name_);
    } catch (const ManifestError& e) {
        return Stop(RevertOutcome::Refused,
                    QStringLiteral("The manifest of the backup %1 cannot be used: %2. Nothing was changed.")
                        .arg(shown, QString::fromStdString(e.what())),
                    MsgIcon::Exclamation);
    }
    if (!manifest) {
        return Stop(
            RevertOutcome::Refused,
            QStringLiteral("The backup %1 has no manifest, so it cannot be reverted. Nothing was changed.").arg(shown),
            MsgIcon::Exclamation);
    }
    if (MarkedReverted(state_.ProgramFolder, name_)) {
        return Stop(
            RevertOutcome::AlreadyReverted,
            QStringLiteral("The installation kept in %1 has already been reverted. Nothing was changed.").arg(shown),
            MsgIcon::Information);
    }
    log_.Clear();
    LogHackName(hack, log_, QStringLiteral("BEGIN Revert"));
    if (!manifest->hacks.empty())
        log_.AddRow(QString(),
                    QString(),
                    QStringLiteral("Several Hacks"),
                    QStringLiteral("The backup keeps one installation of %1: the files of all of them are put back.")
                        .arg(HackNames(state_, manifest->hacks)));
    for (const ManifestRow& row : manifest->rows) {
        RevertFile(row);
        log_.ProcessEvents();
    }
    // Innermost first: a folder's path sorts before the paths of the folders it holds.
    std::vector<QString> folders = manifest->folders;
    std::sort(folders.begin(), folders.end(), std::greater<>());
    for (const QString& folder : folders)
        RevertFolder(folder);
    if (allAsBefore_ && !options_.dryRun)
        WriteMark();
    LogHackName(hack, log_, QStringLiteral("END Revert"));
    log_.SetCurrentRow(0);
    return RevertOutcome::Done;
}

void Revert::RevertFile(const ManifestRow& row)
{
    const bool created = row.before.isEmpty();
    const QString action = created ? QStringLiteral("Remove") : QStringLiteral("Restore");
    const QString target = state_.SourceDir + u'/' + row.path;
    const auto failed = [&](const QString& comment, const QString& description) {
        allAsBefore_ = false;
        log_.AddFailedRow(row.path, action, comment, description);
    };
    if (const QString link = LinkOnTheWay(state_.SourceDir, row.path); !link.isEmpty())
        return failed(QStringLiteral("Unsafe Path"), RefusedLinkText(link));
    const QFileInfo info(target);
    QByteArray current;
    try {
        if (info.isFile())
            current = FileSha256(target);
    } catch (const std::exception& e) {
        return failed(QStringLiteral("Read Error"), QString::fromStdString(e.what()));
    }
    if (created ? !info.exists() : current == row.before)
        return log_.AddRow(row.path, action, QStringLiteral("Already as before"), target);
    const bool asInstalled = current == row.after;
    if (!asInstalled && !options_.force)
        return failed(QStringLiteral("changed since the installation"), target);
    try {
        if (options_.dryRun) {
            if (!created)
                CheckedCopy(row);
            return log_.AddRow(row.path,
                               action,
                               created ? QStringLiteral("Would be removed") : QStringLiteral("Would be restored"),
                               target);
        }
        PutBack(row, target);
    } catch (const std::exception& e) {
        return failed(created ? QStringLiteral("Remove Error") : QStringLiteral("Restore Error"),
                      QString::fromStdString(e.what()));
    }
    log_.AddRow(row.path,
                action,
                created ? QStringLiteral("Removed") : QStringLiteral("Restored"),
                asInstalled ? target : QStringLiteral("changed since the installation, put back anyway: ") + target);
}

// A folder the installation made goes when it is empty again; one that holds anything else stays.
void Revert::RevertFolder(const QString& folder)
{
    const QString shown = folder + u'/';
    const QString action = QStringLiteral("Remove");
    const QString target = state_.SourceDir + u'/' + folder;
    const auto failed = [&](const QString& comment, const QString& description) {
        allAsBefore_ = false;
        log_.AddFailedRow(shown, action, comment, description);
    };
    if (const QString link = LinkOnTheWay(state_.SourceDir, folder); !link.isEmpty())
        return failed(QStringLiteral("Unsafe Path"), RefusedLinkText(link));
    if (!QFileInfo::exists(target))
        return log_.AddRow(shown, action, QStringLiteral("Already as before"), target);
    if (options_.dryRun)
        return log_.AddRow(shown, action, QStringLiteral("Would be removed when empty"), target);
    int error = 0;
    try {
        error = RemoveEmptyFolder(state_.SourceDir, folder);
    } catch (const std::exception& e) {
        return failed(QStringLiteral("Remove Error"), QString::fromStdString(e.what()));
    }
    if (error == ENOTEMPTY || error == EEXIST)
        return log_.AddRow(shown, action, QStringLiteral("Kept, not empty"), target);
    if (error != 0)
        return failed(QStringLiteral("Remove Error"),
                      QStringLiteral("Cannot remove %1: %2").arg(target, SystemErrorText(error)));
    log_.AddRow(shown, action, QStringLiteral("Removed"), target);
}

QString Revert::CheckedCopy(const ManifestRow& row) const
{
    const QString relative = folder_ + u'/' + row.path;
    if (const QString link = LinkOnTheWay(state_.ProgramFolder, relative); !link.isEmpty())
        throw std::runtime_error(
            QStringLiteral("Refused to read through the symbolic link %1").arg(link).toStdString());
    const QString copy = state_.ProgramFolder + u'/' + relative;
    if (FileSha256(copy) != row.before)
        throw std::runtime_error(
            QStringLiteral("The backup copy %1 differs from the file it kept").arg(copy).toStdString());
    return copy;
}

void Revert::PutBack(const ManifestRow& row, const QString& target) const
{
    if (!row.before.isEmpty()) {
        CopyWholeFile(state_.ProgramFolder, CheckedCopy(row), state_.SourceDir, row.path);
        return;
    }
    QFile file(target);
    if (!file.remove())
        throw std::runtime_error(QStringLiteral("Cannot remove %1: %2").arg(target, file.errorString()).toStdString());
}

void Revert::WriteMark()
{
    WriteRevertedMark(state_.ProgramFolder, folder_, log_);
}

RevertOutcome Revert::Stop(RevertOutcome outcome, const QString& text, MsgIcon icon)
{
    message_ = UserMessage {text, Title, icon};
    return outcome;
}

} // namespace

const char* BackupStateText(BackupState state)
{
    switch (state) {
    case BackupState::NotReverted:
        return QT_TRANSLATE_NOOP("zp::frmRevertInstallation", "not reverted");
    case BackupState::Interrupted:
        return QT_TRANSLATE_NOOP("zp::frmRevertInstallation", "interrupted");
    case BackupState::Reverted:
        return QT_TRANSLATE_NOOP("zp::frmRevertInstallation", "reverted");
    case BackupState::NoManifest:
        return QT_TRANSLATE_NOOP("zp::frmRevertInstallation", "no manifest");
    case BackupState::Damaged:
        return QT_TRANSLATE_NOOP("zp::frmRevertInstallation", "damaged manifest");
    }
    return "";
}

bool BackupInfo::Covers(int hack) const
{
    return hack == hackNum || std::find(hacks.begin(), hacks.end(), hack) != hacks.end();
}

std::vector<BackupInfo> ListBackups(const QString& programFolder, std::optional<int> hackNum)
{
    std::vector<BackupInfo> backups;
    // A folder behind a link is none of the backups Zenpatch made.
    const QStringList names
        = QDir(programFolder + u'/' + BackupsFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const std::optional<BackupInfo> backup = DescribeBackup(programFolder, name);
        if (backup && (!hackNum || backup->Covers(*hackNum)))
            backups.push_back(*backup);
    }
    std::sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) {
        if (a.time != b.time)
            return a.time > b.time;
        if (Suffix(a) != Suffix(b))
            return Suffix(a) > Suffix(b);
        return a.hackNum < b.hackNum;
    });
    return backups;
}

std::optional<BackupInfo> FindBackup(const QString& programFolder, int hackNum, const QString& name)
{
    for (const BackupInfo& backup : ListBackups(programFolder, hackNum)) {
        if (name.isEmpty() || backup.name == name)
            return backup;
    }
    return std::nullopt;
}

bool CurrentHackHasBackup(const AppState& state)
{
    const Recordset& hacks = *state.HackInfoRecordset;
    if (!hacks.IsOpen() || hacks.BOF() || hacks.EOF())
        return false;
    return !ListBackups(state.ProgramFolder, hacks.Int("HackNum")).empty();
}

RevertResult
RevertInstallation(AppState& state, int hackNum, const QString& name, const RevertOptions& options, LogSink& log)
{
    if (!BackupName.match(name).hasMatch())
        return {RevertOutcome::Refused, std::nullopt};
    return RunForResult(state, DatabaseUse::Reads, RevertOutcome::Refused, [&] {
        Revert revert(state, hackNum, name, options, log);
        const RevertOutcome outcome = revert.Run();
        return RevertResult {outcome, revert.Message()};
    });
}

} // namespace zp
