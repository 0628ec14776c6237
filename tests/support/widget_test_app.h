#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace zp::test {

// Widget tests need one QApplication for the whole test binary; the first call creates it.
QApplication& EnsureApplication();

// Runs the deletions that closing a window with Qt::WA_DeleteOnClose has queued.
void RunDeferredDeletes();

// Runs act on the next modal window that opens (the splash, the Options dialog, the hack
// information), from the event loop that the modal window runs: the windows that the dialogs seam
// does not stand in for.
// Returns the watching timer, which a test that expects no modal window deletes at its end.
QTimer* WhenModal(std::function<void(QWidget*)> act);

} // namespace zp::test
