#pragma once

#include "interchange/hack_export.h"

#include <QDateTime>
#include <QString>

namespace zp {

struct AppState;

struct TextExportRequest
{
    int hackNum = 0; // the hack to export
    QString folder; // the export folder text (txtExpFolder)
    QString name; // the name of the text file of mods, without extension
};

// The first line of both text files: program version, time as TimeText gives it, date mm-dd-yyyy.
QString TextExportHeader(const QDateTime& when);

// Start Export of the text export window: README.TXT, <name>.txt and the support files in their
// folders below the export folder, for the hack request.hackNum.
// The folder is created when missing; an existing folder that is not empty is refused.
// Runs as one job (JobLock); every file is written whole or not at all, never through a link.
ExportResult StartTextExport(AppState& state,
                             const TextExportRequest& request,
                             const QDateTime& when = QDateTime::currentDateTime());

} // namespace zp
