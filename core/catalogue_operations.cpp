#include "core/catalogue_operations.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "database/sql.h"
#include "database/text_limit.h"

#include <QHash>

namespace zp {

int CreateHack(AppState& state, const std::function<void(Recordset&)>& fill)
{
    Recordset& hacks = *state.HackInfoRecordset;
    if (!hacks.IsOpen())
        hacks.Open(sql::SelectHackInfo);
    hacks.AddNew();
    if (fill)
        fill(hacks);
    hacks.Update();
    state.CurrentHackNum = hacks.Int("HackNum");
    return state.CurrentHackNum;
}

std::optional<UserMessage> DeleteHack(AppState& state)
{
    return RunOrRefuse(state, DatabaseUse::Writes, [&state] {
        const QString number = QString::number(state.CurrentHackNum);
        Transaction transaction(state.Connection);
        state.HackFilesRecordset->ReOpen(sql::DeleteHackFilesOf + number);
        state.HackDataRecordset->ReOpen(sql::DeleteHackDataOf + number);
        state.HackInfoRecordset->Delete();
        state.HackInfoRecordset->Update();
        transaction.Commit();
    });
}

bool OpenHackRow(Recordset& hack, int hackNum)
{
    hack.ReOpen(sql::SelectHackInfoOf + QString::number(hackNum));
    return !hack.EOF();
}

void StampTime(Recordset& hackInfo, const QString& field)
{
    hackInfo.SetValue(field, TimeStamp());
    hackInfo.Update();
}

void SelectCurrentHack(AppState& state, ModsRead mods)
{
    Recordset& hacks = *state.HackInfoRecordset;
    state.CurrentHackNum = hacks.Int("HackNum");
    if (mods == ModsRead::Now)
        state.HackDataRecordset->ReOpen(sql::SelectHackDataOf + QString::number(state.CurrentHackNum));
    else if (state.HackDataRecordset->IsOpen())
        state.HackDataRecordset->Close(); // never another hack's mods
    state.CurrentHackType = qint16(hacks.Int("HackType"));
    LoadDirectoryTable(state);
}

bool FindHack(AppState& state, const QString& hack, ModsRead mods)
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
                SelectCurrentHack(state, mods);
                return true;
            }
        }
    }
    return false;
}

bool SelectHackNum(AppState& state, int hackNum, int rowHint, ModsRead mods)
{
    Recordset& hacks = *state.HackInfoRecordset;
    const auto standsOn = [&] { return !hacks.BOF() && !hacks.EOF() && hacks.Int("HackNum") == hackNum; };
    if (hacks.IsOpen() && hacks.Source() == sql::SelectHackInfo && rowHint >= 0 && rowHint < hacks.RecordCount()) {
        hacks.MoveFirst();
        hacks.Move(rowHint);
    }
    if (!hacks.IsOpen() || !standsOn()) {
        hacks.ReOpen(sql::SelectHackInfo);
        for (hacks.MoveFirst(); !hacks.EOF() && !standsOn(); hacks.MoveNext()) { }
        if (hacks.EOF())
            return false;
    }
    SelectCurrentHack(state, mods);
    return true;
}

namespace {

// The comments the filter searches; a hack whose texts are too long to read is found by its cells.
QString ListedComments(const Recordset& hacks)
{
    try {
        return hacks.Text("Comments");
    } catch (const TextTooLongError&) {
        return QString();
    }
}

} // namespace

std::vector<HackListRow> HackListRows(AppState& state, bool withComments)
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
        rows.push_back({int(number),
                        {hacks.Text("Name"),
                         hacks.Text("Version"),
                         hacks.Text("AuthName"),
                         filesOf.value(number, QStringLiteral("0")),
                         hacks.Text("LastMod"),
                         hacks.Text("LastInstall")},
                        withComments ? ListedComments(hacks) : QString()});
    }
    return rows;
}

} // namespace zp
