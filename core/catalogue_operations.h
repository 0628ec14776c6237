#pragma once

#include "app/dialogs.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace zp {

struct AppState;
class Recordset;

// Creates a hack: AddNew on HackInfoRecordset (opened with the list query when closed), `fill`
// writes its fields, Update, and the AutoNumber is read back into CurrentHackNum and returned.
int CreateHack(AppState& state, const std::function<void(Recordset&)>& fill);

// Deletes CurrentHackNum: its support files, then its mods, then the current row of
// HackInfoRecordset, all or nothing, as one job (JobLock). A hack without mods or files deletes the
// same way. Returns why the job could not start, for the caller to show.
std::optional<UserMessage> DeleteHack(AppState& state);

// Opens `hack` on the HackInfo row of this hack alone, for a job that works on it. False when there
// is no such hack.
bool OpenHackRow(Recordset& hack, int hackNum);

// Sets LastMod or LastInstall of the current row of `hackInfo` to TimeStamp() and stores it.
void StampTime(Recordset& hackInfo, const QString& field);

// Whether selecting a hack reads its mods into HackDataRecordset (the windows show them), or leaves
// that recordset closed for a job that reads them in an order of its own.
enum class ModsRead { Now, ByTheJob };

// Makes the current row of HackInfoRecordset the current hack, as selecting a list row does:
// CurrentHackNum, HackDataRecordset re-opened with the hack's mods (closed with ModsRead::ByTheJob),
// CurrentHackType, DirectoryTable.
void SelectCurrentHack(AppState& state, ModsRead mods = ModsRead::Now);

// Positions HackInfoRecordset (re-opened with the list query) on the hack with this number or,
// failing that, this exact name, and selects it as above. False when there is none.
bool FindHack(AppState& state, const QString& hack, ModsRead mods = ModsRead::Now);

// Positions HackInfoRecordset on the hack with this number and selects it as above. `rowHint`, the
// hack's place in the list query counted from 0, spares the search when the recordset holds that
// query; otherwise the recordset is re-opened with it. False when there is no such hack.
bool SelectHackNum(AppState& state, int hackNum, int rowHint = -1, ModsRead mods = ModsRead::Now);

// One row of the hack list: HackNum and the six cells (name, version, author, support-file count,
// last modified, last installed), Null as empty, and the comments, which the filter searches too.
struct HackListRow
{
    int HackNum = 0;
    QStringList cells;
    QString comments;
};

// The rows of the hack list in the order of HackInfoRecordset, which it re-opens with the list
// query. The support files of all hacks are counted with one grouped query. The comments are read
// only for a filter (`withComments`); a hack whose texts are too long to read has none.
std::vector<HackListRow> HackListRows(AppState& state, bool withComments);

} // namespace zp
