#include "analysis/analysis_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "database/sql.h"
#include "install/find_routines.h"
#include "install/install_log.h"
#include "install/mod_target.h"
#include "install/work_buffer.h"

#include <QHash>

namespace zp {

namespace {

// Every mod is tried on the unchanged source file; a file read for one mod serves the next
// mods of the same file, which is the same as reading it afresh since nothing changes it.
class SourceReader
{
public:
    // The text of the file, or nullptr after a red row naming the failure.
    const FoldedText* Read(const QString& path, const ModRecord& mod, LogSink& log)
    {
        if (path == path_)
            return &buffer_.Searchable();
        path_.clear();
        try {
            buffer_.LoadFile(path);
        } catch (const std::exception& e) {
            log.AddFailedRow(mod.FileName,
                             ActionName(mod.ActionType),
                             QStringLiteral("Read Error"),
                             QString::fromStdString(e.what()));
            return nullptr;
        }
        path_ = path;
        return &buffer_.Searchable();
    }

private:
    QString path_;
    WorkBuffer buffer_;
};

// Each location folder and each board file is looked for once per run: the source does not change
// during the analysis.
class SourceLocator
{
public:
    bool FolderExists(const QString& folder)
    {
        const auto known = folders_.constFind(folder);
        return known != folders_.cend() ? *known : *folders_.insert(folder, DirExists(folder));
    }

    QString FindFile(const QString& fileName, const QString& folder)
    {
        const QString key = folder + u'/' + fileName;
        const auto known = files_.constFind(key);
        return known != files_.cend() ? *known : *files_.insert(key, FindFileInTree(fileName, folder));
    }

private:
    QHash<QString, bool> folders_;
    QHash<QString, QString> files_;
};

void AnalyzeMods(AppState& state, Recordset& mods, LogSink& log)
{
    SourceLocator locator;
    SourceReader reader;
    const int count = mods.RecordCount();
    mods.MoveFirst();
    for (int i = 0; i < count && !mods.EOF(); ++i, mods.MoveNext()) {
        const ModRecord mod = ModRecordFrom(mods);
        const ModTarget target = ModTargetFrom(state, mods);
        const QString shownFolder = state.SourceDir + u'/' + target.directory;
        if (!target.insideRoot) {
            log.AddFailedRow(mod.FileName,
                             ActionName(mod.ActionType),
                             QStringLiteral("Unsafe Path"),
                             QStringLiteral("Refused a file outside the board folders: ") + target.relativePath);
            continue;
        }
        const QString folder = Below(state.SourceDir, target.directory);
        if (!locator.FolderExists(folder)) {
            log.AddFailedRow(QString(), QString(), QStringLiteral("Missing Directory"), shownFolder);
            continue;
        }
        const QString path = locator.FindFile(mod.FileName, folder);
        if (path.isEmpty()) {
            log.AddFailedRow(mod.FileName, QString(), QStringLiteral("File not found"), shownFolder);
            continue;
        }
        if (const FoldedText* text = reader.Read(path, mod, log))
            AnalyzeMod(*text, mod, log);
    }
}

// The analysis proper, inside its job.
void Analyze(AppState& state, LogSink& log)
{
    state.CurrentHackType = static_cast<qint16>(state.HackInfoRecordset->Int("HackType"));
    LoadDirectoryTable(state);
    LogHackName(state, log, QStringLiteral("BEGIN Analysis"));
    Recordset& mods = *state.HackDataRecordset;
    mods.ReOpen(sql::SelectHackDataOf + QString::number(state.CurrentHackNum) + sql::OrderByFileNameModOrder);
    if (mods.RecordCount() == 0) {
        log.AddRow(
            QString(), QString(), QStringLiteral("HALT Analysis"), QStringLiteral("No modifications to process."));
        return;
    }
    AnalyzeMods(state, mods, log);
    ListSupportFiles(state, log);
    LogHackName(state, log, QStringLiteral("END Analysis"));
    log.SetCurrentRow(log.RowCount() - 1);
}

} // namespace

bool RunAnalysis(AppState& state, LogSink& log)
{
    return RunAsJob(state, DatabaseUse::Reads, [&] { Analyze(state, log); });
}

bool AnalyzeMod(const FoldedText& text, const ModRecord& mod, LogSink& log)
{
    const bool found = ModFits(text, mod);
    ReportMod(log, mod, found);
    return found;
}

void ListSupportFiles(AppState& state, LogSink& log)
{
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(state.CurrentHackNum) + sql::OrderByFileName);
    const int count = files.RecordCount();
    if (count == 0)
        return;
    files.MoveFirst();
    log.AddRow(QString(), QString(), QStringLiteral("Exporting Support Files"), QString());
    for (int i = 0; i < count && !files.EOF(); ++i, files.MoveNext()) {
        log.AddRow(files.Text("FileName"),
                   QStringLiteral("Export"),
                   QStringLiteral("Export Complete"),
                   QStringLiteral("Export Successful"));
    }
}

} // namespace zp
