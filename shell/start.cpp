#include "shell/start.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "database/database.h"
#include "shell/mdi_main.h"

#include <QCoreApplication>
#include <QDir>

namespace zp {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("zp::Start", text);
}

// Asks whether to make an empty database in the program folder, and makes it. False when the user
// declines or it cannot be made (said so).
bool OfferNewDatabase(AppState& state, const QString& path)
{
    const QString title = tr("New Database");
    if (state.dialogs.messageBox(tr("There is no database in %1.\n\nCreate a new, empty one there?")
                                     .arg(QDir::toNativeSeparators(state.ProgramFolder)),
                                 title,
                                 MsgButtons::YesNo,
                                 MsgIcon::Question)
        != MsgAnswer::Yes)
        return false;
    try {
        MakePath(state.ProgramFolder);
        Database::CreateNew(path);
        return true;
    } catch (const std::exception& e) {
        state.dialogs.messageBox(tr("The database %1 could not be made:\n\n%2").arg(path, QString::fromUtf8(e.what())),
                                 title,
                                 MsgButtons::OK,
                                 MsgIcon::Critical);
        return false;
    }
}

} // namespace

std::unique_ptr<mdiMain> Start(AppState& state, const QString& commandLine, bool namedFolder)
{
    const QString database = state.ProgramFolder + "/" + Database::FileName;
    if (namedFolder && !FileExists(database) && !OfferNewDatabase(state, database))
        return nullptr;
    if (!FileExists(database)) {
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
