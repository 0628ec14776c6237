#include "boardcheck/port_by_person.h"

#include "boardcheck/hack_trials.h"
#include "boardcheck/port_files.h"
#include "core/board_text.h"
#include "install/trial_installation.h"

#include <algorithm>
#include <stdexcept>

namespace zp {

MergeTexts PortMergeTexts(AppState& state, const PortRequest& request, int hackNum, const QString& relative)
{
    HackTrials trials(state, {hackNum});
    TrialInstallation trial(request.from);
    const HackMods results = trials.Run(trial, 0);
    const auto mod = std::find_if(
        results.begin(), results.end(), [&](const ModResult& result) { return result.relativePath == relative; });
    const auto file = std::find_if(trial.Files().begin(), trial.Files().end(), [&](const auto& file) {
        return file.relativePath == relative && !file.support;
    });
    if (mod == results.end() || file == trial.Files().end())
        throw std::runtime_error(
            QStringLiteral("%1 changes no board file %2").arg(trials.Hacks()[0].Name, relative).toStdString());
    const std::optional<QString> base = BoardTextOf(file->origin);
    const std::optional<QString> theirs = BoardTextOf(FileInRelease(request.to, *mod));
    if (!base || !theirs)
        throw std::runtime_error(
            QStringLiteral("%1 is not in %2").arg(relative, base ? request.to : request.from).toStdString());
    MergeTexts texts {*base, DecodeBoardText(TrialInstallation::Bytes(file->workFile)).text, *theirs, {}};
    LineTable table;
    texts.conflicts
        = MergeLines(table.Number(texts.base), table.Number(texts.ours), table.Number(texts.theirs)).conflicts;
    return texts;
}

PortedHack PortAgain(AppState& state, PortRequest request, int hackNum)
{
    request.hacks = {hackNum};
    request.store = false;
    return RunPort(state, request).Hacks.at(0);
}

} // namespace zp
