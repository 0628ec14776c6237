#pragma once

#include "engine/modification_engine.h"

#include <QString>
#include <optional>
#include <vector>

namespace zp {

// What became of a mod carried to a new board release.
enum class ModVerdict {
    Unchanged, // the same mod fits the new release
    Recounted, // the same old data, found as another occurrence
    Reanchored, // new old data around its own change, which is unchanged
    AlreadyInRelease, // the release already makes its change: dropped
    NeedsPerson, // the merge cannot carry it (the reason says why)
    ByPerson, // a person wrote it for the new release
};

// "unchanged", "re-counted", "re-anchored", "already in release", "needs a person", "finished by a
// person".
QString ModVerdictText(ModVerdict verdict);
// Whether the mod is in the ported hack as the merge or a person made it.
bool Carried(ModVerdict verdict);

// One mod of a board file, in the order the installation applies them.
struct ModToCarry
{
    ModRecord mod;
    bool applied = true; // it applied over the release the hack was written for
    std::optional<ModRecord> byPerson; // its form for the new release, written by a person
};

struct CarriedMod
{
    ModVerdict verdict = ModVerdict::NeedsPerson;
    ModRecord mod; // the mod for the new release (as it was when it needs a person)
    QString reason; // why it needs a person
};

struct CarriedFile
{
    std::vector<CarriedMod> mods;
    // The release's text with every carried mod applied, in order.
    QString ported;
    // The three-way merge of the file (the old release, the hack's text over it, the new release);
    // nothing when it has a conflict. Where a person wrote a mod, the ported text.
    std::optional<QString> merged;
};

// The mods of one board file carried from the text of the release they were written for (`base`)
// to the new release's (`theirs`), both as the work buffer holds them. Each mod in turn: the text
// before it and after it over the old release are merged with the new release's text as the
// mods before it left it; a conflict needs a person; a clean merge is carried by the same mod, the
// same old data at another occurrence, or a new anchor, whichever the engine turns into exactly
// the merged text; a mod whose change the merge already finds in the release is dropped.
CarriedFile CarryMods(const QString& base, const QString& theirs, const std::vector<ModToCarry>& mods);

// The text after the mod, as the engine applies it; nothing when it does not apply.
std::optional<QString> AppliedMod(const QString& text, const ModRecord& mod);

} // namespace zp
