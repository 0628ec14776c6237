#pragma once

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "cli/commands.h"
#include "core/install_log.h"

#include <QString>
#include <map>
#include <string>
#include <vector>

namespace zp::cli {

// The dialogs seam of the command line: every message box is printed on stderr as
// "Title: text"; a question is printed with the answer it got ("Title: question? No"): its
// default answer, Yes with --yes, or the one the command gives it itself.
class TerminalDialogs : public ScriptedDialogs
{
public:
    explicit TerminalDialogs(bool yes)
        : yes_(yes)
    {
    }
    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;

    // A question that the command answers itself, whatever --yes says, with the reason printed
    // after the answer ("No — the files are in /x").
    void AnswerItself(const QString& question, MsgAnswer answer, const QString& reason);

private:
    struct OwnAnswer
    {
        MsgAnswer answer;
        QString reason;
    };
    bool yes_;
    std::map<QString, OwnAnswer> ownAnswers_;
};

// Prints the log's rows on stdout (FormatLogRow); exitFailed when one is red, else exitSuccess.
int PrintLog(const RecordingLog& log);

// The folder of the running executable.
QString ExecutableFolder();

// The program's state over its database, as the program has it after start: program folder,
// OpenDatabase, LoadConfiguration. An unconfigured database is not an error: unless the command
// is the one that configures it, a line on stderr says how to configure it.
// CommandError when the database is missing or cannot be opened. The destructor closes it.
class Session
{
public:
    enum class Configuring { No, Yes };
    explicit Session(const GlobalOptions& options, Configuring configuring = Configuring::No);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Makes HACK (a HackNum or an exact name) the current hack and returns its HackNum;
    // CommandError when there is none.
    int SelectHack(const std::string& hack);
    // The HackNums of the hacks named (a HackNum or an exact name each), in their order; the last
    // one is the current hack. CommandError for one that is not there.
    std::vector<int> NamedHacks(const std::vector<std::string>& hacks);

    TerminalDialogs dialogs;
    AppState state;
};

} // namespace zp::cli
