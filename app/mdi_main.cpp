#include "app/mdi_main.h"

#include "analysis/frm_analyze.h"
#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/file_menu.h"
#include "app/frm_about.h"
#include "app/frm_options.h"
#include "app/mod_associate.h"
#include "app/start.h"
#include "app/window_helpers.h"
#include "authoring/frm_record_hack.h"
#include "boardcheck/frm_board_check.h"
#include "catalogue/frm_check_updates.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/frm_list_hacks.h"
#include "install/frm_install_hack.h"
#include "install/frm_revert_installation.h"
#include "install/revert_installation.h"
#include "interchange/file_encoder_dialogs.h"
#include "interchange/frm_hack_import.h"
#include "interchange/hack_import.h"
#include "viewer/frm_text_file.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace zp {

namespace {

constexpr int SplashMilliseconds = 5000;
// How often a handed-over file waits for the program to be free for its import.
constexpr int IdleCheckMilliseconds = 300;

} // namespace

mdiMain::mdiMain(AppState& state, QWidget* parent)
    : QMainWindow(parent)
    , state_(state)
    , mdiArea_(new QMdiArea(this))
{
    setObjectName("mdiMain");
    setWindowTitle(tr("Zenpatch"));
    setWindowIcon(QIcon(":/zenpatch/icons/zenpatch.png"));
    mdiArea_->setObjectName("mdiArea");
    setAcceptDrops(true);
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    CreateMenus();
    CreateStatusBar();
    SetFirstSize();
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &mdiMain::GiveMenuKeysTo);

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
        TrayForm1->setToolTip(tr("Zenpatch"));
        TrayForm1->show();
    }
}

mdiMain::~mdiMain()
{
    // The sub-windows go after this window's own members: their last activations change no menu.
    disconnect(mdiArea_, nullptr, this, nullptr);
}

void mdiMain::CreateMenus()
{
    auto add = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    mnuFile = menuBar()->addMenu(tr("&File"));
    mnuFile->setObjectName("mnuFile");
    mnuOptions = add(mnuFile, "mnuOptions", tr("&Options"), &mdiMain::ShowOptions);
    mnuBackupDB = add(mnuFile, "mnuBackupDB", tr("&Backup Database"), &mdiMain::BackupDatabase);
    mnuFile->addSeparator();
    mnuExit = add(mnuFile, "mnuExit", tr("e&Xit"), &mdiMain::close);
    mnuExit->setShortcuts(QKeySequence::Quit);
    // A desktop that leaves quitting to the window manager has no key for it; Ctrl+Q then.
    if (mnuExit->shortcuts().isEmpty())
        mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuHacks = menuBar()->addMenu(tr("&Hacks"));
    mnuHacks->setObjectName("mnuHacks");
    mnuHackList = add(mnuHacks, "mnuHackList", tr("&List Hacks"), &mdiMain::ShowHackList);
    mnuImport = add(mnuHacks, "mnuImport", tr("&Import Hack"), &mdiMain::ShowImport);
    mnuImport->setEnabled(bool(ProgramHackListOpeners(*this).ImportHack));
    mnuOpenFile = add(mnuHacks, "mnuOpenFile", tr("&Open Text File"), &mdiMain::OpenTextFile);
    mnuOpenFile->setShortcuts(QKeySequence::Open);
    mnuRevertInstall = add(mnuHacks, "mnuRevertInstall", tr("&Revert Installation..."), [this] {
        if (CurrentHackHasBackup(state_))
            ShowRevertInstallation(*this);
    });
    connect(
        mnuHacks, &QMenu::aboutToShow, this, [this] { mnuRevertInstall->setEnabled(CurrentHackHasBackup(state_)); });
    mnuBoardCheck = add(mnuHacks, "mnuBoardCheck", tr("&Board Check..."), [this] { ShowBoardCheck(*this); });
    mnuRecordHack = add(mnuHacks, "mnuRecordHack", tr("&New Hack from Changes..."), [this] { ShowRecordHack(*this); });
    mnuCheckUpdates
        = add(mnuHacks, "mnuCheckUpdates", tr("Check for &Updates..."), [this] { ShowCheckUpdates(*this); });

    mnuWindow = menuBar()->addMenu(tr("&Window"));
    mnuWindow->setObjectName("mnuWindow");
    mnuHorz = add(mnuWindow, "mnuHorz", tr("Tile &Horizontal"), &mdiMain::TileHorizontal);
    mnuVert = add(mnuWindow, "mnuVert", tr("Tile &Vertical"), &mdiMain::TileVertical);
    mnuArrange = add(mnuWindow, "mnuArrange", tr("&Arrange Icons"), &mdiMain::ArrangeIcons);
    mnuCascade = add(mnuWindow, "mnuCascade", tr("&Cascade Windows"), &mdiMain::Cascade);
    connect(mnuWindow, &QMenu::aboutToShow, this, &mdiMain::ListWindows);

    mnuHelp = menuBar()->addMenu(tr("Hel&p"));
    mnuHelp->setObjectName("mnuHelp");
    mnuAbout = add(mnuHelp, "mnuAbout", tr("&About"), &mdiMain::ShowAbout);
    mnuEncoderAbout = add(mnuHelp, "mnuEncoderAbout", tr("About the File &Encoding Control..."), [this] {
        ShowFileEncoderAboutBox(this);
    });
    mnuHelp->addSeparator();
    mnuDocsMSWord
        = add(mnuHelp, "mnuDocsMSWord", tr("Documentation - &MS Word"), [this] { OpenDocumentation("zenpatch.doc"); });
    mnuDocsPDF = add(mnuHelp, "mnuDocsPDF", tr("Documentation - &PDF"), [this] { OpenDocumentation("zenpatch.pdf"); });
    mnuDocsPDF->setShortcuts(QKeySequence::HelpContents);

    for (QMenu* menu : {mnuFile, mnuHacks, mnuWindow, mnuHelp})
        menuCaptions_.append({menu, menu->title()});
}

