#include "cli/session.h"

#include "app/common.h"
#include "cli/arguments.h"
#include "database/catalogue_operations.h"

#include <QFileInfo>
#include <cstdio>

namespace zp::cli {

MsgAnswer TerminalDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    const MsgAnswer answer = ScriptedDialogs::messageBox(text, title, buttons, icon);
    const bool asksYes = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
    return yes_ && asksYes ? MsgAnswer::Yes : answer;
}

QString ExecutableFolder()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

Session::Session(const GlobalOptions& options)
    : dialogs(options.yes)
    , state(ProgramFolder(ExecutableFolder()), dialogs)
{
    const QString database = state.ProgramFolder + QLatin1Char('/') + Database::FileName;
    if (!FileExists(database))
        throw CommandError("Missing Database!: Unable to locate your database file, please download a new one from "
                           "the Zenpatch web site. ("
                           + database.toStdString() + ")");
    try {
        OpenDatabase(state);
        LoadConfiguration(state, {});
    } catch (const DatabaseError& e) {
        throw CommandError(e.what());
    }
}

Session::~Session()
{
    CloseDatabase(state);
}

void Session::SelectHack(const std::string& hack)
{
    if (!FindHack(state, ArgumentText(hack)))
        throw CommandError("no hack " + hack);
}

} // namespace zp::cli
