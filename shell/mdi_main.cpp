#include "shell/mdi_main.h"

#include "analysis/frm_analyze.h"
#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "authoring/frm_record_hack.h"
#include "boardcheck/frm_board_check.h"
#include "boardcheck/frm_install_several.h"
#include "catalogue/frm_check_updates.h"
#include "catalogue/frm_edit_hack.h"
#include "install/frm_install_hack.h"
#include "install/frm_revert_installation.h"
#include "install/revert_installation.h"
#include "interchange/file_encoder_dialogs.h"
#include "interchange/frm_hack_import.h"
#include "interchange/hack_import.h"
#include "publish/frm_publish.h"
#include "shell/file_menu.h"
#include "shell/frm_about.h"
#include "shell/frm_options.h"
#include "shell/hack_list_openers.h"
#include "shell/mod_associate.h"
#include "shell/start.h"
#include "viewer/frm_text_file.h"
#include "widgets/window_helpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace zp {

namespace {

constexpr int SplashMilliseconds = 5000;
// How often a handed-over file waits for the program to be free for its import.
constexpr int IdleCheckMilliseconds = 300;
// The main window's least first size, in twips: room for the hack list with a margin.
constexpr int MainWidthTwips = 12600;
constexpr int MainHeightTwips = 9300;

} // namespace

mdiMain::mdiMain(AppState& state, QWidget* parent)
    : MainFrame(state, parent)
{
    setObjectName("mdiMain");
    setWindowTitle(tr(ProgramTitle));
    setWindowIcon(QIcon(":/zenpatch/icons/zenpatch.png"));
    setAcceptDrops(true);
    CreateMenus();
    SetFirstSize();

    tmrSplash = new QTimer(this);
    tmrSplash->setObjectName("tmrSplash");
    tmrSplash->setSingleShot(true);
    tmrSplash->setInterval(SplashMilliseconds);
    connect(tmrSplash, &QTimer::timeout, this, [this] {
        if (splash_)
            splash_->accept();
    });

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        TrayForm1 = new QSystemTrayIcon(windowIcon(), this);
        TrayForm1->setToolTip(tr(ProgramTitle));
        TrayForm1->show();
    }
}

mdiMain::~mdiMain() = default;

void mdiMain::SetFirstSize()
{
    const QSize bars(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    const QSize editor(TwipsToPixels(EditorWidthTwips, this), TwipsToPixels(EditorHeightTwips, this));
    QSize size = QSize(TwipsToPixels(MainWidthTwips, this), TwipsToPixels(MainHeightTwips, this))
                     .expandedTo(editor + bars + 2 * QSize(mdiArea()->frameWidth(), mdiArea()->frameWidth()));
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableSize());
    resize(size);
}

