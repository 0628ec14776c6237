#include "install/installation_run.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "install/install_log.h"

namespace zp {

void WriteSupportFiles(AppState& state, LogSink& log)
{
    Recordset& files = *state.HackFilesRecordset;
    files.ReOpen(sql::SelectHackFilesOf + QString::number(state.CurrentHackNum) + sql::OrderByFileName);
    const int count = files.RecordCount();
    if (count == 0)
        return;
    const QString write = QStringLiteral("Write");
    const QString writeFile = QStringLiteral("Write Support File");
    files.MoveFirst();
    log.AddRow(
        QString(), QString(), QStringLiteral("Write Support Files"), QStringLiteral("BEGIN Support File Output"));
    for (int i = 0; i < count && !files.EOF(); ++i, files.MoveNext()) {
        const QString name = files.Text("FileName");
        const QString directory = ResolveSupportFileDirectory(state, files.Int("Location"), files.Value("CustomDir"));
        const std::optional<QString> folder = JoinInsideRoot(state.OutputDir, directory);
        if (!folder || name.isEmpty() || !JoinInsideRoot(state.OutputDir, directory + u'/' + name)) {
            log.AddFailedRow(name,
                             write,
                             writeFile,
                             QStringLiteral("Refused a file outside the output folder: ") + directory + u'/' + name);
            continue;
        }
        if (!DirExists(*folder) && !MakePath(*folder)) {
            log.AddFailedRow(name, write, writeFile, QStringLiteral("Unable to create support file directory."));
            continue;
        }
        try {
            files.WriteBlobToFile("FileData", *folder + u'/' + name);
        } catch (const std::exception& e) {
            // Like any unexpected write error, this ends the support-file pass.
            log.AddFailedRow(name, write, writeFile, QStringLiteral("ERROR: ") + QString::fromStdString(e.what()));
            break;
        }
        log.AddRow(name, write, writeFile, QStringLiteral("Write Complete"));
    }
    log.AddRow(QString(), QString(), QStringLiteral("Write Support Files"), QStringLiteral("END Support File Output"));
}

} // namespace zp
