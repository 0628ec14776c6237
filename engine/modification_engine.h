#pragma once

#include "core/mod_actions.h"

#include <QString>

namespace zp {

class FoldedSearch;
class FoldedText;
class LogSink;
class WorkBuffer;

// The fields of one mod that the engine needs; a Null text field is empty text.
struct ModRecord
{
    int ActionType = 0;
    int ModInst = 0; // 0 = every occurrence ("All"), n >= 1 = the n-th occurrence
    QString OldData;
    QString NewData;
    QString FileName;
    QString Comment;
};

// Offset of the n-th case-insensitive occurrence (n >= 1), counting overlapping ones: each search
// starts one character after the start of the previous occurrence. -1 when there are fewer than n;
// empty old data is never found.
qsizetype FindInstance(const FoldedText& text, const FoldedSearch& oldData, int n);
qsizetype FindInstance(const QString& text, const QString& oldData, int n);
// Whether the mod would find what it acts on in the text: one occurrence for "All", the n-th
// otherwise. A mod with an unknown action code never fits.
bool ModFits(const FoldedText& text, const ModRecord& mod);
bool ModFits(const QString& text, const ModRecord& mod);
// Why the mod does not fit the text ("old data not found in forum.cgi", "only 2 occurrences, the
// 3rd was asked"); empty when it fits.
QString Misfit(const FoldedText& text, const ModRecord& mod);

// Applies one mod to the buffer and logs its row ("Mod applied successfully", or a red "ERROR: "
// row with the mod's comment when the old data is not found or the action code is unknown).
// Returns whether it was applied.
// With "All" every occurrence in the text as it was is acted on once; text put in by the mod is
// never searched.
bool ApplyMod(WorkBuffer& buffer, const ModRecord& mod, LogSink& log);

// The engine's log row for a mod, then a chance for the window to repaint: "Mod applied
// successfully" when `misfit` is empty, else a red "ERROR: " row that `misfit` explains.
void ReportMod(LogSink& log, const ModRecord& mod, const QString& misfit);

} // namespace zp
