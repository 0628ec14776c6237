#include "install/mod_pass.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/worker_threads.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/find_routines.h"
#include "engine/work_buffer.h"
#include "install/board_file_cache.h"
#include "install/installation_host.h"

#include <QFileInfo>
#include <algorithm>

namespace zp {

namespace {

void Replay(LogSink& log, const std::vector<LogRow>& rows)
{
    for (const LogRow& row : rows)
        log.AddLogRow(row);
}

// Why a mod was not applied: what its red row explains, else that row's description.
QString FailureOf(const std::vector<LogRow>& rows)
{
    for (const LogRow& row : rows) {
        if (row.red)
            return row.why.isEmpty() ? row.Description : row.why;
    }
    return QString();
}

} // namespace

// One board file's share of the pass: its mods (one after the other in the pass), what its thread
// needs to know, and what became of it.
struct ModPass::FileWork
{
    struct Mod
    {
        ModRecord record;
        int order = 0;
        int index = 0; // among all the mods of the hack
    };

    ModTarget target;
    std::vector<Mod> mods;
    QString outputDir;
    bool searchOutputFirst = false;
    bool lfOnly = false;
    QString savedCopy; // its working copy from earlier in the run, loaded instead of the board's file
    QString workFile; // where it is saved; empty when the work folder could not be made

