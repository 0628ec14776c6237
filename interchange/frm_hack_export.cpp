#include "interchange/frm_hack_export.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "interchange/hack_export.h"
#include "interchange/interchange_common.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <memory>

namespace zp {

frmHackExport::frmHackExport(AppState& state, QWidget* parent)
    : InterchangeDialog(state, parent)
    , ExportTargetControls(this, state.dialogs)
    , cmdStartExport(new QPushButton(tr("&Start Export"), this))
    , hackNum_(state.CurrentHackNum)
{
    setWindowTitle(tr("Export Hack"));
    NameAfterCurrentHack(this, state);
    // Enter in the boxes starts the export.
    cmdStartExport->setDefault(true);
    connect(cmdStartExport, &QPushButton::clicked, this, &frmHackExport::Start);

    targetGrid->addWidget(prgProgress, 5, 0);
    targetGrid->addWidget(cmdStartExport, 5, 1);
    setLayout(targetGrid);
    setMinimumSize(sizeHint());

    txtExpFolder->setText(LoadExportFolder(state));
    // The folder is remembered; the name is what the user types first.
    txtHackFileName->setFocus();
}

void frmHackExport::Start()
{
    // The hack this window was opened for, whatever the list has selected since.
    const ExportRequest request {
        hackNum_, txtExpFolder->text(), txtHackFileName->text(), chkMakeFolder->isChecked(), &fe};
    auto result = std::make_shared<ExportResult>();
    result->folder = request.folder;
    RunJob(
        cmdStartExport,
        [this, request, result] { *result = StartExport(state_, request); },
        [this, result] {
            txtExpFolder->setText(result->folder);
            if (result->hackGone)
                state_.dialogs.messageBox(
                    tr("This hack is no longer in the database."), windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
            const bool openFolder = ShowExportEnd(state_.dialogs, *result);
            if (result->focusName)
                txtHackFileName->setFocus();
            if (result->outcome != ExportOutcome::Finished)
                return;
            if (openFolder)
                OpenOutputFolder(result->folder);
            accept();
        });
}

void ShowHackExport(MainFrame& main)
{
    RunGuarded(main.State().dialogs, frmHackExport::tr("Export Hack"), [&main] {
        frmHackExport window(main.State(), &main);
        window.exec();
    });
}

} // namespace zp
