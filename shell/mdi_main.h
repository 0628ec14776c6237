#pragma once

#include "widgets/main_frame.h"

#include <QString>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace zp {

struct AppState;
class frmAbout;

// The main window: the frame whose client area hosts the working windows, with the File, Hacks,
// Window and Help menus wired to the program's windows, and the splash timer.
class mdiMain : public MainFrame
{
    Q_OBJECT

public:
    explicit mdiMain(AppState& state, QWidget* parent = nullptr);
    ~mdiMain() override;

    // A later start of the program handed over `file` (empty for none): the window comes to the
    // front, and the file is imported in the import window once no modal window is open and no
    // working window's run is going.
    void OpenHandedFile(const QString& file);

    // The program's arguments joined by single spaces: the path of a hack file to import at start.
    void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }

    // The load routine: opens the database, loads the configuration (Options when unconfigured),
    // registers the file types, imports the command-line file or shows the splash, then shows the
    // hack list centred. Runs at start and again after a database backup.
    void Load();
    // The unload routine: closes the database, compacts it and ends the program.
    void Unload();

    // Closes every child window (the hack list included): the hack editor first, then the newest
    // first; stops at one that refuses (its run is going, or the user kept unsaved changes) and
    // returns false.
    bool CloseChildWindows();

    void ShowHackList(int selectHackNum = 0) override;
    void RefillShowingHackList(int selectHackNum) override;
    void RefillOpenHackList() override;
    void ImportDroppedFile(const QString& file) override;
    void ShowPublish(int hackNum) override;
    int ImportDownloadedFile(const QString& file) override;

    QMenu* mnuFile;
    QAction* mnuOptions;
    QAction* mnuBackupDB;
    QAction* mnuExit;
    QMenu* mnuHacks;
    QAction* mnuImport;
    QAction* mnuOpenFile;
    QAction* mnuInstallSeveral; // enabled when the hack list shows selected rows
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

    QTimer* tmrSplash; // closes the splash once per program run
    QSystemTrayIcon* TrayForm1 = nullptr; // only where the desktop has a tray

protected:
    void closeEvent(QCloseEvent* event) override;
    // A hack file dropped onto the window (or the hack list in it) is imported in the import window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    // Room for the largest working window (the editor at its designed size) with the menu and
    // status bars, within the screen.
    void SetFirstSize();
    void RegisterFileTypes();
    void ShowSplash();
    void ShowAbout();
    void ShowOptions();
    // The import window, modal; the hack list (when showing) is refilled afterwards.
    void ShowImport();
    // The HackNums of the rows selected in the hack list, when it is showing; none otherwise.
    std::vector<int> ListedSelection();
    void ImportWhenIdle(const QString& file);
    // True while an installation, analysis or revert runs in a working window.
    bool RunGoing() const;
    void BackupDatabase();
    void Restart();
    // Before the program ends: a board check still running is stopped only when the user agrees.
    bool ConfirmExit();
    void OpenTextFile();
    void OpenDocumentation(const QString& fileName);

    QString commandLine_;
    bool splashTimerSpent_ = false;
    bool ended_ = false;
    frmAbout* splash_ = nullptr;
};

} // namespace zp
