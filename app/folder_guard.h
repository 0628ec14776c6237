#pragma once

#include <QString>
#include <optional>

namespace zp {

struct AppState;

// A folder that must keep its content: what it is ("the program folder") and where.
struct GuardedFolder
{
    QString what;
    QString path;
};

// The folder that emptying `output` would destroy or that empties `output` itself: the program folder
// (the database, the backups, the exchange and work folders) when the output folder is it or holds it;
// the backups, exchange or work folder when the output folder is one of them or lies inside one; the
// source folder when the two overlap in any way. Paths are compared with links resolved. Nothing when
// the output folder is clear of them all (an empty source folder is not compared).
std::optional<GuardedFolder>
OutputFolderConflict(const QString& programFolder, const QString& sourceFolder, const QString& output);

// The folder that would delete a hack file exported into `folder`: the output folder (emptied before
// installs) or the exchange and work folders, when `folder` is one of them or lies inside one.
std::optional<GuardedFolder> ExportFolderConflict(const AppState& state, const QString& folder);

// Deletes the output folder before an installation, after OutputFolderConflict has passed on the
// folder as it stands now. A plain folder goes with everything in it; a symbolic link to a folder
// stays a link and the folder it points to is emptied, whether the path ends with '/' or not.
// Returns the refusal text naming the guarded folder, or an empty text once deleted.
QString DeleteOutputFolder(const AppState& state);

} // namespace zp
