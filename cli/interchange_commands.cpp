#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "interchange/hack_export.h"
#include "interchange/hack_import.h"
#include "interchange/interchange_common.h"
#include "interchange/text_export.h"

#include <cstdio>

namespace zp::cli {

namespace {

QString Required(const ParsedArguments& parsed, std::string_view name)
{
    std::optional<std::string> value = parsed.value(name);
    if (!value)
        throw CommandError(std::string(name) + " is required");
    return ArgumentText(*value);
}

// The job stopped: its last message, already printed, is the reason.
[[noreturn]] void Stopped(const Session& session, const char* job)
{
    throw CommandError(std::string(job) + " stopped"
                       + (session.dialogs.messages.empty()
                              ? std::string()
                              : ": " + session.dialogs.messages.back().text.toStdString()));
}

// The export's folder as the job will use it; the command line opens no file manager there, it
// says where the files are instead.
QString ExportFolder(Session& session, const ParsedArguments& parsed)
{
    const QString folder = ExportFolderText(Required(parsed, "--folder"));
    session.dialogs.AnswerItself(OpenOutputFolderQuestion, MsgAnswer::No, "the files are in " + folder);
    return folder;
}

// Shows the end of an export and gives its exit status: a stopped one is an error; a finished one
// that wrote nothing (a hack without mods) or skipped a support file ran but failed.
int ExportStatus(Session& session, const ExportResult& result, const QString& written)
{
    ShowExportEnd(session.dialogs, result);
    if (result.outcome == ExportOutcome::Stopped)
        Stopped(session, "export");
    if (written.isEmpty()) {
        std::fprintf(stderr, "zenpatch-cli: the hack has no modifications, no hack file was written\n");
        return exitFailed;
    }
    std::printf("%s\n", written.toUtf8().constData());
    return result.skippedFiles > 0 ? exitFailed : exitSuccess;
}

} // namespace

int RunExportCommand(const GlobalOptions& options, const CommandArguments& args)
{
    ParsedArguments parsed = ParseArguments(args, 1, {"--folder", "--name"}, {"--make-folder"});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    ExportResult result = StartExport(
        session.state,
        {hackNum, ExportFolder(session, parsed), Required(parsed, "--name"), parsed.flag("--make-folder")});
    return ExportStatus(session, result, result.hackFile);
}

int RunImportCommand(const GlobalOptions& options, const CommandArguments& args)
{
    ParsedArguments parsed = ParseArguments(args, 1, {}, {"--replace"});
    Session session(options);
    const ImportDuplicate duplicate = parsed.flag("--replace") ? ImportDuplicate::Replace : ImportDuplicate::Ask;
    switch (ShowImportEnd(session.dialogs,
                          ImportHackFile(session.state, ArgumentText(parsed.positional[0]), nullptr, duplicate))) {
    case ImportOutcome::Imported:
        return exitSuccess;
    case ImportOutcome::Incompatible:
        return exitFailed;
    case ImportOutcome::Stopped:
        break;
    }
    Stopped(session, "import");
}

int RunExportTextCommand(const GlobalOptions& options, const CommandArguments& args)
{
    ParsedArguments parsed = ParseArguments(args, 1, {"--folder", "--name"});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    ExportResult result
        = StartTextExport(session.state, {hackNum, ExportFolder(session, parsed), Required(parsed, "--name")});
    return ExportStatus(session, result, result.folder);
}

} // namespace zp::cli
