#include "catalogue/catalogue_operations.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "database/sql.h"

#include <QHash>

namespace zp {

qint16 CreateHack(AppState& state, const std::function<void(Recordset&)>& fill)
{
    Recordset& hacks = *state.HackInfoRecordset;
    if (!hacks.IsOpen())
        hacks.Open(sql::SelectHackInfo);
    Transaction transaction(state.Connection);
    hacks.AddNew();
    if (fill)
        fill(hacks);
    hacks.Update();
    const qlonglong number = hacks.Value("HackNum").toLongLong();
    if (number > MaxHackNum) {
        // The savepoint rollback removes the row again; the snapshot forgets it as well.
        hacks.Delete();
        throw DatabaseError(QStringLiteral("no more hacks can be created: hack numbers above %1 are not supported")
                                .arg(MaxHackNum)
                                .toStdString());
    }
    transaction.Commit();
    state.CurrentHackNum = qint16(number);
    return state.CurrentHackNum;
}

bool DeleteHack(AppState& state)
{
    return RunAsJob(state, DatabaseUse::Writes, [&state] {
        const QString number = QString::number(state.CurrentHackNum);
        Transaction transaction(state.Connection);
        state.HackFilesRecordset->ReOpen(sql::DeleteHackFilesOf + number);
        state.HackDataRecordset->ReOpen(sql::DeleteHackDataOf + number);
        state.HackInfoRecordset->Delete();
        state.HackInfoRecordset->Update();
        transaction.Commit();
    });
}

void StampTime(Recordset& hackInfo, const QString& field)
{
    hackInfo.SetValue(field, TimeStamp());
    hackInfo.Update();
}

void SelectCurrentHack(AppState& state)
{
    Recordset& hacks = *state.HackInfoRecordset;
    state.CurrentHackNum = qint16(hacks.Int("HackNum"));
    state.HackDataRecordset->ReOpen(sql::SelectHackDataOf + QString::number(state.CurrentHackNum));
    state.CurrentHackType = qint16(hacks.Int("HackType"));
    LoadDirectoryTable(state);
}

bool FindHack(AppState& state, const QString& hack)
{
    Recordset& hacks = *state.HackInfoRecordset;
    hacks.ReOpen(sql::SelectHackInfo);
    bool isNumber = false;
    const int number = hack.toInt(&isNumber);
    for (const bool byNumber : {true, false}) {
        if (byNumber && !isNumber)
            continue;
        for (hacks.MoveFirst(); !hacks.EOF(); hacks.MoveNext()) {
            if (byNumber ? hacks.Int("HackNum") == number : hacks.Text("Name") == hack) {
                SelectCurrentHack(state);
                return true;
            }
        }
    }
    return false;
}

std::vector<HackListRow> HackListRows(AppState& state)
{
    Recordset counts(state.Connection);
    counts.Open(QStringLiteral("SELECT [HackNum], count(*) AS [Files] FROM [HackFiles] GROUP BY [HackNum]"));
    QHash<qlonglong, QString> filesOf;
    for (; !counts.EOF(); counts.MoveNext())
        filesOf.insert(counts.Value("HackNum").toLongLong(), counts.Text("Files"));

    Recordset& hacks = *state.HackInfoRecordset;
    hacks.ReOpen(sql::SelectHackInfo);
    std::vector<HackListRow> rows;
    rows.reserve(size_t(hacks.RecordCount()));
    for (; !hacks.EOF(); hacks.MoveNext()) {
        const qlonglong number = hacks.Value("HackNum").toLongLong();
        rows.push_back({qint16(number),
                        {hacks.Text("Name"),
                         hacks.Text("Version"),
                         hacks.Text("AuthName"),
                         filesOf.value(number, QStringLiteral("0")),
                         hacks.Text("LastMod"),
                         hacks.Text("LastInstall")},
                        hacks.Text("Comments")});
    }
    return rows;
}

} // namespace zp