void mdiMain::CreateMenus()
{
    auto add = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    mnuFile = AddMenu(tr("&File"), "mnuFile");
    mnuOptions = add(mnuFile, "mnuOptions", tr("&Options"), &mdiMain::ShowOptions);
    mnuBackupDB = add(mnuFile, "mnuBackupDB", tr("&Backup Database"), &mdiMain::BackupDatabase);
    mnuFile->addSeparator();
    mnuExit = add(mnuFile, "mnuExit", tr("e&Xit"), &mdiMain::close);
    mnuExit->setShortcuts(QKeySequence::Quit);
    // A desktop that leaves quitting to the window manager has no key for it; Ctrl+Q then.
    if (mnuExit->shortcuts().isEmpty())
        mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuHacks = AddMenu(tr("&Hacks"), "mnuHacks");
    mnuHackList = add(mnuHacks, "mnuHackList", tr("&List Hacks"), [this] { ShowHackList(); });
    mnuImport = add(mnuHacks, "mnuImport", tr("&Import Hack"), &mdiMain::ShowImport);
    mnuImport->setEnabled(bool(ProgramHackListOpeners(*this).ImportHack));
    mnuOpenFile = add(mnuHacks, "mnuOpenFile", tr("&Open Text File"), &mdiMain::OpenTextFile);
    mnuOpenFile->setShortcuts(QKeySequence::Open);
    mnuInstallSeveral = add(mnuHacks, "mnuInstallSeveral", tr("Install &Several..."), [this] {
        if (const std::vector<int> hacks = ListedSelection(); !hacks.empty())
            ShowSeveralInstaller(*this, hacks);
    });
    mnuRevertInstall = add(mnuHacks, "mnuRevertInstall", tr("&Revert Installation..."), [this] {
        if (CurrentHackHasBackup(State()))
            ShowRevertInstallation(*this);
    });
    connect(mnuHacks, &QMenu::aboutToShow, this, [this] {
        mnuInstallSeveral->setEnabled(!ListedSelection().empty());
        mnuRevertInstall->setEnabled(CurrentHackHasBackup(State()));
    });
    mnuBoardCheck = add(mnuHacks, "mnuBoardCheck", tr("&Board Check..."), [this] { ShowBoardCheck(*this); });
    mnuRecordHack = add(mnuHacks, "mnuRecordHack", tr("&New Hack from Changes..."), [this] { ShowRecordHack(*this); });
    mnuCheckUpdates
        = add(mnuHacks, "mnuCheckUpdates", tr("Check for &Updates..."), [this] { ShowCheckUpdates(*this); });

    mnuWindow = AddMenu(tr("&Window"), "mnuWindow");
    mnuHorz = add(mnuWindow, "mnuHorz", tr("Tile &Horizontal"), &mdiMain::TileHorizontal);
    mnuVert = add(mnuWindow, "mnuVert", tr("Tile &Vertical"), &mdiMain::TileVertical);
    mnuArrange = add(mnuWindow, "mnuArrange", tr("&Arrange Icons"), &mdiMain::ArrangeIcons);
    mnuCascade = add(mnuWindow, "mnuCascade", tr("&Cascade Windows"), &mdiMain::Cascade);
    connect(mnuWindow, &QMenu::aboutToShow, this, [this] { ListWindows(mnuWindow); });

    mnuHelp = AddMenu(tr("Hel&p"), "mnuHelp");
    mnuAbout = add(mnuHelp, "mnuAbout", tr("&About"), &mdiMain::ShowAbout);
    mnuEncoderAbout = add(mnuHelp, "mnuEncoderAbout", tr("About the File &Encoding Control..."), [this] {
        ShowFileEncoderAboutBox(this);
    });
    mnuHelp->addSeparator();
    mnuDocsMSWord
        = add(mnuHelp, "mnuDocsMSWord", tr("Documentation - &MS Word"), [this] { OpenDocumentation("zenpatch.doc"); });
    mnuDocsPDF = add(mnuHelp, "mnuDocsPDF", tr("Documentation - &PDF"), [this] { OpenDocumentation("zenpatch.pdf"); });
    mnuDocsPDF->setShortcuts(QKeySequence::HelpContents);
}

void mdiMain::Load()
{
    OpenDatabase(State());
    if (LoadConfiguration(State()) == ConfigurationLoad::NotConfigured) {
        ShowMessage(State().dialogs, NotConfiguredMessage());
        ShowOptions();
    }
    RegisterFileTypes();
    // The file handed over at start is imported once: a restart after a backup shows the splash.
    const QString file = std::exchange(commandLine_, QString());
    if (file.isEmpty())
        ShowSplash();
    else
        ShowImportEnd(State().dialogs, ImportHackFileAtStartup(State(), file));
    show();
    // The imported hack is the selected row.
    zp::ShowHackList(*this, file.isEmpty() ? 0 : State().ImportedHackNum);
}

void mdiMain::RegisterFileTypes()
{
    zp::RegisterFileTypes(State(), QCoreApplication::applicationFilePath(), XdgDataHome());
}

void mdiMain::ShowSplash()
{
    // The timer counts from the first splash: it closes that one and is spent afterwards, so the
    // splash after a database backup stays until the user closes it.
    const bool timed = !splashTimerSpent_;
    frmAbout about(this, timed ? tmrSplash : nullptr);
    connect(&about, &frmAbout::ManualRequested, this, [this] { OpenDocumentation("zenpatch.pdf"); });
    splash_ = &about;
    if (timed)
        tmrSplash->start();
    about.exec();
    splash_ = nullptr;
    splashTimerSpent_ = true;
}

void mdiMain::ShowHackList(int selectHackNum)
{
    zp::ShowHackList(*this, selectHackNum);
}

std::vector<int> mdiMain::ListedSelection()
{
    frmListHacks* list = FindHackList(mdiArea());
    if (!list || !WindowFrame(list)->isVisible())
        return {};
    return list->SelectedHackNums();
}

void mdiMain::ShowImport()
{
    const HackListOpeners openers = ProgramHackListOpeners(*this);
    if (!openers.ImportHack)
        return;
    openers.ImportHack();
    RefillShowingHackList(State().ImportedHackNum);
}

void mdiMain::ImportDroppedFile(const QString& file)
{
    ShowHackImport(*this, file);
    RefillShowingHackList(State().ImportedHackNum);
}

void mdiMain::ShowPublish(int hackNum)
{
    ShowPublishWindow(*this, hackNum);
}

int mdiMain::ImportDownloadedFile(const QString& file)
{
    ShowHackImport(*this, file, ImportWindowEnd::AlwaysClose);
    RefillShowingHackList(State().ImportedHackNum);
    return State().ImportedHackNum;
}

