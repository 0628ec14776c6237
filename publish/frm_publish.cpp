#include "publish/frm_publish.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "publish/publish_backup.h"
#include "publish/revert_publish.h"
#include "publish/servers.h"
#include "widgets/flex_grid.h"
#include "widgets/grid_log.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

namespace zp {

namespace {

constexpr int WidthTwips = 9600;
constexpr int HeightTwips = 6900;
constexpr int ProgressMilliseconds = 100;
enum Column { FileColumn, StateColumn, BytesColumn, NoteColumn };

bool Failing(PublishState state)
{
    return state == PublishState::Refused || state == PublishState::Unsafe || state == PublishState::Missing
        || state == PublishState::Failed;
}

} // namespace

// What a job and the window share: its progress and cancel flag, and its result once it has ended.
struct frmPublish::Run
{
    Job job = Job::Check;
    Server server;
    std::atomic<bool> cancel {false};
    std::atomic<int> done {0};
    std::atomic<int> total {0};
    std::vector<PublishFile> files; // the overwrite choices in, the states out
    RecordingLog log;
    bool found = true; // the hack is still in the database
    bool nothingToRevert = false;
    PublishOutcome outcome = PublishOutcome::Failed;
    RevertPublishOutcome reverted = RevertPublishOutcome::Failed;
    std::optional<UserMessage> refusal; // why the job could not start
};

frmPublish::frmPublish(MainFrame& main, int hackNum, QWidget* parent)
    : QWidget(parent)
    , cmbServer(new QComboBox(this))
    , tblFiles(new QTableWidget(0, 4, this))
    , fgLog(NewLogGrid(this))
    , prgFiles(new QProgressBar(this))
    , lblStatus(new QLabel(this))
    , cmdCheck(new QPushButton(tr("&Check"), this))
    , cmdPublish(new QPushButton(tr("P&ublish"), this))
    , cmdCancel(new QPushButton(tr("Ca&ncel"), this))
    , cmdRevert(new QPushButton(tr("&Revert Publish"), this))
    , state_(main.State())
    , hackNum_(hackNum)
    , progress_(new QTimer(this))
{
    setWindowTitle(tr("Publish"));
    cmbServer->setAccessibleName(tr("Server"));
    tblFiles->setAccessibleName(tr("Files"));
    tblFiles->setHorizontalHeaderLabels({tr("File"), tr("State"), tr("Bytes"), tr("Note")});
    tblFiles->setToolTip(tr("Check a refused file's box to overwrite the server's copy all the same."));
    tblFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblFiles->setTabKeyNavigation(false);
    tblFiles->verticalHeader()->hide();
    tblFiles->horizontalHeader()->setStretchLastSection(true);
    fgLog->setAccessibleName(tr("Publish log"));
    prgFiles->setAccessibleName(tr("Files done"));
    prgFiles->setFormat(tr("%v of %m files"));
    lblStatus->setWordWrap(true);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdCancel->setEnabled(false);
    LayOut();

    progress_->setInterval(ProgressMilliseconds);
    connect(progress_, &QTimer::timeout, this, [this] {
        prgFiles->setRange(0, run_->total);
        prgFiles->setValue(run_->done);
    });
    connect(&job_, &BackgroundJob::Finished, this, &frmPublish::EndJob);
    connect(cmdCheck, &QPushButton::clicked, this, [this] { Start(Job::Check); });
    connect(cmdPublish, &QPushButton::clicked, this, [this] { Start(Job::Publish); });
    connect(cmdRevert, &QPushButton::clicked, this, [this] { Start(Job::Revert); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { run_->cancel = true; });
    CloseOnEscape(this);
}

frmPublish::~frmPublish()
{
    if (run_)
        run_->cancel = true;
}

void frmPublish::LayOut()
{
    auto* server = new QHBoxLayout;
    server->addWidget(BuddyLabel(tr("&Server:"), cmbServer, this));
    server->addWidget(cmbServer, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgFiles, 1);
    for (QPushButton* button : {cmdCheck, cmdPublish, cmdCancel, cmdRevert}) {
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(server);
    layout->addWidget(BuddyLabel(tr("F&iles:"), tblFiles, this));
    layout->addWidget(tblFiles, 3);
    layout->addWidget(BuddyLabel(tr("L&og:"), fgLog, this));
    layout->addWidget(fgLog, 2);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
}

void frmPublish::Load()
{
    ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
    CenterInParent(this);
    RunGuarded(state_.dialogs, windowTitle(), [this] {
        for (const Server& server : ListServers(state_.Connection))
            cmbServer->addItem(tr("%1 (%2@%3:%4)").arg(server.name, server.user, server.host).arg(server.port),
                               server.name);
        Recordset hack(state_.Connection);
        if (!OpenHackRow(hack, hackNum_))
            return Message(tr("This hack is no longer in the database."));
        setWindowTitle(tr("Publish — %1").arg(hack.Text("Name")));
        files_ = InstalledFiles(state_, hackNum_).value_or(std::vector<PublishFile>());
    });
    for (PublishFile& file : files_)
        file.bytes = QFileInfo(QDir(state_.OutputDir).filePath(file.path)).size();
    ShowFiles(files_);
    for (int row = 0; row < tblFiles->rowCount(); ++row)
        tblFiles->item(row, StateColumn)->setText(tr("not checked"));
    if (cmbServer->count() == 0)
        lblStatus->setText(tr("No server is set up yet: add the board's server under File, Options, Servers."));
    SetRunning(false);
    cmbServer->setFocus();
}

void frmPublish::ShowFiles(const std::vector<PublishFile>& files)
{
    files_ = files;
    tblFiles->setRowCount(int(files.size()));
    for (int row = 0; row < int(files.size()); ++row) {
        const PublishFile& file = files[size_t(row)];
        const QStringList cells {file.path, PublishStateText(file.state), QString::number(file.bytes), file.reason};
        for (int column = FileColumn; column <= NoteColumn; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setToolTip(cells[column]);
            if (Failing(file.state))
                item->setForeground(Qt::red);
            if (column == BytesColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblFiles->setItem(row, column, item);
        }
        // Only a file the check refused can be chosen to overwrite the server's copy.
        if (file.state == PublishState::Refused) {
            QTableWidgetItem* item = tblFiles->item(row, FileColumn);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(file.overwrite ? Qt::Checked : Qt::Unchecked);
        }
    }
    tblFiles->resizeColumnsToContents();
    if (tblFiles->rowCount() > 0 && !tblFiles->currentItem())
        tblFiles->setCurrentCell(0, FileColumn);
}

ConnectOptions frmPublish::Connect() const
{
    ConnectOptions connect;
    connect.knownHostsFile = knownHostsFile;
    const QString known
        = knownHostsFile.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts") : knownHostsFile;
    Dialogs& dialogs = state_.dialogs;
    const QString title = windowTitle();
    connect.acceptUnknownHost = [&dialogs, title, known](const QString& host, const QString& fingerprint) {
        const QString text = tr("The server %1 is not known yet. Its key's fingerprint is\n%2\nIs that the server's "
                                "key? Yes trusts it and records it in %3.")
                                 .arg(host, fingerprint, known);
        return dialogs.messageBox(text, title, MsgButtons::YesNoDefaultNo, MsgIcon::Question) == MsgAnswer::Yes;
    };
    connect.askSecret = [&dialogs, title](const QString& prompt) { return dialogs.askSecret(prompt, title); };
    return connect;
}

void frmPublish::Start(Job job)
{
    std::optional<Server> server;
    RunGuarded(state_.dialogs, windowTitle(), [&] {
        if (cmbServer->currentIndex() >= 0)
            server = FindServer(state_.Connection, cmbServer->currentData().toString());
    });
    if (!server)
        return Message(tr("Choose the board's server first; servers are set up under File, Options, Servers."));
    for (int row = 0; row < tblFiles->rowCount() && row < int(files_.size()); ++row)
        files_[size_t(row)].overwrite = tblFiles->item(row, FileColumn)->checkState() == Qt::Checked;
    run_ = std::make_shared<Run>();
    run_->job = job;
    run_->server = *server;
    run_->files = files_;
    SetRunning(true);
    lblStatus->setText(job == Job::Check         ? tr("Checking the server's files...")
                           : job == Job::Publish ? tr("Publishing...")
                                                 : tr("Reverting the last publish..."));
    // The job is handed its hack and takes the job lock: on a connection and a state of its own, so
    // that the windows keep theirs.
    job_.Start(
        [run = run_, folder = state_.ProgramFolder, &dialogs = state_.dialogs, hack = hackNum_, connect = Connect()] {
            AppState own(folder, dialogs);
            const auto close = qScopeGuard([&own] { CloseDatabase(own); });
            OpenDatabase(own);
            LoadConfiguration(own);
            Recordset row(own.Connection);
            if (!(run->found = OpenHackRow(row, hack)))
                return;
            if (run->job == Job::Revert) {
                for (const PublishBackup& backup : ListPublishBackups(folder, hack, run->server.name)) {
                    if (!backup.reverted) {
                        const RevertPublishResult result
                            = RevertPublish(own, hack, run->server, connect, backup.name, false, run->log);
                        run->reverted = result.outcome;
                        run->refusal = result.message;
                        run->found = run->reverted != RevertPublishOutcome::HackGone;
                        return;
                    }
                }
                run->nothingToRevert = true;
                return;
            }
            PublishOptions options;
            options.dryRun = run->job == Job::Check;
            options.cancel = &run->cancel;
            options.progress = [&run](int done, int total, const PublishFile&) {
                run->total = total;
                run->done = done;
            };
            const PublishResult result
                = PublishInstallation(own, hack, run->server, connect, options, run->log, run->files);
            run->outcome = result.outcome;
            run->refusal = result.message;
            run->found = run->outcome != PublishOutcome::HackGone;
        });
}

void frmPublish::EndJob(const QString& error)
{
    SetRunning(false);
    if (!error.isEmpty()) {
        lblStatus->clear();
        return Message(tr("The job stopped: %1").arg(error));
    }
    if (!run_->found) {
        lblStatus->clear();
        return Message(tr("This hack is no longer in the database."));
    }
    if (run_->refusal) {
        lblStatus->clear();
        return ShowMessage(state_.dialogs, *run_->refusal);
    }
    GridLog log(*fgLog);
    log.Clear();
    for (const LogRow& row : run_->log.rows)
        log.AddLogRow(row);
    if (run_->job != Job::Revert && !run_->files.empty())
        ShowFiles(run_->files);
    lblStatus->setText(Summary());
    const bool failed = run_->job == Job::Revert ? run_->reverted == RevertPublishOutcome::Failed
                                                 : run_->outcome == PublishOutcome::Failed;
    if (failed && !run_->nothingToRevert)
        Message(lblStatus->text());
}

QString frmPublish::Summary() const
{
    QString reason;
    for (const LogRow& row : run_->log.rows) {
        if (row.red)
            reason = row.Description;
    }
    if (run_->job == Job::Revert) {
        if (run_->nothingToRevert)
            return tr("No publish of this hack to %1 is left to revert.").arg(run_->server.name);
        switch (run_->reverted) {
        case RevertPublishOutcome::Done:
            return reason.isEmpty() ? tr("The last publish was reverted.")
                                    : tr("The last publish was reverted, but not every file: the log says why.");
        case RevertPublishOutcome::AlreadyReverted:
            return tr("The last publish was reverted already.");
        case RevertPublishOutcome::Failed:
        case RevertPublishOutcome::HackGone:
            return tr("Nothing was reverted: %1").arg(reason);
        }
    }
    int counts[int(PublishState::Failed) + 1] = {};
    for (const PublishFile& file : run_->files)
        ++counts[int(file.state)];
    const int failing = counts[int(PublishState::Refused)] + counts[int(PublishState::Unsafe)]
        + counts[int(PublishState::Missing)] + counts[int(PublishState::Failed)];
    switch (run_->outcome) {
    case PublishOutcome::Done:
        if (run_->job == Job::Check)
            return tr("Checked: %1 new, %2 replaced, %3 unchanged, %4 refused.")
                .arg(counts[int(PublishState::New)])
                .arg(counts[int(PublishState::Replace)])
                .arg(counts[int(PublishState::Unchanged)])
                .arg(failing);
        return tr("Published: %1 sent, %2 unchanged, %3 failed.")
            .arg(counts[int(PublishState::Sent)])
            .arg(counts[int(PublishState::Unchanged)])
            .arg(failing);
    case PublishOutcome::Refused:
        return tr("A file was refused by the check; nothing was sent. Check a refused file's box to overwrite "
                  "the server's copy all the same.");
    case PublishOutcome::Stopped:
        if (counts[int(PublishState::Sent)] + counts[int(PublishState::Failed)] == 0)
            return tr("Stopped: nothing was sent.");
        return tr("Stopped: every file on the server is old or new; the log says which.");
    case PublishOutcome::Failed:
    case PublishOutcome::HackGone:
        break;
    }
    return run_->job == Job::Check ? tr("Nothing was checked: %1").arg(reason) : tr("Nothing was sent: %1").arg(reason);
}

void frmPublish::SetRunning(bool running)
{
    const bool ready = !running && cmbServer->count() > 0;
    cmbServer->setEnabled(!running);
    cmdCheck->setEnabled(ready);
    cmdPublish->setEnabled(ready);
    cmdRevert->setEnabled(ready);
    cmdCancel->setEnabled(running);
    prgFiles->setRange(0, running ? 0 : 1); // busy until the job tells its number of files
    prgFiles->setValue(0);
    prgFiles->setTextVisible(running);
    if (running) {
        progress_->start();
        cmdCancel->setFocus();
    } else {
        progress_->stop();
    }
}

void frmPublish::Message(const QString& text)
{
    state_.dialogs.messageBox(text, windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
}

void frmPublish::keyPressEvent(QKeyEvent* event)
{
    // Enter runs the check, which writes nothing; a publish is always a button of its own.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdCheck->isEnabled())
        return cmdCheck->click();
    QWidget::keyPressEvent(event);
}

void frmPublish::closeEvent(QCloseEvent* event)
{
    // A job cannot be left half-way: Cancel stops it between files, then the window closes.
    CloseWorkingWindow(this, event, job_.IsRunning(), unloaded_, [] {});
}

frmPublish& ShowPublishWindow(MainFrame& main, int hackNum)
{
    for (QMdiSubWindow* sub : main.mdiArea()->subWindowList()) {
        if (auto* open = qobject_cast<frmPublish*>(sub->widget()); open && open->HackNum() == hackNum) {
            main.mdiArea()->setActiveSubWindow(sub);
            return *open;
        }
    }
    auto* window = new frmPublish(main, hackNum);
    main.ShowChild(window);
    window->Load();
    return *window;
}

} // namespace zp
