#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace zp {

struct AppState;
class Recordset;

// The list index that a stored number selects: stored - first when that lies in [0, count), else
// -1 (no selection), also for Null. A list never turns an unknown stored value into another one.
int ListIndexOf(const QVariant& stored, int count, int first = 0);

// "Yes" when the board file of the mod at the current row of `mods` is in its folder below
// SourceDir or in any folder below that one, otherwise "No" (also when the folder is missing or
// the mod's location and sub-path lead out of the source folder, or no source folder is set).
QString CheckModFile(const AppState& state, const Recordset& mods);
// "Yes" when the mod's old data, its line breaks made CR LF, occurs in the file directly in the
// mod's folder, letter case ignored. "No" when it does not or the file cannot be read.
QString CheckModOldData(const AppState& state, const Recordset& mods);

// The eight cells of the mod list for the current row of `mods`: file found and old data found
// (empty without validation), order, instance ("All" for 0), file name, action name, location name
// of the current board type, comment. Null fields, action codes and locations outside their lists
// show as empty cells.
QStringList ModListCells(const AppState& state, const Recordset& mods, bool validate);

// Gives the mods of the recordset ModOrder 1 to N in the recordset's order, so equal and missing
// numbers become distinct and gaps close.
void RenumberMods(Recordset& mods);

// Stores a file from disk as a support file of CurrentHackNum through HackFilesRecordset: its name
// without folder, the location, the sub-path (Null when empty) and its bytes, streamed into FileData
// without reading the file whole. Throws std::runtime_error naming the reason when the file cannot be
// read, is larger than the database can hold or cannot travel in a hack file (SupportFileProblem);
// no row is stored then.
void AddSupportFile(AppState& state, const QString& path, int location, const QString& customDir);

} // namespace zp
