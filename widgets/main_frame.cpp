// The main window's frame: its MDI area and status bar, its size and place between runs, its menu
// keys while a working window is active, the arrangements and the list of open windows.
#include "widgets/main_frame.h"

#include "app/app_state.h"
#include "app/common.h"
#include "widgets/chord_keys.h"
#include "widgets/focus_return.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

namespace zp {

namespace {

constexpr char GeometryKey[] = "MainWindow/geometry";
constexpr char StateKey[] = "MainWindow/state";
constexpr char DesignedSizeKey[] = "zpDesignedSize";

// The size a working window had before an arrangement first changed it: the size it opened with
// (or that the user gave it), which a window left alone takes again.
QSize DesignedSize(QMdiSubWindow* sub)
{
    const QVariant kept = sub->property(DesignedSizeKey);
    if (kept.isValid())
        return kept.toSize();
    sub->setProperty(DesignedSizeKey, sub->size());
    return sub->size();
}

} // namespace

MainFrame::MainFrame(AppState& state, QWidget* parent)
    : QMainWindow(parent)
    , state_(state)
    , mdiArea_(new QMdiArea(this))
{
    mdiArea_->setObjectName("mdiArea");
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A working window that closes gives the front back to the one that was there before it (the
    // editor that opened a comments window, the list that opened the installer).
    mdiArea_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(mdiArea_);
    CreateStatusBar();
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &MainFrame::GiveMenuKeysTo);
    // F10 opens the menu bar's first menu, whichever window has the keyboard, also while a working
    // window's controls have taken the menus' Alt letters.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().first());
    });
    // Every window of the program lives in the main window: from its making on, no chord types.
    KeepChordsFromTyping();
    ReturnFocusAfterDialogs();
}

MainFrame::~MainFrame()
{
    // The sub-windows go after this window's own members: their last activations change no menu.
    disconnect(mdiArea_, nullptr, this, nullptr);
}

QMenu* MainFrame::AddMenu(const QString& caption, const char* name)
{
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menuCaptions_.append({menu, caption});
    return menu;
}

void MainFrame::ShowHackListLater(int selectHackNum)
{
    QTimer::singleShot(0, this, [this, selectHackNum] {
        if (!state_.Connection.IsOpen())
            return;
        try {
            ShowHackList(selectHackNum);
        } catch (const std::exception&) {
        }
    });
}

void MainFrame::MakeRoomFor(const QWidget* frame)
{
    const QSize lack = (frame->size() - mdiArea_->viewport()->size()).expandedTo(QSize(0, 0));
    if (lack.isNull() || isMaximized() || isFullScreen())
        return;
    QSize size = this->size() + lack;
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableSize() - (frameGeometry().size() - this->size()));
    resize(size);
}

void MainFrame::RestoreWindowState(const QString& settingsFile)
{
    settingsFile_ = settingsFile;
    const QSettings settings(settingsFile_, QSettings::IniFormat);
    restoreGeometry(settings.value(GeometryKey).toByteArray());
    restoreState(settings.value(StateKey).toByteArray());
}

void MainFrame::SaveWindowState()
{
    if (settingsFile_.isEmpty())
        return;
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(StateKey, saveState());
}

void MainFrame::GiveMenuKeysTo(QMdiSubWindow* active)
{
    // The window that comes to the front takes the keyboard, also when chosen from the Window menu.
    if (active && active->widget())
        FocusFirstControl(active->widget());

    const QList<QKeySequence> taken
        = active && active->widget() ? MnemonicKeys(active->widget()) : QList<QKeySequence>();
    for (const auto& [menu, caption] : menuCaptions_) {
        const bool clash = taken.contains(QKeySequence::mnemonic(caption));
        menu->setTitle(clash ? QString(caption).remove(u'&') : caption);
    }
}

void MainFrame::ListWindows(QMenu* menu)
{
    qDeleteAll(windowItems_);
    windowItems_.clear();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    windowItems_ << menu->addSeparator();
    int number = 0;
    for (QMdiSubWindow* sub : windows) {
        if (sub->isHidden())
            continue;
        ++number;
        // The first nine take their digit as key; a "&" in a title is shown as it is.
        const QString title = sub->windowTitle().replace(u'&', QStringLiteral("&&"));
        QAction* item = menu->addAction(number <= 9 ? tr("&%1 %2").arg(number).arg(title) : title);
        item->setCheckable(true);
        item->setChecked(sub == mdiArea_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, sub] { mdiArea_->setActiveSubWindow(sub); });
        windowItems_ << item;
    }
}

void MainFrame::CreateStatusBar()
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
    connect(clock_, &QTimer::timeout, this, &MainFrame::UpdateClock);
    clock_->start();
    UpdateClock();
}

void MainFrame::UpdateClock()
{
    // The time and the date as the hack list shows its time stamps: "1:05pm", "12-07-2001".
    const QDateTime now = QDateTime::currentDateTime();
    SetPanelText(4, TimeText(now.time().toString(QStringLiteral("hh:mm:ss"))));
    SetPanelText(5, DateText(now.date()));
}

void MainFrame::SetPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 5)
        panels_[panel - 1]->setText(text);
}

QString MainFrame::PanelText(int panel) const
{
    return panel >= 1 && panel <= 5 ? panels_[panel - 1]->text() : QString();
}

QMdiSubWindow* MainFrame::ShowChild(QWidget* form)
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
    mdiArea_->setActiveSubWindow(sub);
    FocusFirstControl(form);
    return sub;
}

void MainFrame::TileHorizontal()
{
    Tile(Qt::Vertical);
}

void MainFrame::TileVertical()
{
    Tile(Qt::Horizontal);
}

void MainFrame::Tile(Qt::Orientation direction)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : mdiArea_->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            windows << sub;
    const QSize area = mdiArea_->viewport()->size();
    const int n = int(windows.size());
    if (n == 1) { // a window left alone takes its designed size again
        Cascade();
        return;
    }
    // Each window an equal share of the area, but never less than its minimum: the next one starts
    // where it ends, and the area scrolls to what lies beyond it.
    const bool stacked = direction == Qt::Vertical;
    const int length = stacked ? area.height() : area.width();
    int start = 0;
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = windows[i];
        DesignedSize(sub);
        sub->showNormal();
        const int share = length * (i + 1) / n - length * i / n;
        const QSize size
            = (stacked ? QSize(area.width(), share) : QSize(share, area.height())).expandedTo(sub->minimumSize());
        sub->setGeometry(QRect(stacked ? QPoint(0, start) : QPoint(start, 0), size));
        start += stacked ? size.height() : size.width();
    }
}

void MainFrame::Cascade()
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
        sub->setGeometry(QRect(next, DesignedSize(sub).boundedTo(room).expandedTo(sub->minimumSize())));
        sub->raise();
        const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        next += QPoint(step, step);
    }
}

void MainFrame::ArrangeIcons()
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

} // namespace zp
