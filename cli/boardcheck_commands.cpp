// zenpatch-cli check-upgrade [--source DIR] [--against DIR] [HACK ...] [--format text|tsv|html]
// zenpatch-cli conflicts [HACK ...] [--format text|tsv|html]
// zenpatch-cli port [HACK ...] --to DIR [--from DIR] [--store] [--label TEXT] [--partial] [--format text|tsv|html]
#include "app/common.h"
#include "app/job_lock.h"
#include "boardcheck/board_check.h"
#include "boardcheck/board_check_report.h"
#include "boardcheck/hack_port.h"
#include "boardcheck/port_report.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"

#include <cstdio>
#include <stdexcept>

namespace zp::cli {

ReportFormat FormatOf(const ParsedArguments& args)
{
    const std::string name = args.value("--format").value_or("text");
    const std::optional<ReportFormat> format = ReportFormatNamed(QString::fromStdString(name));
    if (!format)
        throw CommandError("--format takes text, tsv or html, not " + name);
    return *format;
}

namespace {

// The board folder of an option, or the configured source folder without it.
QString BoardFolder(const Session& session, const ParsedArguments& args, std::string_view option)
{
    const std::optional<std::string> given = args.value(option);
    const QString folder = given ? ArgumentText(*given) : session.state.SourceDir;
    if (folder.isEmpty())
        throw CommandError("no source folder configured; run: zenpatch-cli config set SourceDir DIR");
    if (const QString problem = BoardFolderProblem(folder); !problem.isEmpty())
        throw CommandError(problem.toStdString());
    return folder;
}

int Print(const QString& report, bool allWell)
{
    std::fputs(report.toUtf8().constData(), stdout);
    return allWell ? exitSuccess : exitFailed;
}

} // namespace

int RunCheckUpgradeCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, AnyCount, {"--source", "--against", "--format"});
    const ReportFormat format = FormatOf(parsed);
    Session session(options);
    const QString newSource = BoardFolder(session, parsed, "--source");
    const QString currentSource = BoardFolder(session, parsed, "--against");
    const std::vector<int> hacks = session.NamedHacks(parsed.positional);
    try {
        const UpgradeCheckResult result = RunUpgradeCheck(session.state, newSource, currentSource, hacks);
        return Print(UpgradeReport(result, format), result.AllFit());
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string("the check stopped: ") + e.what());
    }
}

int RunConflictsCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, AnyCount, {"--format"});
    const ReportFormat format = FormatOf(parsed);
    Session session(options);
    const QString source = BoardFolder(session, parsed, "--source");
    const std::vector<int> hacks = session.NamedHacks(parsed.positional);
    try {
        const ConflictCheckResult result = RunConflictCheck(session.state, source, hacks);
        return Print(ConflictReport(result, format), !result.AnyBreaks());
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string("the check stopped: ") + e.what());
    }
}

int RunPortCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed
        = ParseArguments(args, AnyCount, {"--to", "--from", "--label", "--format"}, {"--store", "--partial"});
    const ReportFormat format = FormatOf(parsed);
    if (!parsed.value("--to"))
        throw CommandError("port needs --to DIR, the new release");
    Session session(options);
    PortRequest request;
    request.to = BoardFolder(session, parsed, "--to");
    request.from = BoardFolder(session, parsed, "--from");
    request.hacks = session.NamedHacks(parsed.positional);
    request.store = parsed.flag("--store");
    request.partial = parsed.flag("--partial");
    request.label = ArgumentText(parsed.value("--label").value_or(""));
    PortResult result;
    std::string failure;
    // Even a port that stores nothing proves each hack by storing it for a moment.
    const bool ran = RunAsJob(session.state, DatabaseUse::Writes, [&] {
        try {
            result = RunPort(session.state, request);
        } catch (const std::runtime_error& e) {
            failure = e.what();
        }
    });
    if (!ran)
        throw CommandError("the port could not start");
    if (!failure.empty())
        throw CommandError("the port stopped, nothing was stored: " + failure);
    return Print(PortReport(result, format), result.AllCarried());
}

} // namespace zp::cli
