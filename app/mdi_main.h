#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <utility>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QSystemTrayIcon;
class QTimer;

namespace zp {

struct AppState;
class frmAbout;

// The main window: an MDI parent whose client area hosts the working windows, with the File,
// Hacks, Window and Help menus, the five-panel status bar and the splash timer.
class mdiMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit mdiMain(AppState& state, QWidget* parent = nullptr);
    ~mdiMain() override;

    AppState& State() const { return state_; }
    QMdiArea* mdiArea() const { return mdiArea_; }

    // Status bar panels 1 to 5; other panel numbers are ignored.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

    // A later start of the program handed over `file` (empty for none): the window comes to the
    // front, and the file is imported in the import window once no modal window is open and no
    // working window's run is going.
    void OpenHandedFile(const QString& file);

    // The program's arguments joined by single spaces: the path of a hack file to import at start.
    void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }
    QString CommandLine() const { return commandLine_; }

    // The load routine: opens the database, loads the configuration (Options when unconfigured),
    // registers the file types, imports the command-line file or shows the splash, then shows the
    // hack list centred. Runs at start and again after a database backup.
    void Load();
    // The unload routine: closes the database, compacts it and ends the program.
    void Unload();

    // Adds a working window as an MDI child and shows it. The sub-window keeps the window's minimum
    // size and closes on Ctrl+F4 and Ctrl+W.
    QMdiSubWindow* ShowChild(QWidget* form);
    // Refills the hack list when it is showing (a window that added a hack).
    void RefillShowingHackList();
    // Closes every child window (the hack list included): the hack editor first, then the newest
    // first; stops at one that refuses (its run is going, or the user kept unsaved changes) and
    // returns false.
    bool CloseChildWindows();

    // Restores the size, position and state the window had when it was last closed, as kept in
    // this settings file, and keeps them there when it closes. Without a file nothing is kept.
    void RestoreWindowState(const QString& settingsFile);

    // Grows the window, within its screen, until the working window's frame fits in the client
    // area; a maximised window stays as it is.
    void MakeRoomFor(const QWidget* frame);

    // Window-menu arrangements.
    void TileHorizontal();
    void TileVertical();
    // Each open window one title bar below and right of the one before it, keeping its size where
    // it fits in the area.
    void Cascade();
    void ArrangeIcons();

    // Imports a given hack file (dropped onto the window, or downloaded as an update) through the
    // import window; the hack list (when showing) is refilled afterwards.
    void ImportDroppedFile(const QString& file);

    QMenu* mnuFile;
    QAction* mnuOptions;
    QAction* mnuBackupDB;
    QAction* mnuExit;
    QMenu* mnuHacks;
    QAction* mnuHackList;
    QAction* mnuImport;
    QAction* mnuOpenFile;
    QAction* mnuRevertInstall; // enabled when the selected hack has a backup
    QAction* mnuBoardCheck;
    QAction* mnuRecordHack;
    QAction* mnuCheckUpdates;
    QMenu* mnuWindow;
    QAction* mnuHorz;
    QAction* mnuVert;
    QAction* mnuArrange;
    QAction* mnuCascade;
    QMenu* mnuHelp;
    QAction* mnuAbout;
    QAction* mnuEncoderAbout;
    QAction* mnuDocsMSWord;
    QAction* mnuDocsPDF;

    QStatusBar* sbarMain;
    QTimer* tmrSplash; // closes the splash once per program run
    QSystemTrayIcon* TrayForm1 = nullptr; // only where the desktop has a tray

protected:
    void closeEvent(QCloseEvent* event) override;
    // A hack file dropped onto the window (or the hack list in it) is imported in the import window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Splits the client area among the open (not minimised) windows along the direction.
    void Tile(Qt::Orientation direction);
    void CreateMenus();
    // Room for the largest working window (the editor at its designed size) with the menu and
    // status bars, within the screen.
    void SetFirstSize();
    void SaveWindowState();
    // The Window menu ends with one item per open window, the active one checked.
    void ListWindows();
    // While a working window is active, a menu whose letter the window's own controls take loses its
    // mnemonic (F10 still opens it): Alt+letter then reaches the window's control, never the menu.
    void GiveMenuKeysTo(QMdiSubWindow* active);
    void CreateStatusBar();
    void UpdateClock();
    void RegisterFileTypes();
    void ShowSplash();
    void ShowAbout();
    void ShowOptions();
    void ShowHackList();
    // The import window, modal; the hack list (when showing) is refilled afterwards.
    void ShowImport();
    void ImportWhenIdle(const QString& file);
    // True while an installation, analysis or revert runs in a working window.
    bool RunGoing() const;
    void BackupDatabase();
    void Restart();
    // Before the program ends: a board check still running is stopped only when the user agrees.
    bool ConfirmExit();
    void OpenTextFile();
    void OpenDocumentation(const QString& fileName);

    AppState& state_;
    QMdiArea* mdiArea_;
    QLabel* panels_[5];
    QTimer* clock_;
    QString commandLine_;
    bool splashTimerSpent_ = false;
    bool ended_ = false;
    frmAbout* splash_ = nullptr;
    QList<std::pair<QMenu*, QString>> menuCaptions_;
    QList<QAction*> windowItems_;
    QString settingsFile_;
};

} // namespace zp
