#include "install/modification_engine.h"

#include "install/install_log.h"
#include "install/work_buffer.h"

#include <algorithm>

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

// "All": the text with the action done at every occurrence. Each search resumes in the part
// of the text not yet acted on, so the mod's own new text is never searched: one character
// after the occurrence's start for "Add Before" and "Insert" (its new position lies beyond the
// inserted text), after the occurrence for the other actions, after the removed line break for
// "Delete". Built in one pass so that many occurrences in a large file stay cheap.
QString ActOnAll(const QString& text, const ModRecord& mod, bool& found)
{
    const QStringView source(text);
    const qsizetype length = mod.OldData.size();
    const QString newText = AdjustedNewText(mod.ActionType, mod.NewData);
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0; // source[0, copied) has been handled
    qsizetype from = 0;
    qsizetype s;
    while ((s = FindOccurrence(text, mod.OldData, from)) >= 0) {
        found = true;
        switch (mod.ActionType) {
        case AddBefore:
        case Insert:
            out += source.sliced(copied, s - copied);
            out += newText;
            copied = s;
            from = s + 1;
            break;
        case AddAfter:
        case Append:
            out += source.sliced(copied, s + length - copied);
            out += newText;
            copied = from = s + length;
            break;
        case Replace:
            out += source.sliced(copied, s - copied);
            out += newText;
            copied = from = s + length;
            break;
        case Delete:
            out += source.sliced(copied, s - copied);
            copied = from = std::min(s + length + 2, text.size());
            break;
        default:
            from = s + 1;
            break;
        }
    }
    out += source.sliced(copied);
    return out;
}

} // namespace

QString ActionName(int actionType)
{
    static const QString names[] = {
        QStringLiteral("Add Before"),
        QStringLiteral("Add After"),
        QStringLiteral("Insert"),
        QStringLiteral("Append"),
        QStringLiteral("Replace"),
        QStringLiteral("Delete"),
    };
    return IsActionCode(actionType) ? names[actionType] : QString();
}

qsizetype FindOccurrence(const QString& text, const QString& oldData, qsizetype from)
{
    if (oldData.isEmpty() || from > text.size())
        return -1;
    return text.indexOf(oldData, from, Qt::CaseInsensitive);
}

qsizetype FindInstance(const QString& text, const QString& oldData, int n)
{
    qsizetype from = 0;
    for (int i = 1; i <= n; ++i) {
        const qsizetype s = FindOccurrence(text, oldData, from);
        if (s < 0 || i == n)
            return s;
        from = s + 1;
    }
    return -1;
}

bool IsActionCode(int actionType)
{
    return actionType >= AddBefore && actionType <= Delete;
}

bool ModFits(const QString& text, const ModRecord& mod)
{
    if (!IsActionCode(mod.ActionType))
        return false;
    return mod.ModInst == 0 ? FindOccurrence(text, mod.OldData, 0) >= 0
                            : FindInstance(text, mod.OldData, mod.ModInst) >= 0;
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
        QString changed = ActOnAll(buffer.Text(), mod, found);
        if (found) {
            buffer.SetSelStart(0);
            buffer.SetSelLength(buffer.Text().size());
            buffer.SetSelText(changed);
        }
    } else {
        const qsizetype s = FindInstance(buffer.Text(), mod.OldData, mod.ModInst);
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
