#pragma once

#include "interchange/export_target_controls.h"
#include "interchange/interchange_dialog.h"

namespace zp {

class MainFrame;

// The Export Hack window: writes the hack selected in the hack list into one hack file in the
// folder the user names. Refused entries and failed writes leave it open with the entries; a
// finished export asks whether to open the folder and closes the window.
class frmHackExport : public InterchangeDialog, public ExportTargetControls
{
    Q_OBJECT

public:
    // Loads the folder text from diagExportPath (else the output folder).
    frmHackExport(AppState& state, QWidget* parent = nullptr);

    QPushButton* cmdStartExport;

private:
    void Start();

    const int hackNum_; // the hack the window was opened for
};

// The hack list's Export: the window, modal over the main window.
void ShowHackExport(MainFrame& main);

} // namespace zp