void mdiMain::CreateStatusBar()
{
    sbarMain = statusBar();
    sbarMain->setObjectName("sbarMain");
    sbarMain->setSizeGripEnabled(true);
    const QString initial[5] = {tr("Zenpatch 2"), tr("Total Hacks: 0"), tr("Hack Mods: 0"), QString(), QString()};
    const int stretch[5] = {0, 1, 1, 0, 0};
    for (int i = 0; i < 5; ++i) {
        panels_[i] = new QLabel(initial[i], sbarMain);
        panels_[i]->setObjectName(QString("sbarPanel%1").arg(i + 1));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setContentsMargins(4, 0, 4, 0);
        panels_[i]->setMinimumWidth(TwipsToPixels(1400, this));
        sbarMain->addPermanentWidget(panels_[i], stretch[i]);
    }
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &mdiMain::UpdateClock);
    clock_->start();
    UpdateClock();
}

void mdiMain::UpdateClock()
{
    // The time and the date as the hack list shows its time stamps: "1:05pm", "12-07-2001".
    const QDateTime now = QDateTime::currentDateTime();
    SetPanelText(4, TimeText(now.time().toString(QStringLiteral("hh:mm:ss"))));
    SetPanelText(5, DateText(now.date()));
}

void mdiMain::SetPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 5)
        panels_[panel - 1]->setText(text);
}

QString mdiMain::PanelText(int panel) const
{
    return panel >= 1 && panel <= 5 ? panels_[panel - 1]->text() : QString();
}

void mdiMain::Load()
{
    OpenDatabase(state_);
    LoadConfiguration(state_, [this] { ShowOptions(); });
    RegisterFileTypes();
    // The file handed over at start is imported once: a restart after a backup shows the splash.
    const QString file = std::exchange(commandLine_, QString());
    if (file.isEmpty())
        ShowSplash();
    else
        ImportHackFileAtStartup(state_, file);
    show();
    frmListHacks& list = zp::ShowHackList(*this);
    if (!file.isEmpty())
        list.RefillHackList(state_.ImportedHackNum); // the imported hack is the selected row
}

void mdiMain::RegisterFileTypes()
{
    zp::RegisterFileTypes(state_, QCoreApplication::applicationFilePath(), XdgDataHome());
}

void mdiMain::ShowSplash()
{
    // The timer counts from the first splash: it closes that one and is spent afterwards, so the
    // splash after a database backup stays until the user closes it.
    const bool timed = !splashTimerSpent_;
    frmAbout about(this, timed ? tmrSplash : nullptr);
    splash_ = &about;
    if (timed)
        tmrSplash->start();
    about.exec();
    splash_ = nullptr;
    splashTimerSpent_ = true;
}

void mdiMain::ShowHackList()
{
    zp::ShowHackList(*this);
}

void mdiMain::ShowImport()
{
    const HackListOpeners openers = ProgramHackListOpeners(*this);
    if (!openers.ImportHack)
        return;
    openers.ImportHack();
    RefillShowingHackList();
}

void mdiMain::ImportDroppedFile(const QString& file)
{
    ShowHackImport(*this, file);
    RefillShowingHackList();
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
    const auto* install = FindWorkingWindow<frmInstallHack>(mdiArea_);
    const auto* analysis = FindWorkingWindow<frmAnalyze>(mdiArea_);
    const auto* revert = FindWorkingWindow<frmRevertInstallation>(mdiArea_);
    return (install && install->IsRunning()) || (analysis && analysis->IsRunning()) || (revert && revert->IsRunning());
}

void mdiMain::RefillShowingHackList()
{
    // The hack imported just now is the selected row.
    if (frmListHacks* list = FindHackList(mdiArea_); list && list->isVisible())
        list->RefillAfterImport();
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
        state_, [this] { return CloseChildWindows(); }, [this] { Restart(); });
}

