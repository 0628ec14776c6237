#pragma once

#include "engine/modification_engine.h"

#include <QString>
#include <vector>

namespace zp {

// The mods that turn one board text into another, both held as the work buffer holds them (every
// line break CR LF). Each changed region of lines becomes one mod, top to bottom, in the order the
// installation applies them:
// - lines only added: "Add After" the unchanged lines above, or "Add Before" those below;
// - lines only removed: "Delete" (the engine takes the line break after them as well);
// - anything else, or where the shorter forms find no anchor: "Replace".
// Two regions that equal lines part are one region when the lines of one can move past them: a
// line removed before an equal kept one is the same edit as the kept one removed.
// A mod's old data is whole lines: the region's own lines and as few unchanged lines around them
// as make it occur once (ignoring letter case, as the engine searches) in the text as the earlier
// mods leave it, with instance 1. Where no anchor of up to MaxContextLines lines is unique, the
// shortest one is used with the instance number of its occurrence. FileName and Comment are left
// empty.
struct TextChanges
{
    std::vector<ModRecord> mods;
    QString refusal; // why the change cannot be written as mods; no mods then
};
TextChanges RecordTextChanges(const QString& before, const QString& after);

// How many unchanged lines an anchor may take in before an instance number is used instead.
inline constexpr int MaxContextLines = 12;

} // namespace zp
