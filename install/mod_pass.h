#pragma once

#include "app/board_directories.h"
#include "engine/mod_target.h"
#include "engine/modification_engine.h"

#include <QString>
#include <map>
#include <set>
#include <vector>

namespace zp {

struct AppState;
class BoardFileCache;
class BudgetShare;
class ByteBudget;
class InstallationHost;
class LogSink;
class WorkBuffer;

// What became of one mod of a pass.
struct ModResult
{
    ModRecord mod;
    int ModOrder = 0;
    QString relativePath; // the board file it names, "/" separators, below the board root
    bool applied = false; // false when its file was refused or not found, or the engine did not apply it
    bool found = false; // its board file was found and read
    QString failure {}; // why it was not applied, as its log row says
};

// The heart of an installation: the mods of the hack `hackNum` applied file by file. Each board file is
// located below its location folder (in the hack's board `layout`) in the output folder first when the host asks for
// it, then below `sourceRoot`, loaded into a work buffer, changed by its mods in ModOrder order and saved into the flat
// work folder (one numbered file per board file) with the host's line ends. A file already in `saved` (a working copy
// that an earlier pass of the same run or an earlier trial left) is loaded from there, so it keeps the changes made to
// it before. With a cache, a file of the board is read through it.
//
// Board files are worked on side by side on a few threads; the log, the host and the results hear
// of each file in the order of the mods, as if the files had been done one after the other. The
// host's options are read as each file is begun.
class ModPass
{
public:
    ModPass(AppState& state,
            int hackNum,
            BoardLayout layout,
            InstallationHost& host,
            LogSink& log,
            QString workFolder,
            QString sourceRoot,
            std::map<QString, QString>& saved,
            BoardFileCache* cache = nullptr);

    // Leaves out the mods of every board file but these (relative paths), for a caller that looks
    // at those files only.
    void LimitTo(const std::set<QString>* files) { only_ = files; }

    // For a pass whose work files are flushed to disk and put in place afterwards: each starts on
    // its way to the disk as soon as it is saved, while the other files are worked on.
    void StartWriteBack() { startWriteBack_ = true; }

    // False when the hack has no mods (logged as "No Actions").
    bool Run();

    // Every file reached the work folder.
    bool AllWritten() const { return allWritten_; }
    const std::vector<ModResult>& Results() const { return results_; }
    // For each file first loaded by this pass: where it was loaded from.
    const std::map<QString, QString>& Origins() const { return origins_; }

private:
    struct FileWork;

    void Begin(FileWork& work);
    void Process(FileWork& work, ByteBudget& budget) const;
    bool
    LoadBoardFile(FileWork& work, WorkBuffer& buffer, const ModRecord& mod, LogSink& log, BudgetShare& share) const;
    QString LocateBoardFile(const FileWork& work, LogSink& log) const;
    void Report(const FileWork& work);

    AppState& state_;
    const int hackNum_;
    const BoardLayout layout_;
    InstallationHost& host_;
    LogSink& log_;
    const QString workFolder_;
    const QString sourceRoot_;
    std::map<QString, QString>& saved_; // relative path -> its file in the work folder, in name order
    BoardFileCache* const cache_;
    const std::set<QString>* only_ = nullptr;
    bool startWriteBack_ = false;
    int modCount_ = 0;
    int lastWorkFile_ = 0; // the number of the newest file in the work folder
    std::map<QString, QString> origins_;
    std::vector<ModResult> results_;
    bool allWritten_ = true;
};

} // namespace zp
