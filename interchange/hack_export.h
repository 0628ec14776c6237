#pragma once

#include "app/dialogs.h"

#include <QString>
#include <vector>

namespace zp {

struct AppState;
class FileEncoder;

// How an export run ended: refused input or a failed write leave the window open with the user's
// entries; a finished run closes it, once the caller has asked whether to open the output folder.
enum class ExportOutcome { Stopped, Finished };

struct ExportRequest
{
    int hackNum = 0; // the hack to export
    QString folder; // the target folder text (txtExpFolder)
    QString name; // the export name, without extension (txtHackFileName)
    bool makeFolder = false; // "Create new folder"
    FileEncoder* encoder = nullptr; // the window's control `fe`; the export makes its own when none
};

struct ExportResult
{
    ExportOutcome outcome = ExportOutcome::Stopped;
    QString folder; // the folder text after a trailing separator was removed
    QString hackFile; // the written hack file, empty when none was made
    bool focusName = false; // the name was refused: the window puts the focus on it
    int skippedFiles = 0; // support files the text export could not place
    // For the caller to show, in this order: a support file skipped, and what stopped the run.
    std::vector<UserMessage> messages;
    bool hackGone = false; // the hack is no longer in the database: nothing was written
};

// Start Export: writes the hack request.hackNum into one hack file,
// "<folder>/<name>.zpp" with support files, ".zpx" without, whole or not at all; runs as one job
// (JobLock). Asks nothing: what went wrong is in the result's messages.
ExportResult StartExport(AppState& state, const ExportRequest& request);

// The end of an export for its caller: shows the result's messages, then, when it finished, asks
// whether to open the output folder; true for Yes.
bool ShowExportEnd(Dialogs& dialogs, const ExportResult& result);

} // namespace zp
