#pragma once

#include "boardcheck/hack_port.h"
#include "interchange/hack_description.h"

#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace zp {

// What the port of one hack made, for storing it: its mods as they go into the new hack, and the
// merged text of each board file the promise covers (nothing where the merge has a conflict).
struct PortedRows
{
    std::vector<ModEntry> mods;
    std::map<QString, std::optional<QString>> promised;
};

// Stores the ported hack as a new hack beside its original (its fields, Version followed by " for "
// and the label, its comments ending with a line naming the original and counting each verdict;
// the mods of `rows`; the original's support files) inside a savepoint, and installs it on trial
// over the new release. The savepoint is kept when every promised file is its merged text, every
// mod of those files applied, and the request stores this hack; else it is rolled back. A failed
// proof makes the hack CannotPort with the file named. The ported hack is left selected.
void ProveAndStore(AppState& state, const PortRequest& request, PortedHack& hack, const PortedRows& rows);

} // namespace zp
