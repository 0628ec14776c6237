#pragma once

#include "app/background_job.h"
#include "boardcheck/board_check.h"
#include "boardcheck/hack_port.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;
class frmPortMerge;

// The board check window: on "Upgrade", which hacks still fit a new board release; on "Conflicts",
// which pairs of hacks collide over the board in use, and an install order that avoids every
// "breaks"; on "Port", the hacks carried to the new release of the Upgrade tab, each with its mods'
// verdicts, a mod that needs a person finished in the three-way view, and the ported hacks stored.
// A check runs in the background with a state of its own (its own database connection) while the
// window keeps answering; one check at a time, and "Cancel", or closing the window, stops it after
// the hack it is trying.
class frmBoardCheck : public QWidget
{
    Q_OBJECT

public:
    explicit frmBoardCheck(MainFrame& main, QWidget* parent = nullptr);
    ~frmBoardCheck() override;

    // Sizes and centres the window.
    void Load();
    bool IsChecking() const { return job_.IsRunning(); }

    QTabWidget* tabChecks;
    QLineEdit* txtNewRelease;
    QPushButton* cmdBrowse;
    QPushButton* cmdCheckUpgrade;
    FlexGrid* fgUpgrade;
    QPushButton* cmdSaveUpgrade;
    QPushButton* cmdCheckConflicts;
    QTableWidget* tblConflicts;
    QPlainTextEdit* txtOrder;
    QPushButton* cmdSaveConflicts;
    QLabel* lblPortRelease;
    QPushButton* cmdPortAll;
    QPushButton* cmdPortSelected;
    FlexGrid* fgPort;
    QPushButton* cmdResolveMod;
    QPushButton* cmdStorePorted;
    QProgressBar* prgCheck;
    QLabel* lblStatus;
    QPushButton* cmdCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // What a check and the window share: the check's progress and cancel flag, and its result once
    // it has ended.
    struct Run
    {
        int tab = 0; // the tab that shows its result
        bool storing = false; // a port that stores the hacks it carries
        std::atomic<bool> cancel {false};
        std::atomic<int> done {0};
        std::atomic<int> total {0};
        std::optional<UpgradeCheckResult> upgrade;
        std::optional<ConflictCheckResult> conflicts;
        std::optional<PortResult> port;

        BoardCheckControl Control();
    };
    static constexpr int UpgradeTabIndex = 0;
    static constexpr int ConflictsTabIndex = 1;
    static constexpr int PortTabIndex = 2;
    // The hack column of the upgrade grid, and the widest row header of the conflict matrix.
    static constexpr int HackColumnTwips = 2600;

    QWidget* UpgradeTab();
    QWidget* ConflictsTab();
    QWidget* PortTab();
    void CheckUpgrade();
    void CheckConflicts();
    // Carries the hacks (every hack when none is given) to the new release, storing nothing.
    void Port(const std::vector<int>& hacks);
    // Ports the hacks of the last port that were carried whole again, with the mods people wrote,
    // and stores them in one transaction; then offers the new release as the source folder.
    void StorePorted();
    void ShowPort(const PortResult& result);
    void AfterStore(const PortResult& result);
    // The three-way view of the mod on a row of the port grid, when a person can finish it there.
    void ResolveMod(int row);
    // A mod a person finished in the three-way view: its hack's new verdicts and the mod kept.
    void TakeFinishedMod(const PortedHack& hack, int modIndex, const ModRecord& mod);
    // Closes the three-way views: a new port or storing leaves their mods behind.
    void CloseMerges();
    // The port grid's row: its hack's index in the result, and its mod's, or -1 on the hack's own row.
    std::pair<int, int> PortRowOf(int row) const;
    // Whether the last port has hacks to store, and whether a person can finish the mod on a row.
    bool CanStore() const;
    bool CanResolve(int row) const;
    // Starts `check` in the background over a state of its own; EndCheck follows and shows the
    // result on `tab`.
    void StartCheck(int tab, std::function<void(AppState&, Run&)> check);
    void EndCheck(const QString& error);
    void ShowUpgrade(const UpgradeCheckResult& result);
    void ShowConflicts(const ConflictCheckResult& result);
    void ShowFailingMods(int row);
    // What a cell of the conflict matrix says in its tooltip (the shared files and failing mods), in
    // a message a keyboard user can reach: Enter or a double-click on the cell.
    void ShowPair(int row, int column);
    // Saves the report as HTML, or as TSV when the file chosen ends in .tsv.
    void SaveReport(const QString& html, const QString& tsv, const QString& fileName);
    void SetChecking(bool checking);
    // The status line of a tab, shown while the tab is.
    void SetStatus(int tab, const QString& text);
    void Message(const QString& text, bool error);

    MainFrame& main_;
    AppState& state_;
    QTimer* progress_;
    std::shared_ptr<Run> run_; // the check going or last ended
    std::optional<UpgradeCheckResult> upgrade_;
    std::optional<ConflictCheckResult> conflicts_;
    // The last port, the request it answered (with the mods people wrote since), the row of each
    // hack and mod in the grid, and whether its hacks were stored.
    std::optional<PortResult> port_;
    PortRequest portRequest_;
    std::vector<std::pair<int, int>> portRows_;
    bool portStored_ = false;
    QList<QPointer<frmPortMerge>> merges_; // the three-way views open on the last port
    QString status_[3]; // per tab
    bool unloaded_ = false;
    BackgroundJob job_; // last: a running check ends before anything it reports to goes
};

// Shows the board check window in the main window; an open one is brought to the front as it is.
frmBoardCheck& ShowBoardCheck(MainFrame& main);

// The failing mods of a hack or a pair, one per line, as the window shows them.
QString FailingModsText(const std::vector<FailingMod>& mods);

} // namespace zp
