#include "interchange/frm_export_text.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "interchange/interchange_common.h"
#include "interchange/interchange_dialog.h"
#include "interchange/text_export.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace zp {

frmExportText::frmExportText(AppState& state, QWidget* parent)
    : QWidget(parent)
    , ExportTargetControls(this, state.dialogs)
    , cmdStartExport(new QPushButton(tr("&Start Export"), this))
    , state_(state)
    , hackNum_(state.CurrentHackNum)
{
    setWindowTitle(tr("Export hack in text format"));
    NameAfterCurrentHack(this, state);
    chkMakeFolder->setChecked(true);
    chkMakeFolder->setEnabled(false);
    chkMakeFolder->setToolTip(tr("The text export always creates a folder that does not exist"));
    connect(cmdStartExport, &QPushButton::clicked, this, &frmExportText::Start);
    // Enter in the boxes starts the export.
    connect(txtExpFolder, &QLineEdit::returnPressed, this, &frmExportText::Start);
    connect(txtHackFileName, &QLineEdit::returnPressed, this, &frmExportText::Start);

    targetGrid->addWidget(cmdStartExport, 5, 1);
    targetGrid->setRowStretch(6, 1);
    setLayout(targetGrid);
    setMinimumSize(sizeHint());

    // The text export fills a folder of its own: a new one named after the hack, in the proposal.
    txtExpFolder->setText(QDir(LoadExportFolder(state)).filePath(txtHackFileName->text()));
    setFocusProxy(txtHackFileName);
    CloseOnEscape(this);
}

void frmExportText::Start()
{
    cmdStartExport->setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ExportResult result;
    result.folder = txtExpFolder->text();
    RunGuarded(state_.dialogs, windowTitle(), [this, &result] {
        // The hack this window was opened for, whatever the list has selected since.
        result = StartTextExport(state_, {hackNum_, txtExpFolder->text(), txtHackFileName->text()});
        if (result.hackGone)
            state_.dialogs.messageBox(
                tr("This hack is no longer in the database."), windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
    });
    QApplication::restoreOverrideCursor();
    cmdStartExport->setEnabled(true);
    txtExpFolder->setText(result.folder);
    const bool openFolder = ShowExportEnd(state_.dialogs, result);
    if (result.outcome != ExportOutcome::Finished)
        return;
    if (openFolder)
        OpenOutputFolder(result.folder);
    CloseWindow(this);
}

void ShowExportText(MainFrame& main)
{
    if (auto* open = FindWorkingWindow<frmExportText>(main.mdiArea())) {
        main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(open->parentWidget()));
        return;
    }
    auto* window = new frmExportText(main.State());
    main.ShowChild(window);
    CenterInParent(window);
    window->setFocus();
}

} // namespace zp
