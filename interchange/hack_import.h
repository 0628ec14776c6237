#pragma once

#include <QString>
#include <QtGlobal>

namespace zp {

struct AppState;
class FileEncoder;

// How an import ended: a new hack, or a refused old version (both close the window), or a stop
// that leaves the window open for another try.
enum class ImportOutcome { Stopped, Incompatible, Imported };

struct UnpackedHack;

// Stores the hack (information stamped with LastMod, its support files from their paths, its mods)
// as a new hack in one transaction; returns its HackNum. CurrentHackNum stays as it was. Throws
// DatabaseError or std::runtime_error; nothing is stored then.
qint16 StoreHack(AppState& state, const UnpackedHack& hack);

// The shared recordsets show the database as it now is (rows of a rolled-back store vanish).
void RefreshRecordsets(AppState& state);

// The file text the import window starts with: diagImportPath, else the program folder.
QString LoadImportFile(AppState& state);

// The "..." button: asks for a hack file through state.dialogs. Returns the chosen path, or
// `current` when the user cancelled or chose a file that does not exist (with its message).
QString ChooseImportFile(AppState& state, const QString& current);

// Start Import: adds the hack of the hack file at `path` as a new hack, with its mods and support
// files, in one transaction; nothing is added when any part of it fails. Runs as one job (JobLock).
// Reports every outcome through state.dialogs. `encoder` is the window's control `fe`; the import
// makes its own when none is given.
ImportOutcome ImportHackFile(AppState& state, const QString& path, FileEncoder* encoder = nullptr);

// The start-up path: the program was handed a hack file; the hack list's recordset is opened on
// its query and the import runs without further interaction than its messages.
ImportOutcome ImportHackFileAtStartup(AppState& state, const QString& path);

} // namespace zp
