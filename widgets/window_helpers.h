#pragma once

#include <QKeySequence>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSize>
#include <QString>
#include <functional>

class QCloseEvent;
class QLabel;
class QWidget;

namespace zp {

class Dialogs;

// Runs a command of a window; a failure it throws (a database or file error) is shown as "The hack
// database reported an error:" with its text under the window's title instead of ending the program.
void RunGuarded(Dialogs& dialogs, const QString& title, const std::function<void()>& command);

// Converts a length in twips (1440 per inch) to pixels at the widget's logical DPI.
int TwipsToPixels(int twips, const QWidget* widget);
// Resizes a window to a size given in twips.
void ResizeInTwips(QWidget* window, int widthTwips, int heightTwips);

// The frame of a working window: its MDI sub-window in the main window, or the window itself.
QWidget* WindowFrame(QWidget* window);
// The size of a working window with its title bar and frame: its sub-window's size in the main
// window, or its own frame geometry.
QSize OuterSize(QWidget* window);
// Closes a working window with its frame, so that no empty sub-window stays behind. False when the
// window refused to close.
bool CloseWindow(QWidget* window);

// The open working window of this class in the main window's area, or nullptr. A closed one that
// waits for its deletion does not count.
template <typename Window>
Window* FindWorkingWindow(QMdiArea* area)
{
    for (QMdiSubWindow* sub : area->subWindowList()) {
        if (auto* window = qobject_cast<Window*>(sub->widget()))
            return window;
    }
    return nullptr;
}

// Shows the single working window of this class in the main window: an open one is brought to the
// front as it is; otherwise one is made for the main window, shown as its child and loaded.
template <typename Window, typename Main>
Window& ShowSingleWindow(Main& main)
{
    if (auto* open = FindWorkingWindow<Window>(main.mdiArea())) {
        main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(open->parentWidget()));
        return *open;
    }
    auto* window = new Window(main);
    main.ShowChild(window);
    window->Load();
    return *window;
}

// The close of a working window whose run may be going: refused while `busy`. Otherwise `unload`
// runs on the first close only, and the window's frame in the main window closes with it.
void CloseWorkingWindow(
    QWidget* window, QCloseEvent* event, bool busy, bool& unloaded, const std::function<void()>& unload);

// Gives the keyboard to a window that comes to the front: the control that had its focus last when
// it still can take it, else its first control in Tab order.
void FocusFirstControl(QWidget* window);

// A label whose mnemonic moves the focus to its buddy.
QLabel* BuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent);

// A key that acts wherever the window's focus is.
void AddWindowKey(QWidget* window, const QKeySequence& key, const std::function<void()>& act);

// Escape closes the window (through its close, which a window with a run going refuses), from
// wherever its focus is; a combo box's open list takes the key first.
void CloseOnEscape(QWidget* window);

// The Alt+letter keys a window's own controls take, shown or not: the mnemonics of its labels with
// a buddy, its tabs and group boxes, and its buttons' keys.
QList<QKeySequence> MnemonicKeys(const QWidget* window);

// Centres a child window of the main window inside the main window's client area: for an MDI
// child the sub-window frame is moved within the MDI area, for any other window the window itself
// within its parent. Does nothing for a window without a parent.
void CenterInParent(QWidget* window);

} // namespace zp