void mdiMain::Restart()
{
    try {
        Load();
    } catch (const std::exception& e) {
        ShowDatabaseError(state_, e);
    }
}

void mdiMain::OpenTextFile()
{
    const QStringList chosen = state_.dialogs.openFiles(TextFileDialogOptions(state_));
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return;
    if (!FileExists(chosen.first())) {
        state_.dialogs.messageBox(tr("Either the filename or path could not be found."),
                                  tr("Find/Path Not Found"),
                                  MsgButtons::OK,
                                  MsgIcon::None);
        return;
    }
    OpenTextViewer(*this, chosen.first());
}

void mdiMain::OpenDocumentation(const QString& fileName)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(ResourcePath(QCoreApplication::applicationDirPath(), fileName)));
}

void mdiMain::ShowAbout()
{
    frmAbout about(this, nullptr);
    about.exec();
}

void mdiMain::ShowOptions()
{
    frmOptions options(state_, this);
    options.exec();
}

QMdiSubWindow* mdiMain::ShowChild(QWidget* form)
{
    QMdiSubWindow* sub = mdiArea_->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // No arrangement squeezes a window below the size its controls need.
    sub->setMinimumSize(sub->minimumSizeHint());
    // The sub-window's Close takes the platform's close-window keys; Ctrl+F4 and Ctrl+W are added
    // where the desktop does not give them (a generic X11 desktop has Ctrl+W only).
    const QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (QAction* action : sub->systemMenu()->actions()) {
        if (action->shortcuts() != closeKeys || closeKeys.isEmpty())
            continue;
        QList<QKeySequence> keys = closeKeys;
        for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)})
            if (!keys.contains(key))
                keys << key;
        action->setShortcuts(keys);
    }
    form->show();
    return sub;
}

bool mdiMain::CloseChildWindows()
{
    // The hack editor first: it asks about its unsaved changes while the larger windows that write
    // into it are still open. Then the newest first, and no further than a window that refuses: the
    // windows opened before it stay.
    if (frmEditHack* editor = FindWorkingWindow<frmEditHack>(mdiArea_); editor && !CloseWindow(editor))
        return false;
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto sub = windows.rbegin(); sub != windows.rend(); ++sub) {
        if (!(*sub)->close())
            return false;
    }
    return true;
}

bool mdiMain::ConfirmExit()
{
    const frmBoardCheck* check = FindWorkingWindow<frmBoardCheck>(mdiArea_);
    return !check || !check->IsChecking()
        || state_.dialogs.messageBox(tr("A board check is still running. Stop it and exit Zenpatch?"),
                                     tr("Zenpatch"),
                                     MsgButtons::YesNoDefaultNo,
                                     MsgIcon::Question)
        == MsgAnswer::Yes;
}

void mdiMain::TileHorizontal()
{
    Tile(Qt::Vertical);
}

void mdiMain::TileVertical()
{
    Tile(Qt::Horizontal);
}

void mdiMain::Tile(Qt::Orientation direction)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : mdiArea_->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            windows << sub;
    const QSize area = mdiArea_->viewport()->size();
    const int length = direction == Qt::Vertical ? area.height() : area.width();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        const int start = length * i / n;
        const int end = length * (i + 1) / n;
        windows[i]->showNormal();
        if (direction == Qt::Vertical)
            windows[i]->setGeometry(0, start, area.width(), end - start);
        else
            windows[i]->setGeometry(start, 0, end - start, area.height());
    }
}

void mdiMain::Cascade()
{
    const QSize area = mdiArea_->viewport()->size();
    QPoint next(0, 0);
    for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::StackingOrder)) {
        if (!sub->isVisible() || sub->isMinimized())
            continue;
        sub->showNormal();
        // A window that would no longer fit at its minimum size starts the cascade over at the top.
        if (next.x() + sub->minimumWidth() > area.width() || next.y() + sub->minimumHeight() > area.height())
            next = QPoint(0, 0);
        const QSize room(area.width() - next.x(), area.height() - next.y());
        sub->setGeometry(QRect(next, sub->size().boundedTo(room).expandedTo(sub->minimumSize())));
        sub->raise();
        const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        next += QPoint(step, step);
    }
}

void mdiMain::ArrangeIcons()
{
    const QSize area = mdiArea_->viewport()->size();
    int left = 0;
    int bottom = area.height();
    for (QMdiSubWindow* sub : mdiArea_->subWindowList()) {
        if (!sub->isMinimized())
            continue;
        if (left > 0 && left + sub->width() > area.width()) {
            left = 0;
            bottom -= sub->height();
        }
        sub->move(left, bottom - sub->height());
        left += sub->width();
    }
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
    CloseDatabase(state_);
    CompactDatabase(state_);
    if (TrayForm1)
        TrayForm1->hide();
    QCoreApplication::quit();
}

} // namespace zp
