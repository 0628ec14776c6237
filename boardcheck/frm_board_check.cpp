#include "boardcheck/frm_board_check.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "boardcheck/board_check_report.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace zp {

namespace {

constexpr int WidthTwips = 10500;
constexpr int HeightTwips = 6600;
constexpr int MinimumWidthTwips = 7800;
constexpr int MinimumHeightTwips = 5400;
constexpr int ProgressMilliseconds = 100;

// Verdict colours of an upgrade row's text.
const QColor FitsText(0, 128, 0);
const QColor FailsText(Qt::red);

QString FailingModText(const FailingMod& mod)
{
    return frmBoardCheck::tr("%1: %2, %3, order %4, %5\n    \"%6\"")
        .arg(mod.Hack, mod.FileName, mod.Action, QString::number(mod.ModOrder), mod.Comment, mod.OldData);
}

} // namespace

QString FailingModsText(const std::vector<FailingMod>& mods)
{
    QStringList lines;
    for (const FailingMod& mod : mods)
        lines << FailingModText(mod);
    return lines.join(QLatin1Char('\n'));
}

BoardCheckControl frmBoardCheck::Run::Control()
{
    return {[this](int doneSteps, int totalSteps) {
                total = totalSteps;
                done = doneSteps;
            },
            &cancel};
}

