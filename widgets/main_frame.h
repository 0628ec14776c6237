#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <utility>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QTimer;

namespace zp {

struct AppState;

// The main window as the working windows see it: the MDI area they are shown in, the five-panel
// status bar, the arrangements of the Window menu, and what a window asks of the program around it
// (the hack list, an import). The program's main window composes the menus and the windows.
class MainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainFrame(AppState& state, QWidget* parent = nullptr);
    ~MainFrame() override;

    AppState& State() const { return state_; }
    QMdiArea* mdiArea() const { return mdiArea_; }

    // Status bar panels 1 to 5; other panel numbers are ignored.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

    // Adds a working window as an MDI child and shows it. The sub-window keeps the window's minimum
    // size and closes on Ctrl+F4 and Ctrl+W.
    QMdiSubWindow* ShowChild(QWidget* form);

    // Grows the window, within its screen, until the working window's frame fits in the client
    // area; a maximised window stays as it is.
    void MakeRoomFor(const QWidget* frame);

    // Restores the size, position and state the window had when it was last closed, as kept in
    // this settings file, and keeps them there when it closes. Without a file nothing is kept.
    void RestoreWindowState(const QString& settingsFile);

    // Window-menu arrangements. No arrangement makes a window smaller than its minimum, and each
    // keeps the size it had before the first arrangement changed it (its designed size).
    // The tiles share the area, each at least its minimum (the area scrolls to what does not fit);
    // a window alone is not tiled but takes its designed size.
    void TileHorizontal();
    void TileVertical();
    // Each open window one title bar below and right of the one before it, at its designed size
    // where that fits in the area.
    void Cascade();
    void ArrangeIcons();

    // Shows the hack list: the open one comes to the front, else a new one is loaded. With a hack
    // number, the list is (re)filled with that hack selected.
    virtual void ShowHackList(int selectHackNum = 0) = 0;
    // Shows the hack list once the close under way is done, unless the database has gone meanwhile
    // (the program is ending, or a backup is under way, which shows a new list itself). For the
    // windows that replace the list while they are open: the list comes back on their hack.
    void ShowHackListLater(int selectHackNum = 0);
    // Refills the hack list when it is showing (a window that stored or imported a hack), the hack
    // of this number selected; with 0, the row selected before.
    virtual void RefillShowingHackList(int selectHackNum) = 0;
    // Refills the open hack list, shown or not, with its selected row kept (a run that stamped the
    // hack's "Last Installed").
    virtual void RefillOpenHackList() = 0;
    // Imports a given hack file (dropped onto the window, or downloaded as an update) through the
    // import window; the hack list (when showing) is refilled afterwards.
    virtual void ImportDroppedFile(const QString& file) = 0;
    // Shows the window that publishes the files of the hack's installation in the output folder to
    // a board's server.
    virtual void ShowPublish(int hackNum) = 0;
    // Imports a downloaded hack file through the import window, which closes also when the import
    // stops (the file is deleted afterwards, so there is nothing to try again); the hack list (when
    // showing) is refilled. Returns the number of the hack stored, 0 when none was.
    virtual int ImportDownloadedFile(const QString& file) = 0;

    QAction* mnuHackList = nullptr; // Hacks > List Hacks: off while a window that ends in the list is open
    QStatusBar* sbarMain;

protected:
    // A menu of the menu bar whose mnemonic gives way to a working window's own controls.
    QMenu* AddMenu(const QString& caption, const char* name);
    // The menu ends with one item per open window, the active one checked.
    void ListWindows(QMenu* menu);
    void SaveWindowState();

private:
    // Splits the client area among the open (not minimised) windows along the direction.
    void Tile(Qt::Orientation direction);
    void CreateStatusBar();
    void UpdateClock();
    // The active window takes the keyboard. While a working window is active, a menu whose letter the window's own
    // controls take loses its mnemonic (F10 still opens it): Alt+letter then reaches the window's control, never the
    // menu.
    void GiveMenuKeysTo(QMdiSubWindow* active);

    AppState& state_;
    QMdiArea* mdiArea_;
    QLabel* panels_[5];
    QTimer* clock_;
    QList<std::pair<QMenu*, QString>> menuCaptions_;
    QList<QAction*> windowItems_;
    QString settingsFile_;
};

} // namespace zp
