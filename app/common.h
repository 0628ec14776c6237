#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

namespace zp {

struct AppState;

// The program's name: the main window's caption and the title of the messages that belong to no
// window of their own.
inline constexpr char ProgramTitle[] = "Zenpatch";

// Builds ConnectionString, opens the shared connection on <ProgramFolder>/zpatch.zpd and creates
// the four shared recordsets closed. Throws DatabaseError.
void OpenDatabase(AppState& state);
// Closes the connection and every open shared recordset, then releases them.
void CloseDatabase(AppState& state);
// Reads the configuration row into the state and loads DirectoryTable. NotConfigured when SourceDir
// or OutputDir is Null: the program then shows NotConfiguredMessage and opens the Options dialog.
enum class ConfigurationLoad { Loaded, NoRow, NotConfigured };
ConfigurationLoad LoadConfiguration(AppState& state);

// The program folder: $ZENPATCH_HOME; else the executable's folder when zpatch.zpd is there;
// else $XDG_DATA_HOME/zenpatch, seeded from the installed template database when it has none.
QString ProgramFolder(const QString& executableDir);
// $XDG_DATA_HOME, or ~/.local/share when it is unset or empty.
QString XdgDataHome();
// The program folder that a start without $ZENPATCH_HOME (or --home) would use; seeds nothing.
QString DefaultProgramFolder(const QString& executableDir);

// The program's arguments, without the program itself: a leading "--home DIR" (or "--home=DIR")
// names the program folder for one run; the rest, joined by single spaces, is the command line
// (the path of a hack file to import: the desktop passes it as one argument, a terminal user may
// not have quoted a path with blanks).
struct ProgramArguments
{
    QString home;
    QString commandLine;
};
ProgramArguments SplitProgramArguments(QStringList arguments);

// Opens the file at `path` into `file` without ever waiting on it: a FIFO, a socket, a device or a
// folder in its place, or behind a link there, is refused before a byte is read or written. `mode`
// is ReadOnly, or WriteOnly (with Append), which makes a missing file. Returns why it could not be
// opened ("not a regular file (a FIFO)", or the system's reason); empty once it is open. The
// file is opened by its descriptor, so `file` has no name: errors and removals name `path`.
QString OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode = QIODevice::ReadOnly);
// "not a regular file (a FIFO)" (a folder, a socket, a device) for `mode` as stat gives it; empty
// for a regular file.
QString NotRegularText(unsigned mode);

bool FileExists(const QString& path);
// True for an existing folder and, like the directory listing it stands for, an existing file.
bool DirExists(const QString& path);
// Creates every missing level of the path; returns DirExists(path). Errors are not reported.
bool MakePath(const QString& path);
// Refuses the empty path, "/" and the home folder; errors are swallowed.
void DeleteFolderTree(const QString& path);
// Removes everything inside the folder and keeps the folder; a symbolic link inside is removed, never
// followed. The same guards as DeleteFolderTree; errors are swallowed.
void EmptyFolderTree(const QString& path);
// Throws std::runtime_error naming the failure.
void CopyFolderTree(const QString& source, const QString& destination, bool overwrite);
// Both split at '/' (and at '\' in names that came from Windows). FolderOf keeps a trailing '/':
// "/a/b.txt" -> "/a/"; a bare name is returned unchanged, the empty string stays empty.
QString FileNameOf(const QString& path);
QString FolderOf(const QString& path);
// The absolute form of a path, symlinks of its existing part resolved, without trailing '/'.
QString CanonicalFolder(const QString& path);
// "hh:mm:ss" (or empty for now) -> 12-hour text without seconds: 13:05:22 -> "1:05pm".
QString TimeText(const QString& time = QString());
// Date$: "mm-dd-yyyy", the date as every window and the command line show it.
QString DateText(const QDate& date);
// Date$ + " " + TimeText(Time$), e.g. "12-06-2001 2:49am": the LastMod / LastInstall stamp, and
// how every window and the command line show a moment.
QString TimeStamp();
QString TimeStamp(const QDateTime& moment);

} // namespace zp
