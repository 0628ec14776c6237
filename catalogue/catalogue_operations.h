#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace zp {

struct AppState;
class Recordset;

// The highest hack number the program can hold (hack numbers travel as 16-bit integers).
inline constexpr int MaxHackNum = 32767;

// Creates a hack: AddNew on HackInfoRecordset (opened with the list query when closed), `fill`
// writes its fields, Update, and the AutoNumber is read back into CurrentHackNum and returned.
// Throws DatabaseError (and stores nothing) when the new number would not fit into 16 bits.
qint16 CreateHack(AppState& state, const std::function<void(Recordset&)>& fill);

// Deletes CurrentHackNum: its support files, then its mods, then the current row of
// HackInfoRecordset, all or nothing, as one job (JobLock). A hack without mods or files deletes the
// same way. False when the job could not start (the message box said why).
bool DeleteHack(AppState& state);

// Sets LastMod or LastInstall of the current row of `hackInfo` to TimeStamp() and stores it.
void StampTime(Recordset& hackInfo, const QString& field);

// Makes the current row of HackInfoRecordset the current hack, as selecting a list row does:
// CurrentHackNum, HackDataRecordset re-opened with the hack's mods, CurrentHackType, DirectoryTable.
void SelectCurrentHack(AppState& state);

// Positions HackInfoRecordset (re-opened with the list query) on the hack with this number or,
// failing that, this exact name, and selects it as above. False when there is none.
bool FindHack(AppState& state, const QString& hack);

// One row of the hack list: HackNum and the six cells (name, version, author, support-file count,
// last modified, last installed), Null as empty, and the comments, which the filter searches too.
struct HackListRow
{
    qint16 HackNum = 0;
    QStringList cells;
    QString comments;
};

// The rows of the hack list in the order of HackInfoRecordset, which it re-opens with the list
// query. The support files of all hacks are counted with one grouped query.
std::vector<HackListRow> HackListRows(AppState& state);

} // namespace zp
