#include "widgets/focus_return.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace zp {

namespace {

// Activates the window under a dialog that has just been hidden, after the hide has reached the
// window system, unless another dialog has opened meanwhile.
class DialogCloseFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(receiver);
        if (event->type() != QEvent::Hide || !dialog || !dialog->isWindow() || !dialog->parentWidget())
            return false;
        QPointer<QWidget> under = dialog->parentWidget()->window();
        QTimer::singleShot(0, under, [under] {
            QWidget* modal = QApplication::activeModalWidget();
            if (under && under->isVisible() && (!modal || modal == under))
                under->activateWindow();
        });
        return false;
    }
};

} // namespace

void ReturnFocusAfterDialogs()
{
    static QPointer<DialogCloseFilter> installed;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || installed)
        return;
    installed = new DialogCloseFilter(app);
    app->installEventFilter(installed);
}

void RestoreFocus(QWidget* control)
{
    if (!control || !control->isVisible() || !control->isEnabled())
        return;
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(up); sub && sub->mdiArea()) {
            sub->mdiArea()->setActiveSubWindow(sub);
            break;
        }
    }
    control->window()->activateWindow();
    control->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace zp
