#include "install/support_files.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/whole_file.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"

#include <map>
#include <utility>
#include <vector>

namespace zp {

bool WriteSupportFiles(
    AppState& state, int hackNum, const BoardLayout& layout, LogSink& log, const SupportFileWrite& elsewhere)
{
    Recordset files(state.Connection);
    files.Open(sql::SelectHackFilesOf + QString::number(hackNum) + sql::OrderByFileName);
    const int count = files.RecordCount();
    if (count == 0)
        return true;
    bool allWritten = true;
    const QString write = QStringLiteral("Write");
    const QString writeFile = QStringLiteral("Write Support File");
    // Written into the output folder together: one wait for the disk for all of them. Each is
    // reported once it is in place, in name order.
    WholeFileBatch batch(state.ProgramFolder);
    std::vector<std::pair<QString, QString>> staged; // name, relative path
    const auto placeStaged = [&] {
        std::map<QString, QString> failures; // relative path -> reason
        batch.Commit([&failures](const QString& relative, const QString& reason) { failures[relative] = reason; });
        for (const auto& [name, relative] : std::exchange(staged, {})) {
            if (const auto failure = failures.find(relative); failure != failures.end()) {
                allWritten = false;
                log.AddFailedRow(name, write, writeFile, QStringLiteral("ERROR: ") + failure->second);
            } else {
                log.AddRow(name, write, writeFile, QStringLiteral("Write Complete"));
            }
        }
    };
    files.MoveFirst();
    log.AddRow(
        QString(), QString(), QStringLiteral("Write Support Files"), QStringLiteral("BEGIN Support File Output"));
    for (int i = 0; i < count && !files.EOF(); ++i, files.MoveNext()) {
        const QString name = files.Text("FileName");
        const QString directory
            = ResolveSupportFileDirectory(layout, LocationIndex(files.Value("Location")), files.Value("CustomDir"));
        const QString relative = directory + u'/' + name;
        auto fail = [&](const QString& comment, const QString& description) {
            allWritten = false;
            log.AddFailedRow(name, write, comment, description);
        };
        const std::optional<QString> folder = JoinInsideRoot(state.OutputDir, directory);
        if (!folder || name.isEmpty() || !JoinInsideRoot(state.OutputDir, relative)) {
            fail(writeFile, QStringLiteral("Refused a file outside the output folder: ") + relative);
            continue;
        }
        // Checked before any folder is made: a folder made through a link would lie outside.
        if (const QString link = LinkOnTheWay(state.OutputDir, relative); !link.isEmpty()) {
            fail(QStringLiteral("Unsafe Path"), RefusedLinkText(link));
            continue;
        }
        if (!elsewhere && !DirExists(*folder) && !MakePath(*folder)) {
            fail(writeFile, QStringLiteral("Unable to create support file directory."));
            continue;
        }
        try {
            if (elsewhere) {
                elsewhere(relative, files);
                log.AddRow(name, write, writeFile, QStringLiteral("Write Complete"));
            } else {
                batch.Stage(state.OutputDir, relative, [&files](WholeFile& out) {
                    files.ReadBlob("FileData", [&out](const QByteArray& chunk) { return out.Write(chunk); });
                });
                staged.emplace_back(name, relative);
            }
        } catch (const std::exception& e) {
            // Like any unexpected write error, this ends the support-file pass.
            placeStaged();
            fail(writeFile, QStringLiteral("ERROR: ") + QString::fromStdString(e.what()));
            break;
        }
    }
    placeStaged();
    log.AddRow(QString(), QString(), QStringLiteral("Write Support Files"), QStringLiteral("END Support File Output"));
    return allWritten;
}

} // namespace zp
