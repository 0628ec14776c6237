#pragma once

#include <QString>

namespace zp {
struct AppState;
class mdiMain;
} // namespace zp

// The Publish window of the named hack as a check leaves it, one file in each state, saved as
// publish.png in `out`; false when it could not be shown or saved.
bool PublishWindowShot(zp::mdiMain& window, zp::AppState& state, const QString& hack, const QString& out);
