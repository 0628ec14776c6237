#pragma once

#include "app/job_lock.h"
#include "install/installation_host.h"

#include <QString>
#include <optional>
#include <vector>

namespace zp {

struct AppState;
class LogSink;

enum class InstallOutcome {
    Completed, // through "END Installation"; LastInstall stamped when every file reached its place
    NothingToDo, // the hack has no mods
    Halted, // the job could not start or a folder could not be made; the result's message says why
};

// The message says why the run halted.
using InstallResult = JobResult<InstallOutcome>;

// Installs the hack `hackNum` as one job (JobLock):
// copies the board files its mods name into the work folder, applies the mods, writes the support
// files and copies the result into the output folder or over the source folder, logging every
// step. Over the source folder the output folder is neither emptied nor made, whatever
// DeleteOutputFirst says. Every file written appears whole or not at all, and nothing is written
// through a symbolic link below the output or source folder. A hack no longer in the database is
// a red row, and the run halts.
InstallResult RunInstallation(AppState& state, int hackNum, InstallationHost& host, LogSink& log);

// Installs several hacks in this order as one job, a hack named twice once: each hack's mods are
// applied over the working copies the hacks before it left (or the board files found as for one
// hack), its support files staged with them, and every file is put in its place (backed up, over
// the source folder, in one backup that names every hack of the run) once all hacks are done. The
// log names each hack at the start of its rows and again, with the end, once the files are in
// place; each hack's LastInstall is stamped only when every file it wrote reached its place. The
// hack list's selection is left alone. A hack no longer in the database is a red row and left out.
// NothingToDo when none of the hacks has a mod.
InstallResult RunInstallations(AppState& state, const std::vector<int>& hackNums, InstallationHost& host, LogSink& log);

} // namespace zp
