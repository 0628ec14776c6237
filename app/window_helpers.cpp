#include "app/window_helpers.h"

#include <QMdiSubWindow>
#include <QWidget>

namespace zp {

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

void CloseWindow(QWidget* window)
{
    WindowFrame(window)->close();
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

} // namespace zp
