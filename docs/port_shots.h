#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zp {
class frmBoardCheck;
class mdiMain;
} // namespace zp

// The Port tab of the board check after "Port All" over the new release its Upgrade tab names, and
// the three-way view of the first mod that needs a person, rewritten to look for `oldData` and tried
// again. `shownRelease` is the folder the pictures show for the release.
bool PortScreenshots(zp::mdiMain& window,
                     zp::frmBoardCheck& check,
                     const QString& shownRelease,
                     const QString& oldData,
                     const QString& out,
                     const std::function<bool(QWidget&, const QString&)>& save);
