// zenpatch-cli backups [HACK] | revert HACK [--backup NAME] [--dry-run] [--force]
#include "app/app_state.h"
#include "app/common.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "install/revert_installation.h"

#include <cstdio>
#include <map>

namespace zp::cli {

int RunBackupsCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, args.empty() ? 0 : 1, {});
    Session session(options);
    std::optional<int> hack;
    if (!parsed.positional.empty())
        hack = session.SelectHack(parsed.positional[0]);
    std::map<int, QString> names;
    for (const HackListRow& row : HackListRows(session.state, false))
        names[row.HackNum] = row.cells.value(0);
    for (const BackupInfo& backup : ListBackups(session.state.ProgramFolder, hack)) {
        const QString line = TabSeparated({QString::number(backup.hackNum),
                                           names[backup.hackNum],
                                           TimeStamp(backup.time),
                                           backup.files < 0 ? QString() : QString::number(backup.files),
                                           QString(BackupStateText(backup.state)),
                                           backup.name});
        std::printf("%s\n", line.toUtf8().constData());
    }
    return exitSuccess;
}

int RunRevertCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {"--backup"}, {"--dry-run", "--force"});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    const QString name = ArgumentText(parsed.value("--backup").value_or(std::string()));
    const std::optional<BackupInfo> backup = FindBackup(session.state.ProgramFolder, hackNum, name);
    if (!backup) {
        throw CommandError(name.isEmpty() ? "hack " + parsed.positional[0] + " has no backup"
                                          : "hack " + parsed.positional[0] + " has no backup " + name.toStdString());
    }
    RecordingLog log;
    const RevertResult result = RevertInstallation(
        session.state, hackNum, backup->name, {parsed.flag("--dry-run"), parsed.flag("--force")}, log);
    ShowMessage(session.dialogs, result.message);
    const int status = PrintLog(log);
    return result.outcome == RevertOutcome::Refused ? exitError : status;
}

} // namespace zp::cli
