#include "boardcheck/frm_install_several.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "boardcheck/install_order.h"
#include "database/recordset.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace zp {

frmInstallSeveral::frmInstallSeveral(MainFrame& main, std::vector<int> hacks, QWidget* parent)
    : frmInstallHack(main, parent)
    , lblOrder(new QLabel(tr("Install o&rder"), this))
    , cmbOrder(new QComboBox(this))
    , hacks_(std::move(hacks))
{
    setObjectName("frmInstallSeveral");
    cmbOrder->addItems({tr("As listed"), tr("Safe order (conflict check)")});
    const QString orderTip = tr("The safe order installs no hack after one that breaks it, as the Board Check's "
                                "conflicts find; the hacks keep their listed order where it does not matter.");
    lblOrder->setToolTip(orderTip);
    cmbOrder->setToolTip(orderTip);
    lblOrder->setBuddy(cmbOrder);
    auto* order = new QHBoxLayout;
    order->addWidget(lblOrder);
    order->addWidget(cmbOrder);
    order->addStretch();
    options_->addLayout(order);
    // The preview shows one hack's changes; the run of several has its log.
    cmdPreview->hide();
    offersPublish_ = false;
}

void frmInstallSeveral::Load()
{
    log_.Run(state_.dialogs, windowTitle(), [this] {
        LoadOptions();
        QString preInstall, postInstall;
        for (const int hackNum : hacks_) {
            Recordset hack(state_.Connection);
            hack.Open(QStringLiteral("SELECT * FROM [HackInfo] WHERE [HackNum] = %1").arg(hackNum));
            if (hack.EOF())
                continue;
            const QString heading = QStringLiteral("== %1 ==\n").arg(hack.Text("Name"));
            preInstall += heading + hack.Text("PreInstallCom") + u'\n';
            if (const QString after = hack.Text("PostInstallCom"); !after.isEmpty())
                postInstall += heading + after + u'\n';
        }
        ShowHack(tr("Install Several Hacks (%n)", nullptr, int(hacks_.size())),
                 tr("Several Hacks"),
                 preInstall,
                 postInstall.isEmpty() ? QVariant() : QVariant(postInstall));
    });
}

bool frmInstallSeveral::RunInstall()
{
    const InstallOrder order = cmbOrder->currentIndex() == 1 ? InstallOrder::Safe : InstallOrder::Given;
    const PlannedOrder planned = PlanInstallOrder(state_, hacks_, order);
    if (!planned.Cycle.isEmpty()) {
        state_.dialogs.messageBox(tr("Nothing was installed: the hacks have %1.").arg(planned.Cycle),
                                  windowTitle(),
                                  MsgButtons::OK,
                                  MsgIcon::Exclamation);
        return false;
    }
    if (planned.Hacks.empty() || !StartRun(planned.Hacks.front()))
        return false;
    ShowMessage(state_.dialogs, RunInstallations(state_, planned.Hacks, *this, log_).message);
    return true;
}

frmInstallHack& ShowSeveralInstaller(MainFrame& main, const std::vector<int>& hacks)
{
    if (auto* open = FindWorkingWindow<frmInstallHack>(main.mdiArea())) {
        main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(WindowFrame(open)));
        return *open;
    }
    auto* window = new frmInstallSeveral(main, hacks);
    main.ShowChild(window);
    window->Load();
    return *window;
}

} // namespace zp
