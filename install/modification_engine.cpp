#include "install/modification_engine.h"

#include "core/install_log.h"
#include "install/folded_text.h"
#include "install/work_buffer.h"

#include <algorithm>
#include <vector>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The new text as the action puts it in: on lines of its own for "Add Before" / "Add After",
// inline (one leading and one trailing CR LF removed) for "Insert" / "Append".
QString AdjustedNewText(int action, QString text)
{
    switch (action) {
    case AddBefore:
        if (!text.endsWith(kCrLf))
            text += kCrLf;
        break;
    case AddAfter:
        if (!text.startsWith(kCrLf))
            text.prepend(kCrLf);
        break;
    case Insert:
    case Append:
        if (text.startsWith(kCrLf))
            text.remove(0, 2);
        if (text.endsWith(kCrLf))
            text.chop(2);
        break;
    default:
        break;
    }
    return text;
}

// Acts on the occurrence at s through the buffer's selection.
void ApplyActionAt(WorkBuffer& buffer, const ModRecord& mod, qsizetype s)
{
    const qsizetype length = mod.OldData.size();
    const QString text = AdjustedNewText(mod.ActionType, mod.NewData);
    buffer.SetSelStart(s);
    buffer.SetSelLength(length);
    switch (mod.ActionType) {
    case AddBefore:
    case Insert:
        buffer.SetSelLength(0);
        buffer.SetSelText(text);
        break;
    case AddAfter:
    case Append:
        buffer.SetSelStart(s + length);
        buffer.SetSelLength(0);
        buffer.SetSelText(text);
        break;
    case Replace:
        buffer.SetSelText(text);
        break;
    case Delete:
        buffer.SetSelLength(length + 2);
        buffer.SetSelText(QString());
        break;
    default:
        break;
    }
}

// "All": where the action is done, in the text as it was. Each search resumes in the part of the
// text not yet acted on, so the mod's own new text is never searched: one character after the
// occurrence's start for "Add Before" and "Insert" (its new position lies beyond the inserted
// text), after the occurrence for the other actions, after the removed line break for "Delete".
std::vector<qsizetype> OccurrencesForAll(const FoldedText& text, const ModRecord& mod)
{
    const FoldedSearch search(mod.OldData);
    const qsizetype length = search.size();
    std::vector<qsizetype> found;
    for (qsizetype s = search.IndexIn(text, 0); s >= 0;) {
        found.push_back(s);
        qsizetype from = s + 1;
        if (mod.ActionType == AddAfter || mod.ActionType == Append || mod.ActionType == Replace)
            from = s + length;
        else if (mod.ActionType == Delete)
            from = std::min(s + length + 2, text.size());
        s = search.IndexIn(text, from);
    }
    return found;
}

// Where "All" acts on each occurrence: the new text goes in its place ("Replace"), before it ("Add
// Before", "Insert") or after it ("Add After", "Append"); "Delete" removes it with the line break
// after it.
FoldedText::Ranges RangesForAll(const ModRecord& mod, const std::vector<qsizetype>& occurrences, qsizetype size)
{
    const qsizetype length = mod.OldData.size();
    FoldedText::Ranges ranges;
    ranges.reserve(occurrences.size());
    for (const qsizetype s : occurrences) {
        switch (mod.ActionType) {
        case AddAfter:
        case Append:
            ranges.emplace_back(s + length, 0);
            break;
        case Replace:
            ranges.emplace_back(s, length);
            break;
        case Delete:
            ranges.emplace_back(s, std::min(s + length + 2, size) - s);
            break;
        default: // "Add Before", "Insert"
            ranges.emplace_back(s, 0);
            break;
        }
    }
    return ranges;
}

} // namespace

qsizetype FindInstance(const FoldedText& text, const FoldedSearch& oldData, int n)
{
    qsizetype from = 0;
    for (int i = 1; i <= n; ++i) {
        const qsizetype s = oldData.IndexIn(text, from);
        if (s < 0 || i == n)
            return s;
        from = s + 1;
    }
    return -1;
}

qsizetype FindInstance(const QString& text, const QString& oldData, int n)
{
    return FindInstance(FoldedText(text), FoldedSearch(oldData), n);
}

bool ModFits(const FoldedText& text, const ModRecord& mod)
{
    if (!IsActionCode(mod.ActionType))
        return false;
    const FoldedSearch search(mod.OldData);
    return mod.ModInst == 0 ? search.IndexIn(text, 0) >= 0 : FindInstance(text, search, mod.ModInst) >= 0;
}

bool ModFits(const QString& text, const ModRecord& mod)
{
    return ModFits(FoldedText(text), mod);
}

bool ApplyMod(WorkBuffer& buffer, const ModRecord& mod, LogSink& log)
{
    // A mod whose action code the engine does not know changes nothing: it fails like one whose
    // old data is missing.
    if (!IsActionCode(mod.ActionType)) {
        ReportMod(log, mod, false);
        return false;
    }
    bool found = false;
    if (mod.ModInst == 0) {
        const std::vector<qsizetype> occurrences = OccurrencesForAll(buffer.Searchable(), mod);
        found = !occurrences.empty();
        if (found) {
            const qsizetype size = buffer.Searchable().size();
            buffer.ReplaceEach(RangesForAll(mod, occurrences, size),
                               mod.ActionType == Delete ? QString() : AdjustedNewText(mod.ActionType, mod.NewData));
        }
    } else {
        const qsizetype s = FindInstance(buffer.Searchable(), FoldedSearch(mod.OldData), mod.ModInst);
        found = s >= 0;
        if (found)
            ApplyActionAt(buffer, mod, s);
    }
    ReportMod(log, mod, found);
    return found;
}

void ReportMod(LogSink& log, const ModRecord& mod, bool found)
{
    const QString action = ActionName(mod.ActionType);
    if (found)
        log.AddRow(mod.FileName, action, QStringLiteral("Applying Mod"), QStringLiteral("Mod applied successfully"));
    else
        log.AddFailedRow(mod.FileName, action, QStringLiteral("Applying Mod"), QStringLiteral("ERROR: ") + mod.Comment);
    log.ProcessEvents();
}

} // namespace zp
