#include "boardcheck/mod_carry.h"

#include "boardcheck/anchor_choice.h"
#include "boardcheck/line_merge.h"
#include "core/install_log.h"
#include "engine/folded_text.h"
#include "engine/work_buffer.h"

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

// The buffer with the mod applied, as the engine applies it; nothing when it does not apply.
std::optional<WorkBuffer> AppliedTo(const WorkBuffer& buffer, const ModRecord& mod)
{
    WorkBuffer applied = buffer; // shares the text until the mod changes it
    RecordingLog log;
    if (!ApplyMod(applied, mod, log))
        return std::nullopt;
    return applied;
}

// The mod at the same old data, the occurrence that turns `ported` into `after`: its own instance
// first, then the occurrences that begin before the first unit that changed, nearest first. On
// success `ported` holds `after`.
std::optional<CarriedMod> SameOldData(WorkBuffer& ported, const QString& after, const ModRecord& mod)
{
    if (std::optional<WorkBuffer> own = AppliedTo(ported, mod); own && own->Text() == after) {
        ported = std::move(*own);
        return CarriedMod {ModVerdict::Unchanged, mod, {}};
    }
    if (mod.ModInst == 0)
        return std::nullopt; // "All" is carried as it is or not at all
    const FoldedSearch search(mod.OldData);
    const qsizetype changed = CommonPrefix(ported.Text(), after);
    std::vector<int> instances;
    int n = 1;
    for (qsizetype at = search.IndexIn(ported.Searchable(), 0); at >= 0 && at <= changed;
         at = search.IndexIn(ported.Searchable(), at + 1), ++n)
        instances.push_back(n);
    std::reverse(instances.begin(), instances.end());
    if (instances.size() > size_t(kOccurrencesTried))
        instances.resize(kOccurrencesTried);
    for (const int instance : instances) {
        ModRecord recounted = mod;
        recounted.ModInst = instance;
        if (instance == mod.ModInst)
            continue;
        if (std::optional<WorkBuffer> other = AppliedTo(ported, recounted); other && other->Text() == after) {
            ported = std::move(*other);
            return CarriedMod {ModVerdict::Recounted, recounted, {}};
        }
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
    const std::optional<WorkBuffer> applied = AppliedTo(buffer, mod);
    if (!applied)
        return std::nullopt;
    return applied->Text();
}

CarriedFile CarryMods(const QString& base, const QString& theirs, const std::vector<ModToCarry>& mods)
{
    LineTable table;
    CarriedFile file;
    // The old release with the mods so far, and the new one with the mods carried so far; each
    // buffer keeps its searchable twin up to date as the mods change it.
    LineTable::NumberedText old = table.NumberText(base);
    WorkBuffer oldBuffer, portedBuffer;
    oldBuffer.SetText(base);
    portedBuffer.SetText(theirs);
    const std::vector<int> baseLines = old.lines;
    // The new release mostly keeps the old one's lines: only the stretch between what they share at
    // the start and at the end is read again.
    const std::vector<int> theirLines = table.Renumber(old, theirs).lines;
    std::vector<int> portedLines = theirLines;
    for (const ModToCarry& step : mods) {
        if (!step.applied && !step.byPerson) {
            file.mods.push_back(
                NeedsPerson(step.mod, QStringLiteral("it does not apply to the release it was written for")));
            continue;
        }
        RecordingLog log;
        if (step.applied)
            ApplyMod(oldBuffer, step.mod, log);
        LineTable::NumberedText next = table.Renumber(old, oldBuffer.Text());
        std::optional<CarriedMod> carried;
        if (step.byPerson) {
            if (std::optional<WorkBuffer> done = AppliedTo(portedBuffer, *step.byPerson)) {
                carried = CarriedMod {ModVerdict::ByPerson, *step.byPerson, {}};
                portedBuffer = std::move(*done);
                portedLines = table.Number(portedBuffer.Text());
            } else {
                file.mods.push_back(
                    NeedsPerson(*step.byPerson, QStringLiteral("the mod written for it does not apply")));
            }
        } else {
            const LineMerge merge = MergeLines(old.lines, next.lines, portedLines);
            if (!merge.Clean()) {
                file.mods.push_back(NeedsPerson(step.mod, QStringLiteral("the release changed the lines it changes")));
            } else if (merge.lines == portedLines && next.lines != old.lines) {
                file.mods.push_back({ModVerdict::AlreadyInRelease, step.mod, {}});
            } else {
                const QString after = table.Join(merge.lines);
                carried = SameOldData(portedBuffer, after, step.mod);
                if (!carried) {
                    if (const std::optional<ModRecord> anchored = ReanchoredMod(portedBuffer.Text(), after, step.mod)) {
                        carried = CarriedMod {ModVerdict::Reanchored, *anchored, {}};
                        portedBuffer.SetText(after);
                    }
                }
                if (carried)
                    portedLines = merge.lines;
                else
                    file.mods.push_back(
                        NeedsPerson(step.mod, QStringLiteral("no anchor for it occurs once in the release")));
            }
        }
        if (carried)
            file.mods.push_back(*carried);
        old = std::move(next);
    }
    file.ported = portedBuffer.Text();
    // Where a person wrote a mod, their text stands for the merge's.
    const bool byPerson = std::any_of(
        file.mods.begin(), file.mods.end(), [](const CarriedMod& mod) { return mod.verdict == ModVerdict::ByPerson; });
    const LineMerge whole = MergeLines(baseLines, old.lines, theirLines);
    if (byPerson)
        file.merged = file.ported;
    else if (whole.Clean())
        file.merged = table.Join(whole.lines);
    return file;
}

} // namespace zp