void mdiMain::OpenHandedFile(const QString& file)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (!file.isEmpty())
        QTimer::singleShot(0, this, [this, file] { ImportWhenIdle(file); });
}

void mdiMain::ImportWhenIdle(const QString& file)
{
    if (QApplication::activeModalWidget() || RunGoing()) {
        QTimer::singleShot(IdleCheckMilliseconds, this, [this, file] { ImportWhenIdle(file); });
        return;
    }
    ImportDroppedFile(file);
}

bool mdiMain::RunGoing() const
{
    const auto* install = FindWorkingWindow<frmInstallHack>(mdiArea());
    const auto* analysis = FindWorkingWindow<frmAnalyze>(mdiArea());
    const auto* revert = FindWorkingWindow<frmRevertInstallation>(mdiArea());
    return (install && install->IsRunning()) || (analysis && analysis->IsRunning()) || (revert && revert->IsRunning());
}

void mdiMain::RefillShowingHackList(int selectHackNum)
{
    if (frmListHacks* list = FindHackList(mdiArea()); list && list->isVisible())
        list->RefillSelecting(selectHackNum);
}

void mdiMain::RefillOpenHackList()
{
    if (frmListHacks* list = FindHackList(mdiArea()))
        list->RefillHackList(list->SelectedHackNum());
}

void mdiMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty() && !QApplication::activeModalWidget())
        event->acceptProposedAction();
}

void mdiMain::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty() || QApplication::activeModalWidget())
        return;
    event->acceptProposedAction();
    // The import runs once the drop has completed, not inside it.
    QTimer::singleShot(0, this, [this, file] { ImportDroppedFile(file); });
}

void mdiMain::BackupDatabase()
{
    zp::BackupDatabase(
        State(), [this] { return CloseChildWindows(); }, [this] { Restart(); });
}

void mdiMain::Restart()
{
    try {
        Load();
    } catch (const std::exception& e) {
        ShowDatabaseError(State(), e);
    }
}

void mdiMain::OpenTextFile()
{
    const QStringList chosen = State().dialogs.openFiles(TextFileDialogOptions(State()));
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return;
    if (!FileExists(chosen.first())) {
        State().dialogs.messageBox(tr("Either the filename or path could not be found."),
                                   tr("Find/Path Not Found"),
                                   MsgButtons::OK,
                                   MsgIcon::None);
        return;
    }
    OpenTextViewer(*this, chosen.first());
}

void mdiMain::OpenDocumentation(const QString& fileName)
{
    OpenManual(
        State().dialogs, ResourcePath(QCoreApplication::applicationDirPath(), fileName), &QDesktopServices::openUrl);
}

void mdiMain::ShowAbout()
{
    frmAbout about(this, nullptr);
    connect(&about, &frmAbout::ManualRequested, this, [this] { OpenDocumentation("zenpatch.pdf"); });
    about.exec();
}

void mdiMain::ShowOptions()
{
    frmOptions options(State(), this);
    options.exec();
}

bool mdiMain::CloseChildWindows()
{
    // The hack editor first: it asks about its unsaved changes while the larger windows that write
    // into it are still open. Then the newest first, and no further than a window that refuses: the
    // windows opened before it stay.
    if (frmEditHack* editor = FindWorkingWindow<frmEditHack>(mdiArea()); editor && !CloseWindow(editor))
        return false;
    const QList<QMdiSubWindow*> windows = mdiArea()->subWindowList(QMdiArea::CreationOrder);
    for (auto sub = windows.rbegin(); sub != windows.rend(); ++sub) {
        if (!(*sub)->close())
            return false;
    }
    return true;
}

bool mdiMain::ConfirmExit()
{
    const frmBoardCheck* check = FindWorkingWindow<frmBoardCheck>(mdiArea());
    return !check || !check->IsChecking()
        || State().dialogs.messageBox(tr("A board check is still running. Stop it and exit Zenpatch?"),
                                      tr(ProgramTitle),
                                      MsgButtons::YesNoDefaultNo,
                                      MsgIcon::Question)
        == MsgAnswer::Yes;
}

void mdiMain::closeEvent(QCloseEvent* event)
{
    // A window whose run is going refuses to close, and the program stays until the run has ended.
    if (!ended_ && (!ConfirmExit() || !CloseChildWindows())) {
        event->ignore();
        return;
    }
    SaveWindowState();
    Unload();
    event->accept();
}

void mdiMain::Unload()
{
    if (ended_)
        return;
    ended_ = true;
    CloseChildWindows();
    CloseDatabase(State());
    CompactDatabase(State());
    if (TrayForm1)
        TrayForm1->hide();
    QCoreApplication::quit();
}

} // namespace zp
