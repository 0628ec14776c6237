#include "install/source_backup.h"

#include "app/app_state.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/install_log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace zp {

QString NewBackupFolder(const AppState& state, int hackNum)
{
    const QString base = QString(BackupsFolder) + u'/' + QString::number(hackNum) + u'-'
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString folder = base;
    for (int n = 2; QFileInfo::exists(state.ProgramFolder + u'/' + folder); ++n)
        folder = base + u'-' + QString::number(n);
    return folder;
}

SourceBackup::SourceBackup(const AppState& state, LogSink& log, const QString& folder, const std::vector<int>& hackNums)
    : state_(state)
    , log_(log)
    , folder_(folder)
    , firstHack_(hackNums.front())
{
    if (hackNums.size() > 1)
        manifest_.hacks = hackNums;
}

bool SourceBackup::Begin(const QStringList& files, const std::map<QString, QString>& newContent)
{
    if (files.isEmpty())
        return true;
    if (folder_.isEmpty() || QFileInfo::exists(state_.ProgramFolder + u'/' + folder_))
        folder_ = NewBackupFolder(state_, firstHack_);
    const QString finalFolder = std::exchange(folder_, folder_ + UnfinishedBackupSuffix);
    // The copies are made durable together, before the manifest that names them.
    WholeFileBatch copies(state_.ProgramFolder);
    for (const QString& relative : files) {
        if (!Keep(relative, newContent.at(relative), copies))
            return false;
    }
    bool copied = true;
    copies.Commit([this, &copied](const QString& relative, const QString& reason) {
        copied = false;
        Refuse(state_.SourceDir + relative.mid(folder_.size()), reason);
    });
    if (!copied)
        return false;
    try {
        WriteManifest();
        Publish(finalFolder);
    } catch (const std::exception& e) {
        Refuse(ManifestPath(), QString::fromStdString(e.what()));
        return false;
    }
    log_.AddRow(QString(),
                QString(),
                QStringLiteral("Backup Source Files"),
                QStringLiteral("Replaced source files backed up to: ") + state_.ProgramFolder + u'/' + folder_);
    return true;
}

// Backs up the source file at `relative`, if there is one, and adds its manifest row.
bool SourceBackup::Keep(const QString& relative, const QString& newContent, WholeFileBatch& copies)
{
    const QString path = NormalRelativePath(relative);
    const QString original = state_.SourceDir + u'/' + path;
    if (path.isEmpty()) {
        Refuse(original, QStringLiteral("the path leads out of the source folder"));
        return false;
    }
    if (ReservedInBackup(path)) {
        Refuse(original, QStringLiteral("the backup folder keeps its own file under that name"));
        return false;
    }
    NoteNewFolders(path);
    ManifestRow row {path, QByteArray(), QByteArray()};
    try {
        if (QFileInfo(original).isFile()) {
            row.before = FileSha256(original);
            copies.Stage(original, state_.ProgramFolder, folder_ + u'/' + path, Staging::Copy);
        }
        row.after = FileSha256(newContent);
    } catch (const std::exception& e) {
        Refuse(original, QString::fromStdString(e.what()));
        return false;
    }
    normalPaths_[relative] = path;
    manifest_.rows.push_back(row);
    return true;
}

void SourceBackup::NoteNewFolders(const QString& path)
{
    const QStringList elements = path.split(u'/');
    QString folder;
    for (qsizetype i = 0; i + 1 < elements.size(); ++i) {
        folder += (i > 0 ? QStringLiteral("/") : QString()) + elements[i];
        const QFileInfo info(state_.SourceDir + u'/' + folder);
        if (!info.exists() && !info.isSymLink()
            && std::find(manifest_.folders.begin(), manifest_.folders.end(), folder) == manifest_.folders.end())
            manifest_.folders.push_back(folder);
    }
}

void SourceBackup::Refuse(const QString& what, const QString& reason)
{
    log_.AddFailedRow(
        QString(),
        QString(),
        QStringLiteral("Backup Source Files"),
        QStringLiteral("Unable to back up %1: %2; the source files were left unchanged.").arg(what, reason));
}

QString SourceBackup::ManifestPath() const
{
    return state_.ProgramFolder + u'/' + folder_ + u'/' + ManifestFileName;
}

void SourceBackup::Publish(const QString& finalFolder)
{
    const QByteArray from = QFile::encodeName(state_.ProgramFolder + u'/' + folder_);
    const QByteArray to = QFile::encodeName(state_.ProgramFolder + u'/' + finalFolder);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0)
        throw std::runtime_error(SystemErrorText(errno).toStdString());
    folder_ = finalFolder;
    // The new name is durable before any source file is replaced.
    const int backups = ::open(QFile::encodeName(QFileInfo(state_.ProgramFolder + u'/' + folder_).path()).constData(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = backups >= 0 && ::fsync(backups) == 0;
    const int error = errno;
    if (backups >= 0)
        ::close(backups);
    if (!flushed)
        throw std::runtime_error(SystemErrorText(error).toStdString());
}

void SourceBackup::WriteManifest()
{
    WriteWholeFile(state_.ProgramFolder,
                   state_.ProgramFolder,
                   folder_ + u'/' + ManifestFileName,
                   [this](WholeFile& out) { out.Write(ManifestBytes(manifest_)); });
}

void SourceBackup::Complete(const QStringList& notReplaced)
{
    if (normalPaths_.empty())
        return;
    for (const QString& relative : notReplaced) {
        const auto path = normalPaths_.find(relative);
        if (path != normalPaths_.end())
            std::erase_if(manifest_.rows, [&path](const ManifestRow& row) { return row.path == path->second; });
    }
    manifest_.complete = true;
    try {
        WriteManifest();
    } catch (const std::exception& e) {
        log_.AddFailedRow(QString(),
                          QString(),
                          QStringLiteral("Backup Source Files"),
                          QStringLiteral("Unable to complete the manifest %1: %2")
                              .arg(ManifestPath(), QString::fromStdString(e.what())));
    }
}

} // namespace zp
