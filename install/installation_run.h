#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace zp {

struct AppState;
class LogSink;
class Recordset;

// What the installation asks its caller while it runs: the options (read each time they are
// needed, so a change made during the run applies to the files loaded afterwards) and a place for
// the notes of the run. The window answers from its controls, the command line from its flags.
class InstallationHost
{
public:
    virtual ~InstallationHost() = default;
    virtual bool SearchOutputFirst() const = 0; // "Search Output Directory First?"
    virtual bool DeleteOutputFirst() const = 0; // "Delete Output Directory Before Starting?"
    virtual bool OverwriteSource() const = 0; // "Overwrite Source Files(Be Careful!)?"
    virtual bool LfLineEnds() const = 0; // end of line terminator "LF" rather than "CR/LF"
    virtual void AppendInstructionLine(const QString& text) = 0;
    // Where the source files an overwrite replaces are kept: the folder NewBackupFolder named when the
    // user was asked, or empty for a new one named when the backup is made.
    virtual QString SourceBackupFolder() const { return QString(); }
    // How many of the hack's mods are done: before each mod and once after the last.
    virtual void ModsDone(int /*done*/, int /*total*/) { }
};

enum class InstallOutcome {
    Completed, // through "END Installation"; LastInstall stamped when every file reached its place
    NothingToDo, // the hack has no mods
    Halted, // the job could not start or a folder could not be made; the message box said why
};

// Installs the hack `hackNum` as one job (JobLock):
// copies the board files its mods name into the work folder, applies the mods, writes the support
// files and copies the result into the output folder or over the source folder, logging every
// step. Over the source folder the output folder is neither emptied nor made, whatever
// DeleteOutputFirst says. Every file written appears whole or not at all, and nothing is written
// through a symbolic link below the output or source folder. A hack no longer in the database is
// a red row, and the run halts.
InstallOutcome RunInstallation(AppState& state, int hackNum, InstallationHost& host, LogSink& log);

// Installs several hacks in this order as one job, a hack named twice once: each hack's mods are
// applied over the working copies the hacks before it left (or the board files found as for one
// hack), its support files staged with them, and every file is put in its place (backed up, over
// the source folder, in one backup that names every hack of the run) once all hacks are done. The
// log names each hack at the start of its rows and again, with the end, once the files are in
// place; each hack's LastInstall is stamped only when every file it wrote reached its place. The
// hack list's selection is left alone. A hack no longer in the database is a red row and left out.
// NothingToDo when none of the hacks has a mod.
InstallOutcome
RunInstallations(AppState& state, const std::vector<int>& hackNums, InstallationHost& host, LogSink& log);

// Writes the FileData of the support file at the current row of `files`, bound for `relative` below
// the output folder, somewhere else than there; throws std::runtime_error naming the failure.
using SupportFileWrite = std::function<void(const QString& relative, Recordset& files)>;

// Writes the support files of the hack `hackNum` below OutputDir, in file-name order, or hands each to
// `elsewhere` (a trial) after the same checks of its path. False when one of them could not be
// written.
bool WriteSupportFiles(AppState& state, int hackNum, LogSink& log, const SupportFileWrite& elsewhere = {});

} // namespace zp