    std::vector<std::vector<LogRow>> rows; // each mod's rows
    std::vector<LogRow> saveRows;
    std::vector<char> found, applied; // for each mod
    QStringList instructions;
    QString origin; // the board file it was loaded from
    bool loaded = false;
    bool written = false;
};

ModPass::ModPass(AppState& state,
                 int hackNum,
                 BoardLayout layout,
                 InstallationHost& host,
                 LogSink& log,
                 QString workFolder,
                 QString sourceRoot,
                 std::map<QString, QString>& saved,
                 BoardFileCache* cache)
    : state_(state)
    , hackNum_(hackNum)
    , layout_(std::move(layout))
    , host_(host)
    , log_(log)
    , workFolder_(std::move(workFolder))
    , sourceRoot_(std::move(sourceRoot))
    , saved_(saved)
    , cache_(cache)
{
}

bool ModPass::Run()
{
    Recordset mods(state_.Connection);
    mods.Open(sql::SelectHackDataOf + QString::number(hackNum_) + sql::OrderByFileNameModOrder);
    modCount_ = mods.RecordCount();
    if (modCount_ == 0) {
        log_.AddRow(
            QString(), QString(), QStringLiteral("No Actions"), QStringLiteral("Nothing to do, installation stopped."));
        return false;
    }
    for (const auto& entry : saved_)
        lastWorkFile_ = std::max(lastWorkFile_, entry.second.section(u'/', -1).toInt());
    ByteBudget budget(kBoardBytesAtOnce);
    OrderedJobs<FileWork> files([this](FileWork& work) { Report(work); }, [this] { log_.ProcessEvents(); });
    std::set<QString> begun;
    // Each file is begun once its mods are read, while the threads work on the files before it.
    const auto start = [&](FileWork&& work) {
        // A file that comes up again carries on from what its earlier mods left.
        if (!begun.insert(work.target.relativePath).second)
            files.Finish();
        Begin(work);
        files.Add(std::move(work), [this, &budget](FileWork& file) { Process(file, budget); });
    };
    FileWork next;
    ModReader reader(mods);
    mods.MoveFirst();
    for (int index = 0; index < modCount_ && !mods.EOF(); ++index, mods.MoveNext()) {
        const ModTarget& target = reader.Target(layout_);
        if (only_ && !only_->contains(target.relativePath))
            continue;
        if (!next.mods.empty()
            && (next.target.relativePath != target.relativePath || next.target.insideRoot != target.insideRoot))
            start(std::exchange(next, FileWork()));
        next.target = target;
        next.mods.push_back(FileWork::Mod {reader.Record(), reader.Order(), index});
    }
    if (!next.mods.empty())
        start(std::move(next));
    files.Finish();
    host_.ModsDone(modCount_, modCount_);
    return true;
}

// What a file's thread needs from the window thread: the options as they are now, and where the
// file is kept in the work folder.
void ModPass::Begin(FileWork& work)
{
    const size_t count = work.mods.size();
    work.rows.resize(count);
    work.found.resize(count);
    work.applied.resize(count);
    if (!work.target.insideRoot)
        return;
    work.outputDir = state_.OutputDir;
    work.searchOutputFirst = host_.SearchOutputFirst();
    work.lfOnly = host_.LfLineEnds();
    if (const auto saved = saved_.find(work.target.relativePath); saved != saved_.end())
        work.savedCopy = work.workFile = saved->second;
    else if (DirExists(workFolder_) || MakePath(workFolder_))
        work.workFile = Below(workFolder_, QString::number(++lastWorkFile_));
}

// On a worker thread: loads the file, applies its mods and saves it into the work folder, keeping
// the rows for Report.
void ModPass::Process(FileWork& work, ByteBudget& budget) const
{
    BudgetShare share(budget);
    WorkBuffer buffer;
    RecordingLog log;
    for (size_t i = 0; i < work.mods.size(); ++i) {
        const ModRecord& mod = work.mods[i].record;
        if (!work.target.insideRoot) {
            log.AddFailedRow(mod.FileName,
                             ActionName(mod.ActionType),
                             QStringLiteral("Unsafe Path"),
                             QStringLiteral("Refused a file outside the board folders: ") + work.target.relativePath);
        } else if (work.loaded || (work.loaded = LoadBoardFile(work, buffer, mod, log, share))) {
            work.found[i] = true;
            work.applied[i] = ApplyMod(buffer, mod, log);
        }
        work.rows[i] = std::exchange(log.rows, {});
    }
    if (work.loaded && !work.workFile.isEmpty()) {
        try {
            buffer.SaveFile(work.workFile, work.lfOnly, startWriteBack_);
            work.written = true;
        } catch (const std::exception& e) {
            log.AddFailedRow(
                work.target.fileName, QString(), QStringLiteral("Write Error"), QString::fromStdString(e.what()));
        }
        work.saveRows = std::move(log.rows);
    }
}

bool ModPass::LoadBoardFile(
    FileWork& work, WorkBuffer& buffer, const ModRecord& mod, LogSink& log, BudgetShare& share) const
{
    const QString path = work.savedCopy.isEmpty() ? LocateBoardFile(work, log) : work.savedCopy;
    if (path.isEmpty()) {
        const QString note = QStringLiteral("Unable to locate the file: ") + work.target.fileName;
        work.instructions << note;
        log.AddFailedRow(mod.FileName, ActionName(mod.ActionType), QStringLiteral("File not found"), note);
        return false;
    }
    share.Take(QFileInfo(path).size());
    try {
        if (cache_ && work.savedCopy.isEmpty())
            buffer = cache_->Load(path);
        else
            buffer.LoadFile(path);
    } catch (const std::exception& e) {
        log.AddFailedRow(
            mod.FileName, ActionName(mod.ActionType), QStringLiteral("Read Error"), QString::fromStdString(e.what()));
        return false;
    }
    if (work.savedCopy.isEmpty())
        work.origin = path;
    return true;
}

QString ModPass::LocateBoardFile(const FileWork& work, LogSink& log) const
{
    const ModTarget& target = work.target;
    QString path;
    if (work.searchOutputFirst && FileExists(Below(work.outputDir, target.relativePath)))
        path = FindFileInTree(target.fileName, Below(work.outputDir, target.directory));
    const QString sourceFolder = Below(sourceRoot_, target.directory);
    if (!DirExists(sourceFolder)) {
        log.AddRow(
            QString(), QString(), QStringLiteral("Source directory not found"), sourceRoot_ + u'/' + target.directory);
    }
    if (path.isEmpty())
        path = FindFileInTree(target.fileName, sourceFolder);
    return path;
}

// On the window thread, in the order of the mods: the rows, the notes and the results of a file
// its thread has finished.
void ModPass::Report(const FileWork& work)
{
    for (size_t i = 0; i < work.mods.size(); ++i) {
        const FileWork::Mod& mod = work.mods[i];
        host_.ModsDone(mod.index, modCount_);
        Replay(log_, work.rows[i]);
        log_.ProcessEvents();
        results_.push_back(ModResult {mod.record,
                                      mod.order,
                                      work.target.relativePath,
                                      bool(work.applied[i]),
                                      bool(work.found[i]),
                                      work.applied[i] ? QString() : FailureOf(work.rows[i])});
    }
    for (const QString& line : work.instructions)
        host_.AppendInstructionLine(line);
    if (!work.target.insideRoot)
        allWritten_ = false;
    if (!work.origin.isEmpty())
        origins_.try_emplace(work.target.relativePath, work.origin);
    if (!work.loaded)
        return;
    if (work.workFile.isEmpty()) {
        allWritten_ = false;
        state_.dialogs.messageBox(QStringLiteral("Unable to create Modification Dir, mod file skipped."),
                                  ProgramTitle,
                                  MsgButtons::OK,
                                  MsgIcon::None);
    } else if (work.written) {
        saved_.try_emplace(work.target.relativePath, work.workFile);
    } else {
        saved_.erase(work.target.relativePath); // a file that could not be written whole is gone
        allWritten_ = false;
        Replay(log_, work.saveRows);
    }
}

} // namespace zp
