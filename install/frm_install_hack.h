#pragma once

#include "core/catalogue_operations.h"
#include "install/installation_run.h"
#include "widgets/grid_log.h"

#include <QVariant>
#include <QWidget>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// The installation window: shows the pre-install instructions of the hack selected in the hack list
// and the installation options; "&Install" runs the installation with the options as the controls
// show them, logging every step in the grid; "&Next" shows the post-install instructions and offers
// to open the folder the run wrote into, the output folder or the source folder; after a run to the output folder
// "P&ublish..." opens the window that sends its files to the board's server. While the run goes on the window
// cannot be closed.
class frmInstallHack : public QWidget, public InstallationHost
{
    Q_OBJECT

public:
    explicit frmInstallHack(MainFrame& main, QWidget* parent = nullptr);

    // Sizes and centres the window, sets the options from the configuration and shows the
    // pre-install instructions of the hack at the current row of HackInfoRecordset.
    void Load();
    // True while the installation runs.
    bool IsRunning() const { return log_.Running(); }

    bool SearchOutputFirst() const override;
    bool DeleteOutputFirst() const override;
    bool OverwriteSource() const override;
    bool LfLineEnds() const override;
    // Adds a note of the run, and a line break, to the instructions box.
    void AppendInstructionLine(const QString& text) override;
    QString SourceBackupFolder() const override;
    void ModsDone(int done, int total) override;

    QLabel* lblLogCap;
    QPlainTextEdit* txtPreInstall;
    FlexGrid* fgInstallLog;
    QProgressBar* prgModsDone;
    QCheckBox* chkUseOutputDir;
    QCheckBox* chkDelOutputDir;
    QCheckBox* chkOverSource;
    QLabel* Label1;
    QComboBox* cmbEOL;
    QPushButton* cmdInstall;
    QPushButton* cmdPreview;
    QPushButton* cmdCancel;
    QPushButton* cmdNext;
    QPushButton* cmdSaveLog; // shown with the log, once the run has ended
    QPushButton* cmdPublish; // shown once a run to the output folder has ended

protected:
    void closeEvent(QCloseEvent* event) override;
    // Sizes and centres the window and sets the options from the configuration.
    void LoadOptions();
    // Shows what the window installs: its title, the instructions before and after the run (Null
    // when there are none), and the name the saved log is given.
    void ShowHack(const QString& title, const QString& name, const QString& preInstall, const QVariant& postInstall);
    // The run of "&Install", inside the guard of the log: the window offers "&Next" afterwards.
    // False when it did not start.
    virtual bool RunInstall();
    // Before a run whose first hack is `hackNum`: asks before the source files are overwritten,
    // naming the folder that will keep their copies, then shows the log. False when declined.
    bool StartRun(int hackNum);

    QVBoxLayout* options_; // the option controls, beside the buttons
    // Whether "P&ublish..." follows a run to the output folder: the publish sends one hack's last
    // installation, so a run of several offers none.
    bool offersPublish_ = true;
    MainFrame& main_;
    AppState& state_;
    GridLog log_;

private:
    void LayOut();
    void ShowDestination();
    void Install();
    // Tries the installation with the options as shown and opens its diff in a new window.
    void Preview();
    // Opens `hack` on the row of the hack this window was opened for; says so when it is no
    // longer in the database.
    bool OwnHackFound(Recordset& hack);
    bool ConfirmOverwrite(int hackNum);
    void ShowLog();
    void Next();
    // The closing question after an installation over the source folder, which it names.
    bool AskOpenSourceFolder();
    // Saves the log as TSV in a file the user chooses.
    void SaveLog();
    void Unload();

    int hackNum_ = 0;
    QString hackName_;
    QVariant postInstall_; // PostInstallCom of the hack, Null when it has none
    QString backupFolder_;
    std::pair<int, int> modsDone_; // mods done and total not shown yet; total 0 when none waits
    bool showingPostInstall_ = false;
    bool installedOverSource_ = false; // the last run put its files over the source folder
    bool unloaded_ = false;
};

// Shows the installation window in the main window, loaded for the current hack; an open one is
// brought to the front as it is.
frmInstallHack& ShowInstaller(MainFrame& main);

} // namespace zp
