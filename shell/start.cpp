#include "shell/start.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "database/database.h"
#include "shell/mdi_main.h"

#include <QCoreApplication>

namespace zp {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("zp::Start", text);
}

} // namespace

std::unique_ptr<mdiMain> Start(AppState& state, const QString& commandLine)
{
    if (!FileExists(state.ProgramFolder + "/" + Database::FileName)) {
        state.dialogs.messageBox(
            tr("Unable to locate your database file, please download a new one from the Zenpatch web site."),
            tr("Missing Database!"),
            MsgButtons::OK,
            MsgIcon::Critical);
        return nullptr;
    }
    RemoveLeftoversOfKilledJobs(state.ProgramFolder);
    auto main = std::make_unique<mdiMain>(state);
    main->SetCommandLine(commandLine);
    main->RestoreWindowState(state.ProgramFolder + QStringLiteral("/zenpatch-window.ini"));
    try {
        main->Load();
    } catch (const std::exception& e) {
        ShowDatabaseError(state, e);
        CloseDatabase(state);
        return nullptr;
    }
    return main;
}

void ShowDatabaseError(AppState& state, const std::exception& error)
{
    state.dialogs.messageBox(tr("Zenpatch could not open its database %1:\n\n%2")
                                 .arg(state.ProgramFolder + "/" + Database::FileName, QString::fromUtf8(error.what())),
                             tr(ProgramTitle),
                             MsgButtons::OK,
                             MsgIcon::Critical);
}

} // namespace zp
