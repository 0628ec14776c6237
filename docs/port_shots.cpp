#include "port_shots.h"

#include "boardcheck/frm_board_check.h"
#include "boardcheck/frm_port_merge.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

void WaitFor(const std::function<bool()>& done)
{
    while (!done())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
}

} // namespace

bool PortScreenshots(zp::mdiMain& window,
                     zp::frmBoardCheck& check,
                     const QString& shownRelease,
                     const QString& oldData,
                     const QString& out,
                     const std::function<bool(QWidget&, const QString&)>& save)
{
    check.tabChecks->setCurrentIndex(2);
    check.cmdPortAll->click();
    WaitFor([&check] { return !check.IsChecking(); });
    check.txtNewRelease->setText(shownRelease);
    for (int row = 1; row < check.fgPort->Rows() && !check.cmdResolveMod->isEnabled(); ++row)
        check.fgPort->SetRow(row);
    QApplication::processEvents();
    bool ok = save(*check.parentWidget(), out + "/board_check_port.png");

    check.cmdResolveMod->click();
    auto* view = window.findChild<zp::frmPortMerge*>();
    if (!view)
        return false;
    view->parentWidget()->move(0, 0);
    WaitFor([view] { return !view->IsWorking(); });
    view->txtOldData->setPlainText(oldData);
    view->cmdTryAgain->click();
    WaitFor([view] { return !view->IsWorking(); });
    ok &= save(*view->parentWidget(), out + "/port_merge.png");
    view->parentWidget()->close();
    return ok;
}
