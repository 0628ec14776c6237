#include "install/mod_pass.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "install/board_file_cache.h"
#include "install/find_routines.h"
#include "install/install_log.h"
#include "install/installation_run.h"

namespace zp {

ModPass::ModPass(AppState& state,
                 InstallationHost& host,
                 LogSink& log,
                 QString workFolder,
                 QString sourceRoot,
                 std::map<QString, QString>& saved,
                 BoardFileCache* cache)
    : state_(state)
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
    Recordset& mods = *state_.HackDataRecordset;
    mods.ReOpen(sql::SelectHackDataOf + QString::number(state_.CurrentHackNum) + sql::OrderByFileNameModOrder);
    const int count = mods.RecordCount();
    if (count == 0) {
        log_.AddRow(
            QString(), QString(), QStringLiteral("No Actions"), QStringLiteral("Nothing to do, installation stopped."));
        return false;
    }
    mods.MoveFirst();
    for (int i = 0; i < count && !mods.EOF(); ++i, mods.MoveNext()) {
        host_.ModsDone(i, count);
        const ModRecord mod = ModRecordFrom(mods);
        const ModTarget target = ModTargetFrom(state_, mods);
        if (only_ && !only_->contains(target.relativePath))
            continue;
        ModResult& result = results_.emplace_back(
            ModResult {mod, static_cast<int>(mods.Int("ModOrder")), target.relativePath, false});
        if (loaded_ && loaded_->relativePath != target.relativePath)
            SaveWorkFile();
        if (!target.insideRoot) {
            allWritten_ = false;
            log_.AddFailedRow(mod.FileName,
                              ActionName(mod.ActionType),
                              QStringLiteral("Unsafe Path"),
                              QStringLiteral("Refused a file outside the board folders: ") + target.relativePath);
            continue;
        }
        if (!loaded_ && !LoadBoardFile(mod, target))
            continue;
        result.found = true;
        result.applied = ApplyMod(buffer_, mod, log_);
    }
    if (loaded_)
        SaveWorkFile();
    host_.ModsDone(count, count);
    return true;
}

bool ModPass::LoadBoardFile(const ModRecord& mod, const ModTarget& target)
{
    // A file already written by this run keeps the changes of its earlier mods.
    const auto saved = saved_.find(target.relativePath);
    const QString path = saved != saved_.end() ? saved->second : LocateBoardFile(target);
    if (path.isEmpty()) {
        const QString note = QStringLiteral("Unable to locate the file: ") + target.fileName;
        host_.AppendInstructionLine(note);
        log_.AddFailedRow(mod.FileName, ActionName(mod.ActionType), QStringLiteral("File not found"), note);
        return false;
    }
    try {
        if (cache_ && saved == saved_.end())
            buffer_ = cache_->Load(path);
        else
            buffer_.LoadFile(path);
    } catch (const std::exception& e) {
        log_.AddFailedRow(
            mod.FileName, ActionName(mod.ActionType), QStringLiteral("Read Error"), QString::fromStdString(e.what()));
        return false;
    }
    if (saved == saved_.end())
        origins_.try_emplace(target.relativePath, path);
    loaded_ = target;
    return true;
}

QString ModPass::LocateBoardFile(const ModTarget& target)
{
    QString path;
    if (host_.SearchOutputFirst() && FileExists(Below(state_.OutputDir, target.relativePath)))
        path = FindFileInTree(target.fileName, Below(state_.OutputDir, target.directory));
    const QString sourceFolder = Below(sourceRoot_, target.directory);
    if (!DirExists(sourceFolder)) {
        log_.AddRow(
            QString(), QString(), QStringLiteral("Source directory not found"), sourceRoot_ + u'/' + target.directory);
    }
    if (path.isEmpty())
        path = FindFileInTree(target.fileName, sourceFolder);
    return path;
}

// Writes the buffer into the work folder with the chosen line ends. The work folder is flat, one
// numbered file per board file: a tree of location folders there would cost folders to make and
// remove on every run.
void ModPass::SaveWorkFile()
{
    if (!DirExists(workFolder_) && !MakePath(workFolder_)) {
        allWritten_ = false;
        state_.dialogs.messageBox(QStringLiteral("Unable to create Modification Dir, mod file skipped."),
                                  QStringLiteral("Zenpatch"),
                                  MsgButtons::OK,
                                  MsgIcon::None);
    } else {
        const auto [saved, added]
            = saved_.try_emplace(loaded_->relativePath, Below(workFolder_, QString::number(saved_.size() + 1)));
        try {
            buffer_.SaveFile(saved->second, host_.LfLineEnds());
        } catch (const std::exception& e) {
            saved_.erase(saved); // a file that could not be written whole is gone
            allWritten_ = false;
            log_.AddFailedRow(
                loaded_->fileName, QString(), QStringLiteral("Write Error"), QString::fromStdString(e.what()));
        }
    }
    loaded_.reset();
}

} // namespace zp
