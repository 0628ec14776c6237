// The main window's own size and place between runs, its menu keys while a working window is
// active, and the list of open windows in its Window menu.
#include "app/mdi_main.h"

#include "app/window_helpers.h"
#include "catalogue/frm_edit_hack.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

namespace zp {

namespace {

// The main window's least first size, in twips: room for the hack list with a margin.
constexpr int MainWidthTwips = 12600;
constexpr int MainHeightTwips = 9300;

constexpr char GeometryKey[] = "MainWindow/geometry";
constexpr char StateKey[] = "MainWindow/state";

} // namespace

void mdiMain::SetFirstSize()
{
    const QSize bars(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    const QSize editor(TwipsToPixels(EditorWidthTwips, this), TwipsToPixels(EditorHeightTwips, this));
    QSize size = QSize(TwipsToPixels(MainWidthTwips, this), TwipsToPixels(MainHeightTwips, this))
                     .expandedTo(editor + bars + 2 * QSize(mdiArea_->frameWidth(), mdiArea_->frameWidth()));
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableSize());
    resize(size);
}

void mdiMain::MakeRoomFor(const QWidget* frame)
{
    const QSize lack = (frame->size() - mdiArea_->viewport()->size()).expandedTo(QSize(0, 0));
    if (lack.isNull() || isMaximized() || isFullScreen())
        return;
    QSize size = this->size() + lack;
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableSize() - (frameGeometry().size() - this->size()));
    resize(size);
}

void mdiMain::RestoreWindowState(const QString& settingsFile)
{
    settingsFile_ = settingsFile;
    const QSettings settings(settingsFile_, QSettings::IniFormat);
    restoreGeometry(settings.value(GeometryKey).toByteArray());
    restoreState(settings.value(StateKey).toByteArray());
}

void mdiMain::SaveWindowState()
{
    if (settingsFile_.isEmpty())
        return;
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(StateKey, saveState());
}

void mdiMain::GiveMenuKeysTo(QMdiSubWindow* active)
{
    const QList<QKeySequence> taken
        = active && active->widget() ? MnemonicKeys(active->widget()) : QList<QKeySequence>();
    for (const auto& [menu, caption] : menuCaptions_) {
        const bool clash = taken.contains(QKeySequence::mnemonic(caption));
        menu->setTitle(clash ? QString(caption).remove(u'&') : caption);
    }
}

void mdiMain::ListWindows()
{
    qDeleteAll(windowItems_);
    windowItems_.clear();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    windowItems_ << mnuWindow->addSeparator();
    int number = 0;
    for (QMdiSubWindow* sub : windows) {
        if (sub->isHidden())
            continue;
        ++number;
        // The first nine take their digit as key; a "&" in a title is shown as it is.
        const QString title = sub->windowTitle().replace(u'&', QStringLiteral("&&"));
        QAction* item = mnuWindow->addAction(number <= 9 ? tr("&%1 %2").arg(number).arg(title) : title);
        item->setCheckable(true);
        item->setChecked(sub == mdiArea_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, sub] { mdiArea_->setActiveSubWindow(sub); });
        windowItems_ << item;
    }
}

} // namespace zp
