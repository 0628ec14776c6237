// zenpatch-cli record --name NAME (--edited DIR | --patch FILE) [--original DIR] [--type ubb|vbulletin]
//     [--eol crlf|lf] [--partial]
//   | import-text FILE [--name NAME] [--original DIR] [--type ubb|vbulletin] [--eol crlf|lf] [--partial]
#include "app/app_state.h"
#include "authoring/patch_apply.h"
#include "authoring/recording.h"
#include "authoring/step_instructions.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "core/install_log.h"

#include <cstdio>

namespace zp::cli {

namespace {

// The options every recording takes, the defaults from the configuration.
RecordRequest RequestFrom(const AppState& state, const ParsedArguments& parsed)
{
    RecordRequest request;
    request.originalRoot = ArgumentText(parsed.value("--original").value_or(state.SourceDir.toStdString()));
    if (request.originalRoot.isEmpty())
        throw CommandError("no original board: give --original DIR or configure SourceDir");
    const std::string type = parsed.value("--type").value_or(state.cfgDefHackType == "1" ? "vbulletin" : "ubb");
    if (type != "ubb" && type != "vbulletin")
        throw CommandError("--type takes ubb or vbulletin, not " + type);
    request.hackType = type == "vbulletin" ? 1 : 0;
    request.lfLineEnds = LfLineEnds(parsed, state.cfgEOL == 1);
    request.partial = parsed.flag("--partial");
    return request;
}

void PrintLine(const QString& text, FILE* stream = stdout)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
}

// The hack's number (when it was stored), then one row per file: path, mods (or "support file"),
// the reason it was not recorded.
int Report(const RecordResult& result)
{
    if (result.outcome == RecordOutcome::Stored)
        PrintLine(QString::number(result.hackNum));
    bool leftOut = false;
    for (const RecordedFile& file : result.files) {
        const QString mods = file.supportFile ? QStringLiteral("support file") : QString::number(file.mods);
        PrintLine(TabSeparated({file.relativePath, file.Recorded() ? mods : QString(), file.reason}));
        leftOut = leftOut || !file.Recorded();
    }
    switch (result.outcome) {
    case RecordOutcome::Stored:
        if (leftOut)
            PrintLine(QStringLiteral("zenpatch-cli: the files with a reason were left out of the hack"), stderr);
        return leftOut ? exitFailed : exitSuccess;
    case RecordOutcome::NotRecorded:
        PrintLine(QStringLiteral("zenpatch-cli: nothing was stored: ")
                      + (result.error.isEmpty() ? QStringLiteral("files that could not be recorded (--partial "
                                                                 "stores the rest)")
                                                : result.error),
                  stderr);
        return exitFailed;
    case RecordOutcome::NothingChanged:
        PrintLine(QStringLiteral("zenpatch-cli: nothing to record: no file differs"), stderr);
        return exitFailed;
    case RecordOutcome::PromiseBroken:
        PrintLine(QStringLiteral("zenpatch-cli: nothing was stored: installing the recorded hack does not give the "
                                 "edited bytes of ")
                      + result.brokenFile,
                  stderr);
        return exitFailed;
    case RecordOutcome::Cancelled:
    case RecordOutcome::Halted:
        break;
    }
    throw CommandError(result.error.toStdString());
}

} // namespace

int RunRecordCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed
        = ParseArguments(args, 0, {"--name", "--edited", "--patch", "--original", "--type", "--eol"}, {"--partial"});
    const auto name = parsed.value("--name");
    const auto edited = parsed.value("--edited");
    const auto patch = parsed.value("--patch");
    if (!name || name->empty())
        throw CommandError("record needs --name NAME");
    if (edited.has_value() == patch.has_value())
        throw CommandError("record needs one of --edited DIR and --patch FILE");
    Session session(options);
    AppState& state = session.state;
    RecordRequest request = RequestFrom(state, parsed);
    request.info = RecordedHackInfo(state, ArgumentText(*name));
    const RecordResult result = RecordAsJob(state, [&] {
        if (edited)
            return Record(state, request, CompareFolders(request.originalRoot, ArgumentText(*edited)));
        return RecordPatch(state, request, ArgumentText(*patch));
    });
    return Report(result);
}

int RunImportTextCommand(const GlobalOptions& options, const CommandArguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, 1, {"--name", "--original", "--type", "--eol"}, {"--partial"});
    Session session(options);
    AppState& state = session.state;
    RecordRequest request = RequestFrom(state, parsed);
    request.info = RecordedHackInfo(state, QString());
    request.info.Name.reset();
    if (const auto name = parsed.value("--name"); name && !name->empty())
        request.info.Name = ArgumentText(*name);
    const QString file = ArgumentText(parsed.positional[0]);
    return Report(RecordAsJob(state, [&] { return ImportText(state, request, file); }));
}

} // namespace zp::cli