frmBoardCheck::frmBoardCheck(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , tabChecks(new QTabWidget(this))
    , txtNewRelease(new QLineEdit(this))
    , cmdBrowse(new QPushButton(tr("&Browse..."), this))
    , cmdCheckUpgrade(new QPushButton(tr("&Check"), this))
    , fgUpgrade(new FlexGrid({{tr("Hack"), HackColumnTwips, Qt::AlignLeft | Qt::AlignVCenter},
                              {tr("Mods"), 700, Qt::AlignRight | Qt::AlignVCenter},
                              {tr("Apply Now"), 1100, Qt::AlignRight | Qt::AlignVCenter},
                              {tr("Apply After"), 1100, Qt::AlignRight | Qt::AlignVCenter},
                              {tr("Files Missing"), 1900, Qt::AlignLeft | Qt::AlignVCenter},
                              {tr("Verdict"), 1700, Qt::AlignLeft | Qt::AlignVCenter}},
                             this))
    , cmdSaveUpgrade(new QPushButton(tr("Save &Report..."), this))
    , cmdCheckConflicts(new QPushButton(tr("&Check"), this))
    , tblConflicts(new QTableWidget(this))
    , txtOrder(new QPlainTextEdit(this))
    , cmdSaveConflicts(new QPushButton(tr("Save &Report..."), this))
    , prgCheck(new QProgressBar(this))
    , lblStatus(new QLabel(this))
    , cmdCancel(new QPushButton(tr("C&ancel"), this))
    , main_(main)
    , state_(main.State())
    , progress_(new QTimer(this))
{
    setWindowTitle(tr("Board Check"));
    tabChecks->addTab(UpgradeTab(), tr("&Upgrade"));
    tabChecks->addTab(ConflictsTab(), tr("C&onflicts"));
    tabChecks->addTab(PortTab(), tr("Por&t"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(prgCheck, 1);
    bottom->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabChecks, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(bottom);
    // Room for a few rows of each grid, and never less than the controls need.
    setMinimumSize(minimumSizeHint().expandedTo(
        QSize(TwipsToPixels(MinimumWidthTwips, this), TwipsToPixels(MinimumHeightTwips, this))));

    prgCheck->setTextVisible(false);
    cmdCancel->setEnabled(false);
    cmdSaveUpgrade->setEnabled(false);
    cmdSaveConflicts->setEnabled(false);
    lblStatus->setWordWrap(true);
    connect(tabChecks, &QTabWidget::currentChanged, this, [this](int tab) { lblStatus->setText(status_[tab]); });
    progress_->setInterval(ProgressMilliseconds);
    connect(progress_, &QTimer::timeout, this, [this] {
        prgCheck->setRange(0, run_->total);
        prgCheck->setValue(run_->done);
    });
    connect(&job_, &BackgroundJob::Finished, this, &frmBoardCheck::EndCheck);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { run_->cancel = true; });

    // Escape closes the window; a check still going stops.
    CloseOnEscape(this);
}

frmBoardCheck::~frmBoardCheck()
{
    if (run_)
        run_->cancel = true;
}

QWidget* frmBoardCheck::UpgradeTab()
{
    auto* tab = new QWidget(this);
    for (QWidget* widget :
         std::initializer_list<QWidget*> {txtNewRelease, cmdBrowse, cmdCheckUpgrade, fgUpgrade, cmdSaveUpgrade})
        widget->setParent(tab);
    cmdBrowse->setAccessibleName(tr("Browse for the new release folder"));
    connect(cmdBrowse, &QPushButton::clicked, this, [this] {
        const QString start = txtNewRelease->text().isEmpty() ? state_.SourceDir : txtNewRelease->text();
        const QString folder = state_.dialogs.chooseFolder(tr("New Board Release"), start);
        if (!folder.isEmpty())
            txtNewRelease->setText(folder);
    });
    connect(cmdCheckUpgrade, &QPushButton::clicked, this, &frmBoardCheck::CheckUpgrade);
    connect(fgUpgrade, &FlexGrid::RowDoubleClicked, this, &frmBoardCheck::ShowFailingMods);
    connect(cmdSaveUpgrade, &QPushButton::clicked, this, [this] {
        SaveReport(UpgradeReport(*upgrade_, ReportFormat::Html),
                   UpgradeReport(*upgrade_, ReportFormat::Tsv),
                   tr("upgrade-check"));
    });
    fgUpgrade->setMinimumHeight(fontMetrics().height() * 6);

    auto* layout = new QGridLayout(tab);
    layout->addWidget(BuddyLabel(tr("&New release folder:"), txtNewRelease, tab), 0, 0);
    layout->addWidget(txtNewRelease, 0, 1);
    layout->addWidget(cmdBrowse, 0, 2);
    layout->addWidget(cmdCheckUpgrade, 0, 3);
    layout->addWidget(BuddyLabel(tr("Hac&ks:"), fgUpgrade, tab), 1, 0, 1, 4);
    layout->addWidget(fgUpgrade, 2, 0, 1, 4);
    layout->addWidget(cmdSaveUpgrade, 3, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
    return tab;
}

void frmBoardCheck::Load()
{
    ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
    CenterInParent(this);
    txtNewRelease->setFocus();
}

void frmBoardCheck::CheckUpgrade()
{
    const QString newSource = txtNewRelease->text().trimmed();
    const QString currentSource = state_.SourceDir;
    if (newSource.isEmpty())
        return Message(tr("Choose the folder of the new board release first."), false);
    if (const QString problem = BoardFolderProblem(newSource); !problem.isEmpty())
        return Message(problem, false);
    if (currentSource.isEmpty())
        return Message(tr("No source folder is configured; set it under File, Options first."), false);
    StartCheck(UpgradeTabIndex, [newSource, currentSource](AppState& state, Run& run) {
        run.upgrade = RunUpgradeCheck(state, newSource, currentSource, {}, run.Control());
    });
}

void frmBoardCheck::CheckConflicts()
{
    const QString source = state_.SourceDir;
    if (source.isEmpty())
        return Message(tr("No source folder is configured; set it under File, Options first."), false);
    StartCheck(ConflictsTabIndex, [source](AppState& state, Run& run) {
        run.conflicts = RunConflictCheck(state, source, {}, run.Control());
    });
}

void frmBoardCheck::StartCheck(int tab, std::function<void(AppState&, Run&)> check)
{
    run_ = std::make_shared<Run>();
    run_->tab = tab;
    SetChecking(true);
    SetStatus(tab, tr("Checking..."));
    // The check selects hack after hack: on a connection and a state of its own, so that the
    // windows keep theirs.
    job_.StartOnOwnState(state_, [run = run_, check = std::move(check)](AppState& own) { check(own, *run); });
}

void frmBoardCheck::EndCheck(const QString& error)
{
    SetChecking(false);
    if (!error.isEmpty()) {
        SetStatus(run_->tab, QString());
        if (run_->tab == PortTabIndex)
            return Message(tr("The port stopped; nothing was stored: %1").arg(error), true);
        return Message(tr("The check stopped: %1").arg(error), true);
    }
    if (run_->upgrade)
        ShowUpgrade(*run_->upgrade);
    if (run_->conflicts)
        ShowConflicts(*run_->conflicts);
    if (run_->port && run_->storing)
        AfterStore(*run_->port);
    else if (run_->port)
        ShowPort(*run_->port);
}

void frmBoardCheck::SetChecking(bool checking)
{
    cmdCheckUpgrade->setEnabled(!checking);
    cmdCheckConflicts->setEnabled(!checking);
    cmdSaveUpgrade->setEnabled(!checking && upgrade_);
    cmdSaveConflicts->setEnabled(!checking && conflicts_);
    cmdPortAll->setEnabled(!checking);
    cmdPortSelected->setEnabled(!checking && fgUpgrade->selectionModel()->hasSelection());
    cmdStorePorted->setEnabled(!checking && CanStore());
    cmdResolveMod->setEnabled(!checking && CanResolve(fgPort->Row()));
    cmdCancel->setEnabled(checking);
    prgCheck->setRange(0, checking ? 0 : 1); // busy until the check tells its number of steps
    prgCheck->setValue(0);
    if (checking)
        progress_->start();
    else
        progress_->stop();
}

void frmBoardCheck::ShowUpgrade(const UpgradeCheckResult& result)
{
    upgrade_ = result;
    cmdSaveUpgrade->setEnabled(true);
    fgUpgrade->SetRows(1);
    int fit = 0;
    for (const UpgradeRow& row : result.Rows) {
        const bool fits = row.Verdict == UpgradeVerdict::Fits;
        fit += fits;
        fgUpgrade->AddItem({row.Hack.Name,
                            QString::number(row.Mods),
                            QString::number(row.ApplyNow),
                            QString::number(row.ApplyAfter),
                            row.MissingAfter.join(", "),
                            UpgradeVerdictText(row.Verdict)});
        fgUpgrade->SetRowColor(fgUpgrade->Rows() - 1, fits ? FitsText : FailsText);
    }
    // Every column in view, the verdict too: a long name is cut short (its tooltip shows it whole).
    fgUpgrade->FitColumns(fgUpgrade->viewport()->width());
    SetStatus(UpgradeTabIndex,
              result.Cancelled ? tr("The check was cancelled before every hack was tried.")
                               : tr("%1 of %2 hacks fit the new release.").arg(fit).arg(result.Rows.size()));
}

void frmBoardCheck::ShowFailingMods(int row)
{
    if (!upgrade_ || row < 1 || row > int(upgrade_->Rows.size()))
        return;
    const UpgradeRow& hack = upgrade_->Rows[row - 1];
    QString text = tr("%1: %2").arg(hack.Hack.Name, UpgradeVerdictText(hack.Verdict));
    if (!hack.MissingAfter.isEmpty())
        text += tr("\n\nFiles missing after the upgrade: %1").arg(hack.MissingAfter.join(", "));
    if (!hack.Failing.empty()) {
        text += hack.Verdict == UpgradeVerdict::FixedByUpgrade ? tr("\n\nMods that fail now:\n")
                                                               : tr("\n\nMods that fail after the upgrade:\n");
        text += FailingModsText(hack.Failing);
    }
    state_.dialogs.messageBox(text, tr("Failing Mods"), MsgButtons::OK, MsgIcon::Information);
}

void frmBoardCheck::SaveReport(const QString& html, const QString& tsv, const QString& fileName)
{
    FileDialogOptions options;
    options.title = tr("Save Report");
    options.filter = tr("HTML Reports (*.html *.htm);;TSV Reports (*.tsv);;All Files (*)");
    options.defaultExt = "html";
    options.fileName = fileName + ".html";
    const QString target = state_.dialogs.saveFile(options);
    if (target.isEmpty())
        return;
    const QFileInfo file(target);
    const QString& report = file.suffix().compare("tsv", Qt::CaseInsensitive) == 0 ? tsv : html;
    try {
        RunAsJob(state_, DatabaseUse::Reads, [&] {
            WriteWholeFile(state_.ProgramFolder, file.absolutePath(), file.fileName(), [&report](WholeFile& out) {
                out.Write(report.toUtf8());
            });
        });
    } catch (const std::exception& e) {
        Message(tr("The report could not be saved: %1").arg(QString::fromUtf8(e.what())), true);
    }
}

void frmBoardCheck::SetStatus(int tab, const QString& text)
{
    status_[tab] = text;
    if (tabChecks->currentIndex() == tab)
        lblStatus->setText(text);
}

void frmBoardCheck::Message(const QString& text, bool error)
{
    state_.dialogs.messageBox(text, windowTitle(), MsgButtons::OK, error ? MsgIcon::Critical : MsgIcon::Exclamation);
}

void frmBoardCheck::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QWidget::keyPressEvent(event);
    // Enter on a row of hacks shows its failing mods, on a matrix cell what the pair shares, on a mod
    // that needs a person its three-way view; anywhere else it runs the tab's check.
    if (fgUpgrade->hasFocus() && fgUpgrade->Row() > 0)
        return ShowFailingMods(fgUpgrade->Row());
    if (tblConflicts->hasFocus() && tblConflicts->currentItem())
        return ShowPair(tblConflicts->currentRow(), tblConflicts->currentColumn());
    if (fgPort->hasFocus())
        return ResolveMod(fgPort->Row());
    QPushButton* const checks[] = {cmdCheckUpgrade, cmdCheckConflicts, cmdPortAll};
    QPushButton* check = checks[tabChecks->currentIndex()];
    if (check->isEnabled())
        check->click();
}

void frmBoardCheck::closeEvent(QCloseEvent* event)
{
    // A check still going stops after the hack it is trying; the job waits for it as the window goes.
    CloseWorkingWindow(this, event, false, unloaded_, [this] {
        if (run_)
            run_->cancel = true;
    });
}

frmBoardCheck& ShowBoardCheck(MainFrame& main)
{
    return ShowSingleWindow<frmBoardCheck>(main);
}

} // namespace zp
