#pragma once

#include <QApplication>

namespace zp::test {

// Widget tests need one QApplication for the whole test binary; the first call creates it.
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "zenpatch-tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

// Runs the deletions that closing a window with Qt::WA_DeleteOnClose has queued.
inline void RunDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace zp::test
