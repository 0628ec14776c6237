#pragma once

#include "install/mod_target.h"
#include "install/modification_engine.h"
#include "install/work_buffer.h"

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

// What became of one mod of a pass.
struct ModResult
{
    ModRecord mod;
    int ModOrder = 0;
    QString relativePath; // the board file it names, "/" separators, below the board root
    bool applied = false; // false when its file was refused or not found, or the engine did not apply it
    bool found = false; // its board file was found and read
};

// The heart of an installation: the mods of CurrentHackNum applied file by file. Each board file is
// located below its location folder in the output folder first when the host asks for it, then
// below `sourceRoot`, loaded into the work buffer, changed by its mods in ModOrder order and saved
// into the flat work folder (one numbered file per board file) with the host's line ends. A file
// already in `saved` (a working copy that an earlier pass of the same run or an earlier trial
// left) is loaded from there, so it keeps the changes made to it before. With a cache, a file of
// the board is read through it.
class ModPass
{
public:
    ModPass(AppState& state,
            InstallationHost& host,
            LogSink& log,
            QString workFolder,
            QString sourceRoot,
            std::map<QString, QString>& saved,
            BoardFileCache* cache = nullptr);

    // Leaves out the mods of every board file but these (relative paths), for a caller that looks
    // at those files only.
    void LimitTo(const std::set<QString>* files) { only_ = files; }

    // False when the hack has no mods (logged as "No Actions").
    bool Run();

    // Every file reached the work folder.
    bool AllWritten() const { return allWritten_; }
    const std::vector<ModResult>& Results() const { return results_; }
    // For each file first loaded by this pass: where it was loaded from.
    const std::map<QString, QString>& Origins() const { return origins_; }

private:
    bool LoadBoardFile(const ModRecord& mod, const ModTarget& target);
    QString LocateBoardFile(const ModTarget& target);
    void SaveWorkFile();

    AppState& state_;
    InstallationHost& host_;
    LogSink& log_;
    const QString workFolder_;
    const QString sourceRoot_;
    std::map<QString, QString>& saved_; // relative path -> its file in the work folder, in name order
    BoardFileCache* const cache_;
    const std::set<QString>* only_ = nullptr;
    WorkBuffer buffer_;
    std::optional<ModTarget> loaded_; // the board file in the buffer
    std::map<QString, QString> origins_;
    std::vector<ModResult> results_;
    bool allWritten_ = true;
};

} // namespace zp
