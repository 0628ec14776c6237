#pragma once

#include "engine/modification_engine.h"

#include <QString>
#include <optional>

namespace zp {

// A new form of `mod` that turns `before` into exactly `after`, where the mod's own change (what
// it puts in and, for "Replace", the part of its old data it changes) is unchanged but the text
// around it is not what its old data says. The old data is re-chosen as the recorder chooses it:
// whole lines next to the change, as few as make it occur once (ignoring letter case, as the
// engine searches), at most MaxContextLines beyond the change's own lines; the action and, but for
// the lines taken in around it, the new data stay. Nothing when no such form exists ("Delete"
// takes out its old data itself, and has none).
std::optional<ModRecord> ReanchoredMod(const QString& before, const QString& after, const ModRecord& mod);

} // namespace zp
