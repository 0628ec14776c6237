#pragma once

#include "catalogue/hack_list_openers.h"

#include <QWidget>
#include <functional>
#include <vector>

class QMdiArea;
class QPushButton;

namespace zp {

struct AppState;
class FlexGrid;
class mdiMain;

// The hack list: the program's home window. Every hack is one grid row; selecting a row makes
// that hack the current hack of the whole program, and the buttons act on it.
class frmListHacks : public QWidget
{
    Q_OBJECT

public:
    frmListHacks(mdiMain& main, HackListOpeners openers, QWidget* parent = nullptr);

    // Sets the size, centres the window in the main window and fills the grid.
    void Load();
    // Rebuilds the grid from the database, selects the row of `selectHackNum` (the first row when
    // it is not there) and updates the status bar.
    void RefillHackList(int selectHackNum = 0);
    // Makes the hack of the grid's current row the current hack.
    void SelectHackRow();
    // The HackNum of the row the grid shows as selected; 0 when none is.
    int SelectedHackNum() const;
    // Refills the list after an import: the hack imported is the selected row, or the row selected
    // before stays when none was.
    void RefillAfterImport();

    FlexGrid* fgHackList;
    QPushButton* cmdCreateHack;
    QPushButton* cmdEditHack;
    QPushButton* cmdDeleteHack;
    QPushButton* cmdInstallHack;
    QPushButton* cmdAnalyze;
    QPushButton* cmdExportHack;
    QPushButton* cmdExportText;
    QPushButton* cmdHackInfo;
    QPushButton* cmdImport;

private:
    void CreateHack();
    void EditHack();
    void DeleteSelectedHack();
    void InstallHack();
    void Analyze();
    void ExportHack();
    void ExportText();
    void ViewHackInfo();
    void Import();
    // Makes the hack of the selected row the current hack again before a command acts on it (a
    // working window may have selected its own meanwhile). False when no row is selected.
    bool SelectListedHack();

    // The nine buttons, in their order on the window.
    QList<QPushButton*> Commands() const;
    // Enables every command whose window the program has; the others keep their tooltip.
    void EnableCommands(bool enabled);
    void SetHackListMenuEnabled(bool enabled);
    // Runs a command; a database failure is reported instead of ending the program.
    void Guarded(const std::function<void()>& command);

    mdiMain& main_;
    AppState& state_;
    HackListOpeners openers_;
    std::vector<int> hackNums_; // the HackNum of each data row
};

// The hack list in the main window (also while hidden), or nullptr when it is not open.
frmListHacks* FindHackList(QMdiArea* area);
// Shows the single hack list: opens and loads it when it is not open, otherwise shows it again
// as it is and brings it to the front.
frmListHacks& ShowHackList(mdiMain& main);
// Shows the hack list once the close under way is done, unless the database has gone meanwhile
// (the program is ending, or a backup is under way, which shows a new list itself). For the windows
// that replace the list while they are open.
void ShowHackListLater(mdiMain& main);

} // namespace zp
