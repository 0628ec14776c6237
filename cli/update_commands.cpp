// zenpatch-cli check-updates [HACK ...] [--format text|tsv|html]
#include "boardcheck/report_table.h"
#include "catalogue/network_module.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

namespace zp::cli {

namespace {

// The verdicts as a report: one row per hack, good news green, failures red.
Report UpdateReport(const std::vector<UpdateResult>& results)
{
    ReportTable table {QString(), {"Hack", "Version", "Update", "Size"}, {}};
    for (const UpdateResult& result : results) {
        const bool failed
            = result.verdict == UpdateVerdict::Unreachable || result.verdict == UpdateVerdict::NotAHackFile;
        const ReportCell::Tone tone = result.verdict == UpdateVerdict::Newer ? ReportCell::Good
            : failed                                                         ? ReportCell::Bad
                                                                             : ReportCell::Plain;
        table.rows.push_back({{result.hack.Name},
                              {result.hack.Version},
                              {result.Text(), tone},
                              {result.verdict == UpdateVerdict::Newer ? SizeText(result.size) : QString()}});
    }
    return {QStringLiteral("Update check"), {table}, {}};
}

} // namespace

int RunCheckUpdatesCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, AnyCount, {"--format"});
    const ReportFormat format = FormatOf(parsed);
    // Qt Network needs an application object for its event loop.
    int argc = 1;
    char name[] = "zenpatch-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Session session(options);
    const std::vector<int> hacks = session.NamedHacks(parsed.positional);
    std::unique_ptr<UrlFetcher> fetcher;
    try {
        fetcher = LoadNetworkFetcher(ExecutableFolder());
    } catch (const std::runtime_error& e) {
        throw CommandError(e.what());
    }
    const std::vector<UpdateResult> results = CheckForUpdates(*fetcher, UpdateCandidates(session.state, hacks));
    std::fputs(RenderReport(UpdateReport(results), format).toUtf8().constData(), stdout);
    const bool failed = std::any_of(results.begin(), results.end(), [](const UpdateResult& result) {
        return result.verdict == UpdateVerdict::Unreachable || result.verdict == UpdateVerdict::NotAHackFile;
    });
    return failed ? exitFailed : exitSuccess;
}

} // namespace zp::cli
