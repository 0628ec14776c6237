#pragma once

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

namespace zp {

struct AppState;
class Dialogs;

// The controls both export windows ask with (a second base of each), top to bottom: the target
// folder with a "Browse..." button that fills it through the folder dialog, "Create new folder",
// and the export name. Created in that (tab) order as children of the window, in a grid whose
// rows from 5 on are the window's own.
class ExportTargetControls
{
public:
    QLineEdit* txtExpFolder;
    QPushButton* cmdBrowse;
    QCheckBox* chkMakeFolder;
    QLineEdit* txtHackFileName;

protected:
    ExportTargetControls(QWidget* window, Dialogs& dialogs);
    // Names the current hack in the window's title ("<title> — <hack>") and starts the name box
    // with a file name made from the hack's name. Without a current hack both stay as they are.
    void NameAfterCurrentHack(QWidget* window, const AppState& state);

    QGridLayout* targetGrid;
};

} // namespace zp
