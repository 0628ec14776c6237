#pragma once

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "cli/commands.h"

#include <QString>

namespace zp::cli {

// The dialogs seam of the command line: every message box is printed on stderr as
// "Title: text"; questions get their default answer, or Yes with --yes.
class TerminalDialogs : public ScriptedDialogs
{
public:
    explicit TerminalDialogs(bool yes)
        : yes_(yes)
    {
    }
    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;

private:
    bool yes_;
};

// The folder of the running executable.
QString ExecutableFolder();

// The program's state over its database, as the program has it after start: program folder,
// OpenDatabase, LoadConfiguration (an unconfigured database is reported, not an error).
// CommandError when the database is missing or cannot be opened. The destructor closes it.
class Session
{
public:
    explicit Session(const GlobalOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Makes HACK (a HackNum or an exact name) the current hack; CommandError when there is none.
    void SelectHack(const std::string& hack);

    TerminalDialogs dialogs;
    AppState state;
};

} // namespace zp::cli
