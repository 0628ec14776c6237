#include "publish/publish_backup.h"

#include "app/regular_file.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace zp {

namespace {

// A manifest beyond this size is no manifest of ours.
constexpr qint64 ManifestLimit = qint64(256) << 20;

const QRegularExpression
    BackupName(QStringLiteral("^([0-9]{1,10})-([0-9]{8}-[0-9]{6})-([A-Za-z][A-Za-z0-9_.]{0,63})(?:-([0-9]{1,9}))?$"));

} // namespace

QString NewPublishBackupFolder(const QString& programFolder, int hackNum, const QString& server)
{
    const QString base = QString(BackupsFolder) + u'/' + QString::number(hackNum) + u'-'
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")) + u'-' + server;
    QString folder = base;
    for (int n = 2; QFileInfo::exists(programFolder + u'/' + folder); ++n)
        folder = base + u'-' + QString::number(n);
    return folder;
}

std::vector<PublishBackup> ListPublishBackups(const QString& programFolder, int hackNum, const QString& server)
{
    std::vector<PublishBackup> backups;
    const QStringList names
        = QDir(programFolder + u'/' + BackupsFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = BackupName.match(name);
        if (!match.hasMatch() || match.captured(1).toInt() != hackNum
            || match.captured(3).compare(server, Qt::CaseInsensitive) != 0)
            continue;
        PublishBackup backup {name, hackNum, match.captured(3)};
        try {
            backup.complete = ReadPublishManifest(programFolder, name).complete;
        } catch (const ManifestError&) {
            continue; // a damaged or missing manifest: no revert reads it
        }
        backup.reverted
            = QFileInfo::exists(programFolder + u'/' + BackupsFolder + u'/' + name + u'/' + RevertedMarkName);
        backups.push_back(backup);
    }
    const auto key = [](const PublishBackup& backup) {
        const QRegularExpressionMatch match = BackupName.match(backup.name);
        return std::pair(match.captured(2), match.captured(4).toInt());
    };
    std::sort(backups.begin(), backups.end(), [&key](const PublishBackup& a, const PublishBackup& b) {
        return key(a) > key(b);
    });
    return backups;
}

BackupManifest ReadPublishManifest(const QString& programFolder, const QString& name)
{
    const FileBytes file = ReadRegularFileBelow(
        programFolder, QString(BackupsFolder) + u'/' + name + u'/' + ManifestFileName, ManifestLimit);
    if (!file.Read())
        throw ManifestError(
            QStringLiteral("the manifest of %1 cannot be read: %2").arg(name, file.problem).toStdString());
    return ParseManifest(file.bytes);
}

} // namespace zp
