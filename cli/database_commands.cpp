#include "app/board_directories.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/job_lock.h"
#include "catalogue/hack_list_view.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "core/catalogue_operations.h"
#include "core/install_log.h"
#include "database/sql.h"
#include "engine/modification_engine.h"

#include <QDir>
#include <cstdio>

namespace zp::cli {

namespace {

void PrintLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// The action's name, or the stored code itself when it names no action.
QString ActionText(const Recordset& mods)
{
    const QString name = ActionName(ActionCodeOf(mods.Value("ActionType")));
    return name.isEmpty() ? mods.Text("ActionType") : name;
}

void PrintMods(AppState& state, int hackNum, int hackType)
{
    Recordset mods(state.Connection);
    mods.ReOpen(sql::SelectHackDataOf + QString::number(hackNum) + sql::OrderByModOrder);
    PrintLine(QStringLiteral("Mods: %1").arg(mods.RecordCount()));
    const QStringList locations = LocationNames(hackType);
    for (; !mods.EOF(); mods.MoveNext()) {
        const int instance = mods.Int("ModInst");
        PrintLine(TabSeparated({mods.Text("ModOrder"),
                                mods.Text("FileName"),
                                locations.value(LocationIndex(mods.Value("PrimaryDir")), mods.Text("PrimaryDir")),
                                mods.Text("ExtendDir"),
                                ActionText(mods),
                                instance == 0 ? QStringLiteral("All") : QString::number(instance)}));
    }
}

void PrintSupportFiles(AppState& state, int hackNum, int hackType)
{
    Recordset files(state.Connection);
    files.ReOpen(sql::SelectHackFilesOf + QString::number(hackNum) + sql::OrderByFileName);
    PrintLine(QStringLiteral("Support files: %1").arg(files.RecordCount()));
    const QStringList locations = LocationNames(hackType);
    for (; !files.EOF(); files.MoveNext()) {
        PrintLine(TabSeparated({files.Text("FileName"),
                                locations.value(LocationIndex(files.Value("Location")), files.Text("Location")),
                                files.Text("CustomDir"),
                                QStringLiteral("%1 bytes").arg(files.BlobSize("FileData"))}));
    }
    files.Close();
}

} // namespace

int RunInitDbCommand(const GlobalOptions&, const CommandArguments& args)
{
    if (args.size() > 1)
        throw CommandError("init-db takes at most one argument, the database path");
    const QString path = args.empty() ? ProgramFolder(ExecutableFolder()) + QLatin1Char('/') + Database::FileName
                                      : ArgumentText(args[0]);
    MakePath(QFileInfo(path).absolutePath());
    try {
        Database::CreateNew(path);
    } catch (const DatabaseError& e) {
        throw CommandError("cannot create the database " + path.toStdString() + ": " + e.what());
    }
    PrintLine(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    return exitSuccess;
}

int RunConfigCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const bool show = !args.empty() && args[0] == "show";
    const bool set = !args.empty() && args[0] == "set";
    if ((!show && !set) || (show && args.size() != 1) || (set && (args.size() < 3 || args.size() % 2 == 0)))
        throw CommandError("config needs show, or set KEY VALUE [KEY VALUE ...]");
    Session session(options, Session::Configuring::Yes);
    OptionsValues values = LoadOptions(session.state).value_or(OptionsValues {});
    if (show) {
        for (const QString& name : OptionNames())
            PrintLine(TabSeparated({name, OptionText(values, name)}));
        return exitSuccess;
    }
    // Several settings at once, so that the source and output folders can be given together.
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        if (!SetOptionText(values, ArgumentText(args[i]), ArgumentText(args[i + 1])))
            throw CommandError("unknown setting or not a number: " + args[i] + " (see config show)");
    }
    if (const std::optional<QString> refusal = DatabaseWriteRefusal(session.state))
        throw CommandError(refusal->toStdString());
    const JobResult<OptionsSave> saved = SaveOptions(session.state, values);
    if (saved.outcome == OptionsSave::Refused)
        throw CommandError(saved.message.value_or(UserMessage()).text.toStdString());
    ShowMessage(session.dialogs, saved.message);
    return exitSuccess;
}

int RunListCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 0, {"--filter"});
    const HackFilter filter(ArgumentText(parsed.value("--filter").value_or(std::string())));
    Session session(options);
    for (const HackListRow& row : HackListRows(session.state, !filter.IsEmpty())) {
        if (filter.IsEmpty() || filter.Matches(SearchTextOf(row)))
            PrintLine(TabSeparated(QStringList {QString::number(row.HackNum)} + row.cells));
    }
    return exitSuccess;
}

int RunShowCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {});
    Session session(options);
    const int hackNum = session.SelectHack(parsed.positional[0]);
    Recordset hack(session.state.Connection);
    OpenHackRow(hack, hackNum);
    QStringList lines; // all read before any is printed, so a field that cannot be read prints nothing
    for (const QString& field : hack.FieldNames())
        lines << field + QStringLiteral(": ") + EscapedCell(hack.Text(field));
    for (const QString& line : lines)
        PrintLine(line);
    PrintMods(session.state, hackNum, hack.Int("HackType"));
    PrintSupportFiles(session.state, hackNum, hack.Int("HackType"));
    return exitSuccess;
}

int RunDeleteCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {});
    Session session(options);
    session.SelectHack(parsed.positional[0]);
    const MsgAnswer answer = session.dialogs.messageBox(QStringLiteral("Are you sure you wish to delete this hack?"),
                                                        QStringLiteral("Delete Hack"),
                                                        MsgButtons::YesNo,
                                                        MsgIcon::Exclamation);
    if (answer != MsgAnswer::Yes) {
        std::fprintf(stderr, "zenpatch-cli: not deleted (confirm with --yes)\n");
        return exitFailed;
    }
    if (const std::optional<UserMessage> refusal = DeleteHack(session.state)) {
        ShowMessage(session.dialogs, *refusal);
        return exitError;
    }
    return exitSuccess;
}

} // namespace zp::cli
