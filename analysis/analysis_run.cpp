#include "analysis/analysis_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "app/worker_threads.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/find_routines.h"
#include "engine/mod_target.h"
#include "engine/work_buffer.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace zp {

namespace {

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

// A run of mods of one board file with the rows logged between them, checked on a worker thread:
// the unchanged source file is read once and each mod is looked for in it.
struct FileCheck
{
    struct Item
    {
        LogRow row; // a failed row known at once, when mod is -1
        int mod = -1;
    };

    QString path; // empty when every item is a row known at once
    std::vector<ModRecord> mods;
    std::vector<Item> items;
    std::vector<QString> misfits; // for each mod: why it does not fit, empty when it does
    QString readError;

    void Run(ByteBudget& budget)
    {
        if (path.isEmpty())
            return;
        BudgetShare share(budget);
        share.Take(QFileInfo(path).size());
        WorkBuffer buffer;
        try {
            buffer.LoadFile(path);
        } catch (const std::exception& e) {
            readError = QString::fromStdString(e.what());
            return;
        }
        for (const ModRecord& mod : mods)
            misfits.push_back(Misfit(buffer.Searchable(), mod));
    }

    void Report(LogSink& log) const
    {
        for (const Item& item : items) {
            if (item.mod < 0) {
                log.AddLogRow(item.row);
                continue;
            }
            const ModRecord& mod = mods[size_t(item.mod)];
            if (readError.isEmpty())
                ReportMod(log, mod, misfits[size_t(item.mod)]);
            else
                log.AddFailedRow(mod.FileName, ActionName(mod.ActionType), QStringLiteral("Read Error"), readError);
        }
    }
};

// Rows in the order of the mods; the files are read and searched on worker threads.
void AnalyzeMods(const AppState& state, const BoardLayout& layout, Recordset& mods, LogSink& log)
{
    SourceLocator locator;
    ByteBudget budget(kBoardBytesAtOnce);
    OrderedJobs<FileCheck> checks([&log](FileCheck& check) { check.Report(log); }, [&log] { log.ProcessEvents(); });
    FileCheck next;
    const auto handOut
        = [&] { checks.Add(std::exchange(next, FileCheck()), [&budget](FileCheck& check) { check.Run(budget); }); };
    const auto failed
        = [&](const QString& filename, const QString& action, const QString& comment, const QString& description) {
              next.items.push_back({LogRow {filename, action, comment, description, true}});
          };
    const int count = mods.RecordCount();
    ModReader reader(mods);
    mods.MoveFirst();
    for (int i = 0; i < count && !mods.EOF(); ++i, mods.MoveNext()) {
        ModRecord mod = reader.Record();
        const ModTarget& target = reader.Target(layout);
        const QString shownFolder = state.SourceDir + u'/' + target.directory;
        if (!target.insideRoot) {
            failed(mod.FileName,
                   ActionName(mod.ActionType),
                   QStringLiteral("Unsafe Path"),
                   QStringLiteral("Refused a file outside the board folders: ") + target.relativePath);
            continue;
        }
        const QString folder = Below(state.SourceDir, target.directory);
        if (!locator.FolderExists(folder)) {
            failed(QString(), QString(), QStringLiteral("Missing Directory"), shownFolder);
            continue;
        }
        const QString path = locator.FindFile(mod.FileName, folder);
        if (path.isEmpty()) {
            failed(mod.FileName, QString(), QStringLiteral("File not found"), shownFolder);
            continue;
        }
        if (!next.path.isEmpty() && next.path != path)
            handOut();
        next.path = path;
        next.items.push_back({LogRow(), int(next.mods.size())});
        next.mods.push_back(std::move(mod));
    }
    handOut();
    checks.Finish();
}

// The analysis proper, inside its job.
void Analyze(AppState& state, int hackNum, LogSink& log)
{
    Recordset hack(state.Connection);
    if (!OpenHackRow(hack, hackNum))
        return;
    LogHackName(hack, log, QStringLiteral("BEGIN Analysis"));
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackDataOf + QString::number(hackNum) + sql::OrderByFileNameModOrder);
    if (mods.RecordCount() == 0) {
        log.AddRow(
            QString(), QString(), QStringLiteral("HALT Analysis"), QStringLiteral("No modifications to process."));
        return;
    }
    AnalyzeMods(state, LayoutOf(state, hack.Int("HackType")), mods, log);
    ListSupportFiles(state, hackNum, log);
    LogHackName(hack, log, QStringLiteral("END Analysis"));
    log.SetCurrentRow(log.RowCount() - 1);
}

} // namespace

std::optional<UserMessage> RunAnalysis(AppState& state, int hackNum, LogSink& log)
{
    return RunOrRefuse(state, DatabaseUse::Reads, [&] { Analyze(state, hackNum, log); });
}

void ListSupportFiles(AppState& state, int hackNum, LogSink& log)
{
    Recordset files(state.Connection);
    files.Open(sql::SelectHackFilesOf + QString::number(hackNum) + sql::OrderByFileName);
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
