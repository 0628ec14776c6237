#pragma once

#include "install/revert_installation.h"
#include "widgets/grid_log.h"

#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// The revert window: lists the backups that installations of one hack over the source folder
// left (time, files, state), newest first; "&Revert" asks, then undoes the installation of the
// selected backup and shows the result in a log grid, files left alone in red.
class frmRevertInstallation : public QWidget
{
    Q_OBJECT

public:
    explicit frmRevertInstallation(MainFrame& main, QWidget* parent = nullptr);

    // Lists the backups of the hack at the current row of HackInfoRecordset; the first load also
    // sizes and centres the window.
    void Load();
    // True while a revert runs.
    bool IsRunning() const { return log_.Running(); }

    QLabel* lblBackups;
    FlexGrid* fgBackups;
    QLabel* lblLogCap;
    FlexGrid* fgRevertLog;
    QPushButton* cmdRevert;
    QPushButton* cmdClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Refills the list, with the backup of this name current (else the newest).
    void FillBackups(const QString& current = QString());
    const BackupInfo* SelectedBackup() const;
    void Revert();

    AppState& state_;
    GridLog log_;
    int hackNum_ = 0;
    QString hackName_;
    std::vector<BackupInfo> backups_;
    bool sized_ = false;
    bool unloaded_ = false;
};

// Shows the revert window for the current hack; an open one is brought to the front and shows the
// current hack's backups.
frmRevertInstallation& ShowRevertInstallation(MainFrame& main);

} // namespace zp
