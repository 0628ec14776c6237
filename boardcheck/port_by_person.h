#pragma once

#include "boardcheck/hack_port.h"
#include "boardcheck/line_merge.h"

#include <QString>
#include <vector>

namespace zp {

// What a person sees of a board file whose mod the merge could not carry: the file of the release
// the hack was written for, the hack's trial installation over it and the file of the new release
// (each as the work buffer holds it, CR LF breaks), and the line ranges where the hack and the new
// release changed the same lines each in its own way.
struct MergeTexts
{
    QString base, ours, theirs;
    std::vector<MergeConflict> conflicts;
};

// The three texts of `relative`, a board file of hack `hackNum`, between the request's two releases.
// Reads the releases and writes nothing but a temporary folder; the hack selected before is selected
// again. Throws std::runtime_error when the hack is not there, or its mods name no such file, or one
// of the releases lacks it.
MergeTexts PortMergeTexts(AppState& state, const PortRequest& request, int hackNum, const QString& relative);

// Ports hack `hackNum` alone again, the mods people wrote for the new release (request.byPerson) in
// place of those of the hack, and proves it; nothing is stored. Under the job lock of its caller.
PortedHack PortAgain(AppState& state, PortRequest request, int hackNum);

} // namespace zp
