#include "widgets/window_helpers.h"

#include "app/dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QWidget>

namespace zp {

void RunGuarded(Dialogs& dialogs, const QString& title, const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        dialogs.messageBox(QCoreApplication::translate("zp::RunGuarded", "The hack database reported an error:\n\n%1")
                               .arg(QString::fromUtf8(e.what())),
                           title,
                           MsgButtons::OK,
                           MsgIcon::Critical);
    }
}

int TwipsToPixels(int twips, const QWidget* widget)
{
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return (twips * dpi + 720) / 1440;
}

void ResizeInTwips(QWidget* window, int widthTwips, int heightTwips)
{
    window->resize(TwipsToPixels(widthTwips, window), TwipsToPixels(heightTwips, window));
}

QWidget* WindowFrame(QWidget* window)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        return sub;
    return window;
}

QSize OuterSize(QWidget* window)
{
    const QWidget* frame = WindowFrame(window);
    return frame == window ? window->frameGeometry().size() : frame->size();
}

bool CloseWindow(QWidget* window)
{
    return WindowFrame(window)->close();
}

void CloseWorkingWindow(
    QWidget* window, QCloseEvent* event, bool busy, bool& unloaded, const std::function<void()>& unload)
{
    if (busy) {
        event->ignore();
        return;
    }
    event->accept();
    if (!unloaded) {
        unloaded = true;
        unload();
    }
    // A no-op while the frame is the one closing.
    if (QWidget* frame = WindowFrame(window); frame != window)
        frame->close();
}

void AddWindowKey(QWidget* window, const QKeySequence& key, const std::function<void()>& act)
{
    auto* action = new QAction(window);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, window, act);
    window->addAction(action);
}

void CloseOnEscape(QWidget* window)
{
    AddWindowKey(window, QKeySequence::Cancel, [window] { CloseWindow(window); });
}

QList<QKeySequence> MnemonicKeys(const QWidget* window)
{
    QList<QKeySequence> keys;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        keys << button->shortcut();
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy())
            keys << QKeySequence::mnemonic(label->text());
    }
    for (const QTabBar* tabs : window->findChildren<QTabBar*>()) {
        for (int i = 0; i < tabs->count(); ++i)
            keys << QKeySequence::mnemonic(tabs->tabText(i));
    }
    for (const QGroupBox* frame : window->findChildren<QGroupBox*>())
        keys << QKeySequence::mnemonic(frame->title());
    keys.removeAll(QKeySequence());
    return keys;
}

void CenterInParent(QWidget* window)
{
    if (!window)
        return;
    QWidget* frame = WindowFrame(window);
    QWidget* area = frame->parentWidget();
    if (!area)
        return;
    // An MDI sub-window lives in the area's viewport; its inner size is the client area.
    const QSize inner = area->size();
    frame->move(qMax(0, (inner.width() - frame->width()) / 2), qMax(0, (inner.height() - frame->height()) / 2));
}

void FocusFirstControl(QWidget* window)
{
    auto takes = [window](const QWidget* control) {
        return control && window->isAncestorOf(control) && (control->focusPolicy() & Qt::TabFocus)
            && control->isVisible() && control->isEnabled();
    };
    const QWidget* focus = QApplication::focusWidget();
    if (takes(focus))
        return;
    QWidget* control = window->focusWidget();
    for (QWidget* next = window->nextInFocusChain(); !takes(control) && next != window; next = next->nextInFocusChain())
        control = next;
    if (takes(control))
        control->setFocus(Qt::OtherFocusReason);
}

QLabel* BuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace zp
