#include "interchange/export_target_controls.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "database/recordset.h"
#include "interchange/interchange_common.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zp {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ExportTargetControls", text);
}

} // namespace

ExportTargetControls::ExportTargetControls(QWidget* window, Dialogs& dialogs)
    : txtExpFolder(new QLineEdit(window))
    , cmdBrowse(new QPushButton(tr("&Browse..."), window))
    , chkMakeFolder(new QCheckBox(tr("&Create new folder"), window))
    , txtHackFileName(new QLineEdit(window))
    , targetGrid(new QGridLayout)
{
    auto* folderLabel = new QLabel(tr("Export to &folder"), window);
    folderLabel->setBuddy(txtExpFolder);
    auto* nameLabel = new QLabel(tr("Hack File &Name (Do not include extension)"), window);
    nameLabel->setBuddy(txtHackFileName);
    cmdBrowse->setAutoDefault(false);
    cmdBrowse->setToolTip(tr("Choose the folder to export to"));

    QLineEdit* folder = txtExpFolder;
    QObject::connect(cmdBrowse, &QPushButton::clicked, window, [folder, &dialogs] {
        const QString chosen = dialogs.chooseFolder(tr("Export to folder"), folder->text());
        if (!chosen.isEmpty())
            folder->setText(chosen);
    });

    targetGrid->addWidget(folderLabel, 0, 0, 1, 2);
    targetGrid->addWidget(txtExpFolder, 1, 0);
    targetGrid->addWidget(cmdBrowse, 1, 1);
    targetGrid->addWidget(chkMakeFolder, 2, 0, 1, 2);
    targetGrid->addWidget(nameLabel, 3, 0, 1, 2);
    targetGrid->addWidget(txtHackFileName, 4, 0, 1, 2);
    txtExpFolder->setMinimumWidth(window->fontMetrics().averageCharWidth() * 52);
}

void ExportTargetControls::NameAfterCurrentHack(QWidget* window, const AppState& state)
{
    const Recordset& hack = *state.HackInfoRecordset;
    if (!hack.IsOpen() || hack.BOF() || hack.EOF())
        return;
    const QString name = hack.Text("Name");
    window->setWindowTitle(tr("%1 — %2").arg(window->windowTitle(), name));
    txtHackFileName->setText(ExportNameFor(name));
    txtHackFileName->selectAll();
}

} // namespace zp
