// zenpatch-cli analyze HACK | install HACK [HACK ...] [--order given|safe] [--search-output] [--delete-output]
//   [--overwrite-source] [--eol crlf|lf] | diff HACK [--eol crlf|lf] [--search-output] [--output FILE]
#include "analysis/analysis_run.h"
#include "app/app_state.h"
#include "app/whole_file.h"
#include "boardcheck/install_order.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "core/install_log.h"
#include "install/installation_run.h"
#include "install/trial_installation.h"
#include "install/unified_diff.h"

#include <QFileInfo>

#include <cstdio>

namespace zp::cli {

namespace {

// The installation options from the flags, else from the configuration, with the window's rules
// that deleting the output folder first excludes searching it and overwriting the source.
class FlagOptions : public InstallationHost
{
public:
    FlagOptions(const AppState& state, const ParsedArguments& args)
    {
        const bool search = args.flag("--search-output");
        const bool del = args.flag("--delete-output");
        if (search && del)
            throw CommandError("--search-output and --delete-output exclude each other");
        overwriteSource_ = args.flag("--overwrite-source") || state.cfgOverWriteSource != 0;
        if (overwriteSource_ && del)
            throw CommandError("--delete-output and overwriting the source files (--overwrite-source or "
                               "cfgOverWriteSource in the configuration) exclude each other");
        searchOutput_ = search || (!del && state.cfgSearchOutputDir != 0 && state.cfgDelOutputDir == 0);
        deleteOutput_ = del || (!search && !overwriteSource_ && state.cfgDelOutputDir != 0);
        lf_ = cli::LfLineEnds(args, state.cfgEOL == 1);
    }

    bool SearchOutputFirst() const override { return searchOutput_; }
    bool DeleteOutputFirst() const override { return deleteOutput_; }
    bool OverwriteSource() const override { return overwriteSource_; }
    bool LfLineEnds() const override { return lf_; }
    // The notes are log rows as well; nothing more to show.
    void AppendInstructionLine(const QString&) override { }

private:
    bool searchOutput_ = false, deleteOutput_ = false, overwriteSource_ = false, lf_ = false;
};

} // namespace

int RunAnalyzeCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {});
    Session session(options);
    const int hack = session.SelectHack(parsed.positional[0]);
    RecordingLog log;
    if (const std::optional<UserMessage> refusal = RunAnalysis(session.state, hack, log)) {
        ShowMessage(session.dialogs, *refusal);
        return exitError;
    }
    return PrintLog(log);
}

namespace {

InstallOrder OrderOf(const ParsedArguments& args)
{
    const std::string order = args.value("--order").value_or("given");
    if (order != "given" && order != "safe")
        throw CommandError("--order takes given or safe, not " + order);
    return order == "safe" ? InstallOrder::Safe : InstallOrder::Given;
}

// The hacks named, in the order to install them; CommandError when there is no safe one.
std::vector<int> InstallSequence(Session& session, const ParsedArguments& args)
{
    const std::vector<int> hacks = session.NamedHacks(args.positional);
    PlannedOrder planned;
    try {
        planned = PlanInstallOrder(session.state, hacks, OrderOf(args));
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string("the conflict check stopped, nothing was installed: ") + e.what());
    }
    if (!planned.Cycle.isEmpty())
        throw CommandError("the hacks have " + planned.Cycle.toStdString() + "; nothing was installed");
    return planned.Hacks;
}

} // namespace

int RunInstallCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(
        args, AnyCount, {"--eol", "--order"}, {"--search-output", "--delete-output", "--overwrite-source"});
    if (parsed.positional.empty())
        throw CommandError("expected 1 arguments, got 0");
    Session session(options);
    FlagOptions host(session.state, parsed);
    RecordingLog log;
    InstallResult result {InstallOutcome::Halted, std::nullopt};
    if (parsed.positional.size() == 1 && !parsed.value("--order")) {
        result = RunInstallation(session.state, session.SelectHack(parsed.positional[0]), host, log);
    } else {
        result = RunInstallations(session.state, InstallSequence(session, parsed), host, log);
    }
    ShowMessage(session.dialogs, result.message);
    const int status = PrintLog(log);
    return result.outcome == InstallOutcome::Halted ? exitError : status;
}

// The installation tried in a temporary folder: the diff on stdout or, whole or not at all, in the
// --output file; the failed rows on stderr.
int RunDiffCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {"--eol", "--output"}, {"--search-output"});
    Session session(options);
    FlagOptions host(session.state, parsed);
    const int hack = session.SelectHack(parsed.positional[0]);
    RecordingLog log;
    TrialInstallation trial(session.state.SourceDir);
    trial.Run(session.state, hack, host, log);
    const QByteArray diff = TrialDiff(trial);
    if (const auto output = parsed.value("--output")) {
        const QFileInfo file(ArgumentText(*output));
        WriteWholeFile(session.state.ProgramFolder, file.absolutePath(), file.fileName(), [&diff](WholeFile& out) {
            out.Write(diff);
        });
    } else {
        std::fwrite(diff.constData(), 1, size_t(diff.size()), stdout);
    }
    for (const LogRow& row : log.rows) {
        if (row.red)
            std::fprintf(stderr, "%s\n", FormatLogRow(row).toUtf8().constData());
    }
    return log.AnyRed() ? exitFailed : exitSuccess;
}

} // namespace zp::cli
