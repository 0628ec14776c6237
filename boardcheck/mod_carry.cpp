#include "boardcheck/mod_carry.h"

#include "boardcheck/anchor_choice.h"
#include "boardcheck/line_merge.h"
#include "core/install_log.h"
#include "install/folded_text.h"
#include "install/work_buffer.h"

#include <algorithm>

namespace zp {

namespace {

// How many other occurrences of a mod's old data, nearest to its change first, are tried before
// the mod is re-anchored.
constexpr int kOccurrencesTried = 16;

qsizetype CommonPrefix(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The mod at the same old data, the occurrence that gives `after`: its own instance first, then
// the occurrences that begin before the first unit that changed, nearest first.
std::optional<CarriedMod> SameOldData(const QString& before, const QString& after, const ModRecord& mod)
{
    const std::optional<QString> own = AppliedMod(before, mod);
    if (own && *own == after)
        return CarriedMod {ModVerdict::Unchanged, mod, {}};
    if (mod.ModInst == 0)
        return std::nullopt; // "All" is carried as it is or not at all
    const FoldedText text(before);
    const FoldedSearch search(mod.OldData);
    const qsizetype changed = CommonPrefix(before, after);
    std::vector<int> instances;
    int n = 1;
    for (qsizetype at = search.IndexIn(text, 0); at >= 0 && at <= changed; at = search.IndexIn(text, at + 1), ++n)
        instances.push_back(n);
    std::reverse(instances.begin(), instances.end());
    if (instances.size() > size_t(kOccurrencesTried))
        instances.resize(kOccurrencesTried);
    for (const int instance : instances) {
        ModRecord recounted = mod;
        recounted.ModInst = instance;
        if (instance != mod.ModInst && AppliedMod(before, recounted) == after)
            return CarriedMod {ModVerdict::Recounted, recounted, {}};
    }
    return std::nullopt;
}

CarriedMod NeedsPerson(const ModRecord& mod, const QString& reason)
{
    return {ModVerdict::NeedsPerson, mod, reason};
}

} // namespace

QString ModVerdictText(ModVerdict verdict)
{
    switch (verdict) {
    case ModVerdict::Unchanged:
        return QStringLiteral("unchanged");
    case ModVerdict::Recounted:
        return QStringLiteral("re-counted");
    case ModVerdict::Reanchored:
        return QStringLiteral("re-anchored");
    case ModVerdict::AlreadyInRelease:
        return QStringLiteral("already in release");
    case ModVerdict::NeedsPerson:
        return QStringLiteral("needs a person");
    case ModVerdict::ByPerson:
        return QStringLiteral("finished by a person");
    }
    return QString();
}

bool Carried(ModVerdict verdict)
{
    return verdict != ModVerdict::NeedsPerson && verdict != ModVerdict::AlreadyInRelease;
}

std::optional<QString> AppliedMod(const QString& text, const ModRecord& mod)
{
    WorkBuffer buffer;
    buffer.SetText(text);
    RecordingLog log;
    if (!ApplyMod(buffer, mod, log))
        return std::nullopt;
    return buffer.Text();
}

CarriedFile CarryMods(const QString& base, const QString& theirs, const std::vector<ModToCarry>& mods)
{
    LineTable table;
    CarriedFile file;
    QString old = base; // the old release with the mods so far
    std::vector<int> oldLines = table.Number(old);
    const std::vector<int> baseLines = oldLines;
    file.ported = theirs; // the new release with the mods carried so far
    std::vector<int> portedLines = table.Number(theirs);
    for (const ModToCarry& step : mods) {
        if (!step.applied) {
            file.mods.push_back(
                NeedsPerson(step.mod, QStringLiteral("it does not apply to the release it was written for")));
            continue;
        }
        const QString next = AppliedMod(old, step.mod).value_or(old);
        const std::vector<int> nextLines = table.Number(next);
        std::optional<CarriedMod> carried;
        if (step.byPerson) {
            if (const std::optional<QString> done = AppliedMod(file.ported, *step.byPerson)) {
                carried = CarriedMod {ModVerdict::ByPerson, *step.byPerson, {}};
                file.ported = *done;
                portedLines = table.Number(file.ported);
            } else {
                file.mods.push_back(
                    NeedsPerson(*step.byPerson, QStringLiteral("the mod written for it does not apply")));
            }
        } else {
            const LineMerge merge = MergeLines(oldLines, nextLines, portedLines);
            if (!merge.Clean()) {
                file.mods.push_back(NeedsPerson(step.mod, QStringLiteral("the release changed the lines it changes")));
            } else if (merge.lines == portedLines && next != old) {
                file.mods.push_back({ModVerdict::AlreadyInRelease, step.mod, {}});
            } else {
                const QString after = table.Join(merge.lines);
                carried = SameOldData(file.ported, after, step.mod);
                if (!carried) {
                    if (const std::optional<ModRecord> anchored = ReanchoredMod(file.ported, after, step.mod))
                        carried = CarriedMod {ModVerdict::Reanchored, *anchored, {}};
                }
                if (carried) {
                    file.ported = after;
                    portedLines = merge.lines;
                } else {
                    file.mods.push_back(
                        NeedsPerson(step.mod, QStringLiteral("no anchor for it occurs once in the release")));
                }
            }
        }
        if (carried)
            file.mods.push_back(*carried);
        old = next;
        oldLines = nextLines;
    }
    const LineMerge whole = MergeLines(baseLines, oldLines, table.Number(theirs));
    if (whole.Clean())
        file.merged = table.Join(whole.lines);
    return file;
}

} // namespace zp
