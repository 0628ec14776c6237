#pragma once

#include "interchange/export_target_controls.h"

#include <QWidget>

namespace zp {

struct AppState;
class MainFrame;

// The window "Export hack in text format": writes the current hack as plain installation
// instructions (README.TXT, a text file of its mods, its support files in their folders) into an
// empty or new folder. A working window of the main window; it stays open after a refusal and
// closes after a finished export.
class frmExportText : public QWidget, public ExportTargetControls
{
    Q_OBJECT

public:
    // Loads the folder text from the configured output folder.
    frmExportText(AppState& state, QWidget* parent = nullptr);

    QPushButton* cmdStartExport; // chkMakeFolder stays ticked: a missing folder is always created

private:
    void Start();

    AppState& state_;
    const int hackNum_; // the hack the window was opened for
};

// The hack list's ">>": the single text export window, opened and centred in the main window, or
// brought to the front when it is open.
void ShowExportText(MainFrame& main);

} // namespace zp
