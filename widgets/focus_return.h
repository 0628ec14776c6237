#pragma once

class QWidget;

namespace zp {

// Gives the keyboard back to the window a dialog (a message box, a modal window) was opened over,
// once the dialog has closed: some window managers leave no window active when two dialogs close
// one right after the other, and the next keys would go nowhere. Installed once for the whole
// application; later calls do nothing.
void ReturnFocusAfterDialogs();

// Gives the keyboard back to the control that had it before a message box: its working window in
// the main window comes to the front, and its window is activated. Does nothing when the control
// has gone, is hidden or disabled.
void RestoreFocus(QWidget* control);

} // namespace zp
