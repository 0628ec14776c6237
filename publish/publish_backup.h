#pragma once

#include "install/backup_manifest.h"

#include <QString>
#include <optional>
#include <vector>

namespace zp {

// One folder backups/<HackNum>-<yyyymmdd-hhmmss>-<server>[-n] of the program folder: the server's
// files that a publish replaced, at their paths below the server's folder, and the manifest
// (manifest.tsv, as for the source backups: its rows name every file the publish puts in place,
// and a publish that was killed leaves it without its completion line).
struct PublishBackup
{
    QString name;
    int hackNum = 0;
    QString server;
    bool complete = false;
    bool reverted = false;
};

// The folder a publish of the hack to the server would make now, relative to the program folder.
QString NewPublishBackupFolder(const QString& programFolder, int hackNum, const QString& server);
// The publish backups of the hack to the server, newest first; a folder behind a link is none.
std::vector<PublishBackup> ListPublishBackups(const QString& programFolder, int hackNum, const QString& server);
// The manifest of a publish backup. Throws ManifestError for one that is missing, behind a link,
// too large or not as written.
BackupManifest ReadPublishManifest(const QString& programFolder, const QString& name);

} // namespace zp
