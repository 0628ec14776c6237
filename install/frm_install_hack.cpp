#include "install/frm_install_hack.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "install/fixed_installation_options.h"
#include "install/frm_diff_view.h"
#include "install/source_backup.h"
#include "install/trial_installation.h"
#include "install/unified_diff.h"
#include "interchange/interchange_common.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace zp {

namespace {

constexpr int WidthTwips = 10245;
constexpr int HeightTwips = 6795;

// Courier New where the desktop has it, otherwise its fixed-pitch font.
QFont InstructionsFont()
{
    if (QFontDatabase::hasFamily(QStringLiteral("Courier New")))
        return QFont(QStringLiteral("Courier New"));
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// Setting either box clears the other, also when the configuration sets it: a deleted output folder
// cannot be searched.
void ExcludeEachOther(QCheckBox* a, QCheckBox* b)
{
    QObject::connect(a, &QCheckBox::toggled, b, [b](bool on) {
        if (on)
            b->setChecked(false);
    });
    QObject::connect(b, &QCheckBox::toggled, a, [a](bool on) {
        if (on)
            a->setChecked(false);
    });
}

} // namespace

frmInstallHack::frmInstallHack(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , lblLogCap(new QLabel(tr("Pre-Install Instructions"), this))
    , txtPreInstall(new QPlainTextEdit(this))
    , fgInstallLog(NewLogGrid(this))
    , prgModsDone(new QProgressBar(this))
    , chkUseOutputDir(new QCheckBox(tr("&Search Output Directory First?"), this))
    , chkDelOutputDir(new QCheckBox(tr("&Delete Output Directory Before Starting?"), this))
    , chkOverSource(new QCheckBox(tr("&Overwrite Source Files(Be Careful!)?"), this))
    , Label1(new QLabel(tr("&End of Line Terminator"), this))
    , cmbEOL(new QComboBox(this))
    , cmdInstall(new QPushButton(tr("&Install"), this))
    , cmdPreview(new QPushButton(tr("Pre&view"), this))
    , cmdCancel(new QPushButton(tr("&Cancel"), this))
    , cmdNext(new QPushButton(tr("&Next"), this))
    , cmdSaveLog(new QPushButton(tr("Save &Log..."), this))
    , cmdPublish(new QPushButton(tr("P&ublish..."), this))
    , options_(new QVBoxLayout)
    , main_(main)
    , state_(main.State())
    , log_(*fgInstallLog)
{
    setWindowTitle(tr("Install Hack"));
    txtPreInstall->setReadOnly(true);
    txtPreInstall->setTabChangesFocus(true);
    txtPreInstall->setFont(InstructionsFont());
    lblLogCap->setBuddy(txtPreInstall);
    fgInstallLog->hide();
    prgModsDone->setFormat(tr("%v of %m mods"));
    prgModsDone->hide();
    cmbEOL->addItems({tr("CR/LF"), tr("LF")});
    const QString eolTip
        = tr("Generally use CR/LF if your host is on a Windows machine and LF if your host is on a Unix machine.");
    Label1->setToolTip(eolTip);
    cmbEOL->setToolTip(eolTip);
    Label1->setBuddy(cmbEOL);
    cmdNext->hide();
    cmdSaveLog->hide();
    cmdPublish->hide();
    ExcludeEachOther(chkUseOutputDir, chkDelOutputDir);
    // Over the source nothing goes to the output folder, so there is nothing to delete there first.
    connect(chkOverSource, &QCheckBox::toggled, chkDelOutputDir, [this](bool on) {
        if (on)
            chkDelOutputDir->setChecked(false);
        chkDelOutputDir->setEnabled(!on);
    });
    LayOut();
    ShowDestination();

    connect(cmdInstall, &QPushButton::clicked, this, &frmInstallHack::Install);
    connect(cmdPreview, &QPushButton::clicked, this, &frmInstallHack::Preview);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    connect(cmdNext, &QPushButton::clicked, this, &frmInstallHack::Next);
    connect(cmdSaveLog, &QPushButton::clicked, this, &frmInstallHack::SaveLog);
    connect(cmdPublish, &QPushButton::clicked, this, [this] { main_.ShowPublish(hackNum_); });
    CloseOnEscape(this);
}

void frmInstallHack::LayOut()
{
    for (QCheckBox* box : {chkUseOutputDir, chkDelOutputDir, chkOverSource})
        options_->addWidget(box);
    auto* eol = new QHBoxLayout;
    eol->addWidget(Label1);
    eol->addWidget(cmbEOL);
    eol->addStretch();
    options_->addLayout(eol);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(options_);
    bottom->addStretch();
    for (QPushButton* button : {cmdInstall, cmdPreview, cmdCancel, cmdSaveLog, cmdPublish, cmdNext}) {
        button->setAutoDefault(true);
        bottom->addWidget(button, 0, Qt::AlignBottom);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLogCap);
    layout->addWidget(txtPreInstall, 1);
    layout->addWidget(fgInstallLog, 1);
    layout->addWidget(prgModsDone);
    layout->addLayout(bottom);
}

// The folder the run writes into, under the options: the output folder, or the source folder when
// the source files are overwritten.
void frmInstallHack::ShowDestination()
{
    auto* destination = new QLabel(this);
    destination->setObjectName("lblDestination");
    destination->setTextInteractionFlags(Qt::TextSelectableByMouse);
    destination->setWordWrap(true);
    const auto show = [this, destination] {
        destination->setText(chkOverSource->isChecked()
                                 ? tr("Installs into the source folder: %1").arg(state_.SourceDir)
                                 : tr("Installs into the output folder: %1").arg(state_.OutputDir));
    };
    connect(chkOverSource, &QCheckBox::toggled, this, show);
    show();
    // Above the options, below the instructions, the log and the progress bar.
    qobject_cast<QVBoxLayout*>(layout())->insertWidget(4, destination);
}

void frmInstallHack::Load()
{
    log_.Run(state_.dialogs, windowTitle(), [this] {
        LoadOptions();
        const Recordset& hack = *state_.HackInfoRecordset;
        hackNum_ = hack.Int("HackNum");
        const QString name = hack.Text("Name");
        ShowHack(tr("Install Hack — %1").arg(name), name, hack.Text("PreInstallCom"), hack.Value("PostInstallCom"));
    });
}

void frmInstallHack::LoadOptions()
{
    QWidget* frame = WindowFrame(this);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    CenterInParent(this);
    // In this order, as a user would click them: both search and delete configured leaves delete.
    chkUseOutputDir->setChecked(state_.cfgSearchOutputDir == 1);
    chkDelOutputDir->setChecked(state_.cfgDelOutputDir == 1);
    chkOverSource->setChecked(state_.cfgOverWriteSource == 1);
    cmbEOL->setCurrentIndex(state_.cfgEOL == 1 ? 1 : 0);
}

void frmInstallHack::ShowHack(const QString& title,
                              const QString& name,
                              const QString& preInstall,
                              const QVariant& postInstall)
{
    hackName_ = name;
    setWindowTitle(title);
    txtPreInstall->setPlainText(preInstall);
    postInstall_ = postInstall;
}

bool frmInstallHack::SearchOutputFirst() const
{
    return chkUseOutputDir->isChecked();
}

bool frmInstallHack::DeleteOutputFirst() const
{
    return chkDelOutputDir->isChecked();
}

bool frmInstallHack::OverwriteSource() const
{
    return chkOverSource->isChecked();
}

bool frmInstallHack::LfLineEnds() const
{
    return cmbEOL->currentIndex() == 1;
}

void frmInstallHack::AppendInstructionLine(const QString& text)
{
    txtPreInstall->moveCursor(QTextCursor::End);
    txtPreInstall->insertPlainText(text + u'\n');
}

QString frmInstallHack::SourceBackupFolder() const
{
    return backupFolder_;
}

void frmInstallHack::ModsDone(int done, int total)
{
    // A new value repaints the bar at once, which would cost the run more than the mods themselves:
    // the bar takes the latest count when the window next repaints.
    const bool pending = modsDone_.second > 0;
    modsDone_ = {done, total};
    if (pending)
        return;
    QTimer::singleShot(0, this, [this] {
        prgModsDone->setRange(0, modsDone_.second);
        prgModsDone->setValue(modsDone_.first);
        modsDone_ = {};
    });
}

void frmInstallHack::Install()
{
    log_.Run(state_.dialogs, windowTitle(), [this] {
        if (RunInstall()) {
            installedOverSource_ = OverwriteSource();
            cmdPublish->setVisible(offersPublish_ && !installedOverSource_);
        }
    });
    prgModsDone->hide();
    cmdSaveLog->setEnabled(true);
    cmdNext->setEnabled(true);
    if (cmdNext->isVisible())
        cmdNext->setFocus();
}

bool frmInstallHack::RunInstall()
{
    // The hack this window was opened for, whatever the list has selected since.
    Recordset hack(state_.Connection);
    if (!OwnHackFound(hack) || !StartRun(hackNum_))
        return false;
    ShowMessage(state_.dialogs, RunInstallation(state_, hackNum_, *this, log_).message);
    return true;
}

bool frmInstallHack::StartRun(int hackNum)
{
    backupFolder_.clear();
    if (chkOverSource->isChecked() && !ConfirmOverwrite(hackNum))
        return false;
    ShowLog();
    return true;
}

void frmInstallHack::Preview()
{
    RunGuarded(state_.dialogs, windowTitle(), [this] {
        Recordset hack(state_.Connection);
        if (!OwnHackFound(hack))
            return;
        // The window's options; its notes stay out of the instructions box.
        FixedInstallationOptions options;
        options.searchOutput = SearchOutputFirst();
        options.deleteOutput = DeleteOutputFirst();
        options.overwriteSource = OverwriteSource();
        options.lf = LfLineEnds();
        RecordingLog log;
        TrialInstallation trial(state_.SourceDir);
        trial.Run(state_, hackNum_, options, log);
        std::vector<ModResult> failed;
        std::copy_if(trial.Mods().begin(), trial.Mods().end(), std::back_inserter(failed), [](const ModResult& mod) {
            return !mod.applied;
        });
        auto* view = new frmDiffView(state_, hack.Text("Name"), TrialDiff(trial), failed);
        ResizeInTwips(main_.ShowChild(view), WidthTwips, HeightTwips);
        CenterInParent(view);
        // Closing the preview comes back here, whichever window was opened before this one.
        connect(view, &QObject::destroyed, this, [this] {
            if (auto* own = qobject_cast<QMdiSubWindow*>(WindowFrame(this)))
                main_.mdiArea()->setActiveSubWindow(own);
        });
    });
}

bool frmInstallHack::OwnHackFound(Recordset& hack)
{
    if (OpenHackRow(hack, hackNum_))
        return true;
    state_.dialogs.messageBox(
        tr("This hack is no longer in the database."), windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
    return false;
}

// Asks before the source files are overwritten, naming the folder that keeps their copies.
bool frmInstallHack::ConfirmOverwrite(int hackNum)
{
    const QString folder = NewBackupFolder(state_, hackNum);
    const QString text = tr("The source files will be overwritten with the hack's board files and support files. "
                            "A copy of each replaced file is kept in %1. Continue?")
                             .arg(QDir::toNativeSeparators(state_.ProgramFolder + u'/' + folder));
    if (state_.dialogs.messageBox(text, windowTitle(), MsgButtons::YesNoDefaultNo, MsgIcon::Exclamation)
        != MsgAnswer::Yes)
        return false;
    backupFolder_ = folder;
    return true;
}

// The window as the run shows it: the log in place of the instructions, only "&Next" offered, and
// that only once the run has ended.
void frmInstallHack::ShowLog()
{
    lblLogCap->setText(tr("Installation Log"));
    lblLogCap->setBuddy(fgInstallLog);
    txtPreInstall->clear();
    Label1->hide();
    cmbEOL->hide();
    txtPreInstall->hide();
    fgInstallLog->show();
    cmdInstall->hide();
    cmdPreview->hide();
    cmdCancel->hide();
    cmdSaveLog->setEnabled(false);
    cmdSaveLog->show();
    cmdNext->setEnabled(false);
    cmdNext->show();
    prgModsDone->reset();
    prgModsDone->show();
}

void frmInstallHack::Next()
{
    if (showingPostInstall_ || postInstall_.isNull()) {
        if (installedOverSource_ ? AskOpenSourceFolder() : AskOpenOutputFolder(state_.dialogs))
            QDesktopServices::openUrl(QUrl::fromLocalFile(installedOverSource_ ? state_.SourceDir : state_.OutputDir));
        CloseWindow(this);
        return;
    }
    showingPostInstall_ = true;
    cmdSaveLog->hide();
    cmdNext->setText(tr("&Close"));
    fgInstallLog->hide();
    txtPreInstall->setPlainText(postInstall_.toString());
    txtPreInstall->show();
    lblLogCap->setText(tr("Post Install Instructions"));
    lblLogCap->setBuddy(txtPreInstall);
}

bool frmInstallHack::AskOpenSourceFolder()
{
    const QString text = tr("The installation changed the source folder %1. Would you like to open it now?")
                             .arg(QDir::toNativeSeparators(state_.SourceDir));
    return state_.dialogs.messageBox(text, tr("Open source folder"), MsgButtons::YesNo, MsgIcon::None)
        == MsgAnswer::Yes;
}

void frmInstallHack::SaveLog()
{
    FileDialogOptions options;
    options.title = tr("Save Log");
    options.filter = tr("Tab-separated Files (*.tsv);;All Files (*)");
    options.defaultExt = QStringLiteral("tsv");
    options.fileName = ExportNameFor(hackName_) + QStringLiteral(" log.tsv");
    const QString path = state_.dialogs.saveFile(options);
    if (path.isEmpty())
        return;
    const QFileInfo file(path);
    const QByteArray text = TabSeparatedLog(*fgInstallLog).toUtf8();
    try {
        WriteWholeFile(
            state_.ProgramFolder, file.absolutePath(), file.fileName(), [&text](WholeFile& out) { out.Write(text); });
    } catch (const std::exception& e) {
        state_.dialogs.messageBox(tr("The log could not be saved: %1").arg(QString::fromUtf8(e.what())),
                                  windowTitle(),
                                  MsgButtons::OK,
                                  MsgIcon::Exclamation);
    }
}

void frmInstallHack::closeEvent(QCloseEvent* event)
{
    // A run cannot be left half-way: the window stays until it has ended.
    CloseWorkingWindow(this, event, log_.Running(), unloaded_, [this] { Unload(); });
}

void frmInstallHack::Unload()
{
    main_.mnuHackList->setEnabled(true);
    // The list shows the new "Last Installed", with its own row still selected.
    main_.RefillOpenHackList();
}

frmInstallHack& ShowInstaller(MainFrame& main)
{
    return ShowSingleWindow<frmInstallHack>(main);
}

} // namespace zp
