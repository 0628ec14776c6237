#pragma once

#include "app/job_lock.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace zp {

struct AppState;
class FileEncoder;

// How an import ended: a new hack, or a refused old version (both close the window), or a stop
// that leaves the window open for another try.
enum class ImportOutcome { Stopped, Incompatible, Imported };

// How an import ended and the message its caller shows: "Import Complete", or what stopped it;
// none after the user cancelled.
using ImportResult = JobResult<ImportOutcome>;

// What becomes of a hack whose name and version are already in the catalogue: the user is asked
// (Replace, Keep Both or Cancel), or it replaces the one there.
enum class ImportDuplicate { Ask, Replace };

struct UnpackedHack;

// Stores the hack (information stamped with LastMod, its support files from their paths, its mods)
// in one transaction: as a new hack, or over the rows of hack `replaced` (its number, and so its
// backups, stay); returns its HackNum. CurrentHackNum stays as it was. Throws DatabaseError or
// std::runtime_error; nothing is stored then.
int StoreHack(AppState& state, const UnpackedHack& hack, int replaced = 0);

// The shared recordsets show the database as it now is (rows of a rolled-back store vanish).
void RefreshRecordsets(AppState& state);

// Start Import: adds the hack of the hack file at `path` as a new hack, with its mods and support
// files, in one transaction; nothing is added when any part of it fails. A hack whose name and
// version are already in the catalogue is added beside it (Keep Both), or takes its rows in the
// same transaction (Replace, keeping its HackNum), or stops the import (Cancel). Runs as one job
// (JobLock). Asks only about a hack already in the catalogue; the closing message is the result's.
// state.ImportedHackNum names the hack stored. `encoder` is the window's control `fe`; the import makes its own when
// none is given.
ImportResult ImportHackFile(AppState& state,
                            const QString& path,
                            FileEncoder* encoder = nullptr,
                            ImportDuplicate duplicate = ImportDuplicate::Ask);

// The start-up path: the program was handed a hack file; the hack list's recordset is opened on
// its query and the import runs without further interaction than its messages.
ImportResult ImportHackFileAtStartup(AppState& state, const QString& path);

// Shows the closing message of an import, for its window or the command line; returns its outcome.
ImportOutcome ShowImportEnd(Dialogs& dialogs, const ImportResult& result);

} // namespace zp
