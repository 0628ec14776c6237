#include "engine/modification_engine.h"

#include "core/install_log.h"
#include "encoder/vector_state.h"
#include "engine/folded_text.h"
#include "engine/work_buffer.h"

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

// 1st, 2nd, 3rd, 4th ... 11th, 12th, 13th ... 21st.
QString Ordinal(int n)
{
    const int tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        switch (n % 10) {
        case 1:
            suffix = "st";
            break;
        case 2:
            suffix = "nd";
            break;
        case 3:
            suffix = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(n) + QLatin1String(suffix);
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
    return Misfit(text, mod).isEmpty();
}

bool ModFits(const QString& text, const ModRecord& mod)
{
    return ModFits(FoldedText(text), mod);
}

QString Misfit(const FoldedText& text, const ModRecord& mod)
{
    ClearUpperVectorState();
    if (!IsActionCode(mod.ActionType))
        return QStringLiteral("the mod's action is unknown");
    if (mod.OldData.isEmpty())
        return QStringLiteral("the mod has no old data to look for");
    if (mod.ModInst < 0)
        return QStringLiteral("the occurrence %1 cannot be asked for").arg(mod.ModInst);
    // "All" needs one occurrence; the n-th needs n, counted as FindInstance counts them.
    const int wanted = qMax(mod.ModInst, 1);
    const FoldedSearch search(mod.OldData);
    int count = 0;
    for (qsizetype s = search.IndexIn(text, 0); s >= 0; s = search.IndexIn(text, s + 1)) {
        if (++count == wanted)
            return QString();
    }
    if (count == 0)
        return QStringLiteral("old data not found in ") + mod.FileName;
    return QStringLiteral("only %1 %2, the %3 was asked")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("occurrence") : QStringLiteral("occurrences"), Ordinal(wanted));
}

bool ApplyMod(WorkBuffer& buffer, const ModRecord& mod, LogSink& log)
{
    ClearUpperVectorState();
    // A mod whose action code the engine does not know changes nothing: it fails like one whose
    // old data is missing.
    if (!IsActionCode(mod.ActionType)) {
        ReportMod(log, mod, Misfit(buffer.Searchable(), mod));
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
    // Nothing was changed when the mod failed: the reason is looked for in the text as it was.
    ReportMod(log, mod, found ? QString() : Misfit(buffer.Searchable(), mod));
    return found;
}

void ReportMod(LogSink& log, const ModRecord& mod, const QString& misfit)
{
    const QString action = ActionName(mod.ActionType);
    if (misfit.isEmpty())
        log.AddRow(mod.FileName, action, QStringLiteral("Applying Mod"), QStringLiteral("Mod applied successfully"));
    else
        log.AddFailedRow(
            mod.FileName, action, QStringLiteral("Applying Mod"), QStringLiteral("ERROR: ") + mod.Comment, misfit);
    log.ProcessEvents();
}

} // namespace zp
