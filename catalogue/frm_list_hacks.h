#pragma once

#include "core/catalogue_operations.h"

#include <QWidget>
#include <functional>
#include <vector>

class QLineEdit;
class QMdiArea;
class QPushButton;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// How the hack list opens the windows of the other subsystems. An empty entry means the program
// has no such window: its command stays disabled, with a tooltip saying so.
struct HackListOpeners
{
    std::function<void()> ShowHackEditor; // modeless; its load runs again in edit mode afterwards
    std::function<void()> ShowInstaller; // modeless; enables mnuHackList when it closes
    std::function<void()> ShowAnalysis; // modeless; shows the hack list again when it closes
    std::function<void()> ExportHack; // modal
    std::function<void()> ShowTextExport; // modeless
    std::function<void()> ImportHack; // modal
};

// The hack list: the program's home window. Every hack is one grid row; selecting a row makes
// that hack the current hack of the whole program, and the buttons act on it.
class frmListHacks : public QWidget
{
    Q_OBJECT

public:
    frmListHacks(MainFrame& main, HackListOpeners openers, QWidget* parent = nullptr);

    // Sets the size, centres the window in the main window and fills the grid, the row of
    // `selectHackNum` selected (the first row when it is not there).
    void Load(int selectHackNum = 0);
    // Rebuilds the grid from the database, selects the row of `selectHackNum` (the first row when
    // it is not there) and updates the status bar.
    void RefillHackList(int selectHackNum = 0);
    // Makes the hack of the grid's current row the current hack.
    void SelectHackRow();
    // The HackNum of the row the grid shows as selected; 0 when none is.
    int SelectedHackNum() const;
    // The HackNums of every row selected (Ctrl- or Shift-click adds rows), top to bottom.
    std::vector<int> SelectedHackNums() const;
    // Refills the list with the hack of this number selected (the hack a window stored or
    // imported), or with the row selected before when it is 0.
    void RefillSelecting(int hackNum);
    // Orders the rows by a column (-1: the catalogue's order) and keeps that order for the next
    // run. The selection stays on the same hack.
    void SortBy(int column, Qt::SortOrder order);
    // The keyboard's way of clicking a column's header: ascending, then descending, then the
    // catalogue's order again.
    void CycleSort(int column);
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    QLineEdit* txtFilter;
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
    // Widens the columns (and the window, within the main window) to the texts shown.
    void FitColumnsToTexts();
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

    // Fills the grid with the rows that match the filter, in the chosen order, and selects the row
    // of `selectHackNum` (the first row when it is not shown). `reselect` makes that row's hack the
    // current hack even when it was the one selected before.
    void ShowRows(int selectHackNum, bool reselect);
    // order_ for the chosen column.
    void OrderRows();
    // The sort keys for the header and the keyboard: one action per column and one for the
    // catalogue's order.
    void AddSortActions();

    // The nine buttons, in their order on the window.
    QList<QPushButton*> Commands() const;
    // Enables every command whose window the program has; the others keep their tooltip.
    void EnableCommands(bool enabled);
    void SetHackListMenuEnabled(bool enabled);
    // Runs a command; a database failure is reported instead of ending the program.
    void Guarded(const std::function<void()>& command);

    MainFrame& main_;
    AppState& state_;
    HackListOpeners openers_;
    std::vector<HackListRow> rows_; // the catalogue, in the order of HackInfoRecordset
    std::vector<QString> searchTexts_; // parallel to rows_
    std::vector<int> order_; // positions in rows_ in the chosen order
    std::vector<int> shown_; // positions in rows_ of the grid's rows
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The hack list in the main window (also while hidden), or nullptr when it is not open.
frmListHacks* FindHackList(QMdiArea* area);
// Shows the single hack list: opens and loads it with these openers when it is not open, otherwise
// shows it again and brings it to the front. With a hack number, the list is (re)filled with that
// hack selected; without, an open list shows its rows as they were.
frmListHacks& ShowHackList(MainFrame& main, HackListOpeners openers, int selectHackNum = 0);

} // namespace zp
