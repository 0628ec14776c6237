// The hack editor's "Files" tab: the support files of the hack.
#include "catalogue/frm_edit_hack.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "catalogue/hack_editing.h"
#include "database/recordset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace zp {

void frmEditHack::FillSupportFileList()
{
    Recordset& files = *state_.HackFilesRecordset;
    files.ReOpen(FilesSql());
    const QSignalBlocker quiet(lstSupFiles);
    lstSupFiles->clear();
    // Until the hack has a file the location list shows where the first one goes.
    cmbFileLoc->setCurrentIndex(cmbFileLoc->count() > 0 ? 0 : -1);
    txtSupDir->clear();
    SetSupportFileControlsEnabled(files.RecordCount() > 0);
    MarkSupportFileSaved();
    if (files.RecordCount() == 0)
        return;
    for (files.MoveFirst(); !files.EOF(); files.MoveNext())
        lstSupFiles->addItem(files.Text("FileName"));
    lstSupFiles->setCurrentRow(0);
    SelectSupportFile();
}

void frmEditHack::SetSupportFileControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*> {cmbFileLoc, txtSupDir, cmdSaveSupFile, cmdRemSupFile})
        control->setEnabled(enabled);
}

void frmEditHack::SelectSupportFile()
{
    if (lstSupFiles->currentRow() < 0)
        return;
    txtSupDir->clear();
    const Recordset& files = FileRows();
    // A location that is Null or not in the list shows no selection; Save then keeps it.
    cmbFileLoc->setCurrentIndex(ListIndexOf(files.Value("Location"), cmbFileLoc->count()));
    txtSupDir->setText(files.Text("CustomDir"));
    ShowTextStarts();
    MarkSupportFileSaved();
}

void frmEditHack::SaveSupportFile()
{
    if (lstSupFiles->currentRow() < 0)
        return;
    Recordset& files = FileRows();
    files.SetValue("FileName", lstSupFiles->currentItem()->text());
    if (cmbFileLoc->currentIndex() >= 0)
        files.SetValue("Location", cmbFileLoc->currentIndex());
    files.SetValue("CustomDir", NullIfEmpty(txtSupDir->text()));
    files.Update();
    MarkSupportFileSaved();
}

void frmEditHack::AddSupportFiles()
{
    FileDialogOptions options;
    options.title = tr("Select File to Add");
    options.filter = tr("All Files (*)");
    options.fileMustExist = true;
    options.multiSelect = true;
    const QStringList chosen = state_.dialogs.openFiles(options);
    if (chosen.isEmpty())
        return;
    // Every file chosen gets the location and sub-path shown now; the first location when none is.
    const int location = qMax(0, cmbFileLoc->currentIndex());
    const QString customDir = txtSupDir->text();
    FileRows(); // open on this hack's files, where the new rows go
    for (const QString& path : chosen) {
        try {
            AddSupportFile(state_, hackNum_, path, location, customDir);
        } catch (const std::exception& e) {
            // The files before this one stay; nothing is stored for this one or the rest.
            state_.dialogs.messageBox(tr("Unable to add %1:\n%2").arg(path, QString::fromUtf8(e.what())),
                                      tr("Add Support File"),
                                      MsgButtons::OK,
                                      MsgIcon::Critical);
            break;
        }
    }
    FillSupportFileList();
}

void frmEditHack::RemoveSupportFile()
{
    if (lstSupFiles->currentRow() < 0)
        return;
    Recordset& files = FileRows();
    files.Delete();
    files.Update();
    FillSupportFileList();
}

} // namespace zp
