#include "widget_test_app.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

namespace zp::test {

QApplication& EnsureApplication()
{
    static int argc = 1;
    static char name[] = "zenpatch-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qApp ? qApp : new QApplication(argc, argv);
    // Windows that keep settings (the hack list's order) keep them here, never in the user's own.
    static QTemporaryDir settings;
    static const bool settingsMoved = [] {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        return true;
    }();
    Q_UNUSED(settingsMoved);
    return *app;
}

void RunDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTimer* WhenModal(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer(&EnsureApplication());
    poll->setInterval(10);
    // Act once the dialog holds the keyboard, as a person at the screen would: on a busy machine the
    // platform activates a window a little after it is shown. A dialog that is never activated still
    // gets its turn after a second.
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, polls = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (!modal->isActiveWindow() && ++polls < 100))
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
    return poll;
}

} // namespace zp::test
