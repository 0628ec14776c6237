#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <vector>

namespace zp {

class LogSink;

// The folder of the program folder that holds the backups of the source, one folder per
// installation over it.
inline constexpr char BackupsFolder[] = "backups";

// One file that an installation over the source folder puts in place.
struct ManifestRow
{
    QString path; // relative to the source folder, '/'-separated, no empty, "." or ".." element
    QByteArray before; // SHA-256 (lowercase hex) of the file it replaces; empty when it creates the file
    QByteArray after; // SHA-256 of the file it writes

    bool operator==(const ManifestRow&) const = default;
};

// The manifest.tsv of a backup folder: what a revert needs to undo the installation. It is written
// before the first source file is replaced and again, complete, when the run ends; a run killed
// meanwhile leaves it without the completion line, and each of its files is then either replaced
// (its bytes match "after") or not yet (they match "before"). The folders the installation makes
// for its files are listed first, each as a row of its path with a trailing '/' and no checksums;
// a manifest of an older version has none. A run that installed several hacks names them, in its
// order, on a line "# hacks" before everything else, each number after a TAB.
struct BackupManifest
{
    std::vector<int> hacks; // the hacks of a run of several; empty for one
    std::vector<QString> folders; // made by the installation below the source folder, outermost first
    std::vector<ManifestRow> rows;
    bool complete = false;
};

inline const QString ManifestFileName = QStringLiteral("manifest.tsv");
// The mark a revert leaves in the backup folder.
inline const QString RevertedMarkName = QStringLiteral("reverted");

// Leaves the mark, with the time, in the backup folder `backupFolder` (relative to the program
// folder); a failure is logged as "Write Error", the revert itself having been done.
void WriteRevertedMark(const QString& programFolder, const QString& backupFolder, LogSink& log);

// A manifest refused: the text says where and why ("line 3: ...").
class ManifestError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

QByteArray ManifestBytes(const BackupManifest& manifest);
// Throws ManifestError for anything ManifestBytes does not write, and for a path that could lead
// anywhere but to a file below the source folder.
BackupManifest ParseManifest(const QByteArray& bytes);

// A relative path as the files are written (separators '/' or '\', empty and "." elements dropped),
// '/'-separated; empty when it has a ".." element or no element at all.
QString NormalRelativePath(const QString& relative);
// Whether a board file at this normalised path would take the place of the manifest or the mark in
// the backup folder.
bool ReservedInBackup(const QString& path);

// The SHA-256 of a file's bytes in lowercase hex. Throws std::runtime_error naming the file and
// the reason when it cannot be read.
QByteArray FileSha256(const QString& path);

} // namespace zp
