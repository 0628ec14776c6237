#pragma once

#include "app/background_job.h"
#include "boardcheck/board_check.h"

#include <QWidget>
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

// The board check window: on "Upgrade", which hacks still fit a new board release; on "Conflicts",
// which pairs of hacks collide over the board in use, and an install order that avoids every
// "breaks". A check runs in the background with a state of its own (its own database connection)
// while the window keeps answering; one check at a time, and "Cancel", or closing the window,
// stops it after the hack it is trying.
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
    QProgressBar* prgCheck;
    QLabel* lblStatus;
    QPushButton* cmdCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Run;
    static constexpr int UpgradeTabIndex = 0;
    static constexpr int ConflictsTabIndex = 1;
    // The hack column of the upgrade grid, and the widest row header of the conflict matrix.
    static constexpr int HackColumnTwips = 2600;

    QWidget* UpgradeTab();
    QWidget* ConflictsTab();
    void CheckUpgrade();
    void CheckConflicts();
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

    AppState& state_;
    QTimer* progress_;
    std::shared_ptr<Run> run_; // the check going or last ended
    std::optional<UpgradeCheckResult> upgrade_;
    std::optional<ConflictCheckResult> conflicts_;
    QString status_[2]; // per tab
    bool unloaded_ = false;
    BackgroundJob job_; // last: a running check ends before anything it reports to goes
};

// Shows the board check window in the main window; an open one is brought to the front as it is.
frmBoardCheck& ShowBoardCheck(MainFrame& main);

// The failing mods of a hack or a pair, one per line, as the window shows them.
QString FailingModsText(const std::vector<FailingMod>& mods);

} // namespace zp
