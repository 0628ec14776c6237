#pragma once

#include "app/job_lock.h"
#include "install/mod_pass.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace zp {

struct AppState;
class BoardFileCache;
class InstallationHost;
class LogSink;

// A trial installation: the installation run of RunInstallation (the same file search, engine,
// support files and line-end option; the same log rows, less those about making the output
// folder) carried out into a private temporary folder only. Nothing is written to the output
// folder, the source folder, the backups or the database (LastInstall stays), and the job lock is
// not taken: a trial only reads the database and the board files and writes nothing another job
// could meet, so it may run beside one (a file that job replaces is read old or new, never half).
//
// - Source root: the board files are looked up below the folder given to the constructor (the
//   configured SourceDir or any other copy of a board), and below the configured OutputDir first
//   when the host's SearchOutputFirst says so.
// - Working copy: the trial keeps every board or support file its runs changed or made, in its
//   temporary folder (a HeldTemporaryFolder of the program folder, made by the first run) until it
//   is destroyed. Run may be called for several hacks in turn: a later
//   hack finds the files an earlier one changed (or made) in the working copy and builds on them.
// - Results: Mods() tells for each mod of the last run whether it applied, with its FileName,
//   ActionType, ModOrder and Comment; Files() lists the working copy with where each file came
//   from; Bytes() reads a file's bytes now.
class TrialInstallation
{
public:
    struct File
    {
        QString relativePath; // below the board root, "/" separators
        // The file the first run that touched it started from; empty when that run made it.
        QString origin;
        QString workFile; // its bytes now, in the trial's folder
        bool support = false; // a support file: written as stored, into the output folder
    };

    // With a cache, the board files are read through it (one cache per source root).
    explicit TrialInstallation(QString sourceRoot, BoardFileCache* cache = nullptr);

    // Later runs try only the mods and support files of these board files (relative paths): a
    // caller comparing the effect of hacks on the files they share needs no other.
    void LimitTo(std::set<QString> files) { limit_ = std::move(files); }

    // Tries the hack `hackNum` over the working copy, logging as the installation does. False when
    // the hack has no mods or is not in the database. Throws std::runtime_error when the temporary
    // folder cannot be made.
    bool Run(AppState& state, int hackNum, InstallationHost& host, LogSink& log);

    // Every file of the working copy, in the order an installation writes them: the support files
    // of a run in name order, then its board files in path order; a file keeps its first place.
    const std::vector<File>& Files() const { return files_; }
    const std::vector<ModResult>& Mods() const { return mods_; }
    // The bytes of a file (origin or work file); throws std::runtime_error when it cannot be read.
    static QByteArray Bytes(const QString& path);

private:
    void Keep(const QString& relative, const QString& origin, const QString& workFile, bool support);
    void WriteSupportFile(const QString& relative, Recordset& files);

    QString sourceRoot_;
    BoardFileCache* const cache_;
    std::optional<std::set<QString>> limit_;
    std::optional<HeldTemporaryFolder> folder_;
    std::map<QString, QString> saved_; // relative path -> work file
    std::vector<File> files_;
    std::map<QString, size_t> places_; // relative path -> its index in files_
    std::vector<ModResult> mods_;
    int supportFiles_ = 0;
};

} // namespace zp
