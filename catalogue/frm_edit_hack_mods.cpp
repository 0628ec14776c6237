// The hack editor's mods: the mod list, the "Mod Info" tab and the two data boxes.
#include "catalogue/frm_edit_hack.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "catalogue/hack_editing.h"
#include "database/database.h"
#include "database/recordset.h"
#include "viewer/frm_text_file.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace zp {

namespace {

constexpr int ModInfoTab = 2;
constexpr int AddAfterCode = 1;

// The value a list stands for: its index plus `first`, or the kept stored value when it shows no
// selection.
QVariant Chosen(const QComboBox* list, const QVariant& kept, int first)
{
    return list->currentIndex() >= 0 ? QVariant(list->currentIndex() + first) : kept;
}

void SelectLast(QComboBox* list, const QString& text)
{
    list->addItem(text);
    list->setCurrentIndex(list->count() - 1);
}

} // namespace

void frmEditHack::FillModList()
{
    const QSignalBlocker quiet(fgModList);
    fgModList->SetRows(1);
    Recordset& mods = *state_.HackDataRecordset;
    mods.ReOpen(ModsSql());
    cmbModOrder->clear();
    const bool validate = chkValMods->isChecked();
    for (mods.MoveFirst(); !mods.EOF(); mods.MoveNext()) {
        fgModList->AddItem(ModListCells(state_, mods, validate));
        cmbModOrder->addItem(QString::number(cmbModOrder->count() + 1));
    }
    if (!AddMultipleMode)
        SetModButtons(false);
    if (mods.RecordCount() == 0) {
        main_.SetPanelText(3, tr("Hack Mods: %1").arg(0));
        ShowSelectedMod();
        return;
    }
    fgModList->SetRow(1);
    main_.SetPanelText(3, tr("Hack Mods: %1").arg(mods.RecordCount()));
    ShowSelectedMod();
}

int frmEditHack::ModCount() const
{
    return fgModList->Rows() - 1;
}

void frmEditHack::ShowSelectedMod()
{
    const int row = fgModList->Row();
    if (row < 1) {
        // No mod to show: the fields stand empty rather than showing a deleted one.
        ClearModFields();
        return;
    }
    ModRows();
    LoadModFields();
}

void frmEditHack::LoadModFields()
{
    const Recordset& mods = *state_.HackDataRecordset;
    keptInst_ = mods.Value("ModInst");
    keptOrder_ = mods.Value("ModOrder");
    keptDir_ = mods.Value("PrimaryDir");
    keptAction_ = mods.Value("ActionType");
    cmbModInst->setCurrentIndex(ListIndexOf(keptInst_, cmbModInst->count()));
    cmbModOrder->setCurrentIndex(ListIndexOf(keptOrder_, cmbModOrder->count(), 1));
    txtModFile->setText(mods.Text("FileName"));
    txtExtendPath->setText(mods.Text("ExtendDir"));
    cmbDirType->setCurrentIndex(ListIndexOf(keptDir_, cmbDirType->count()));
    rtbOldData->setPlainText(mods.Text("OldData"));
    rtbNewData->setPlainText(mods.Text("NewData"));
    SetAction(ListIndexOf(keptAction_, int(optModType.size())));
    txtModComm->setText(mods.Text("Comment"));
    ShowTextStarts();
}

void frmEditHack::ClearModFields()
{
    keptInst_ = keptDir_ = keptAction_ = QVariant();
    SetAction(AddAfterCode);
    cmbDirType->setCurrentIndex(cmbDirType->count() > 0 ? 0 : -1);
    cmbModInst->setCurrentIndex(1);
    txtModFile->clear();
    txtExtendPath->clear();
    txtModComm->clear();
    rtbOldData->clear();
    rtbNewData->clear();
}

void frmEditHack::SetAction(int code)
{
    // An unknown code chooses no option at all.
    QButtonGroup* group = optModType[0]->group();
    group->setExclusive(false);
    for (size_t i = 0; i < optModType.size(); ++i)
        optModType[i]->setChecked(int(i) == code);
    group->setExclusive(true);
}

void frmEditHack::SetModFieldsEnabled(bool enable)
{
    for (QWidget* field : std::initializer_list<QWidget*> {fraActions,
                                                           txtModFile,
                                                           cmbDirType,
                                                           cmbModOrder,
                                                           cmbModInst,
                                                           txtExtendPath,
                                                           txtModComm,
                                                           cmdGetModFile,
                                                           cmdOpenTextFile})
        field->setEnabled(enable);
    // The data boxes stay readable and scrollable while viewing.
    rtbOldData->setReadOnly(!enable);
    rtbNewData->setReadOnly(!enable);
}

void frmEditHack::SetModButtons(bool editing)
{
    const bool haveMods = ModCount() > 0;
    for (QPushButton* button : {cmdModSave, cmdModClear, cmdHackCancel})
        button->setEnabled(editing);
    for (QPushButton* button : {cmdNewMod, cmdAddMultiple})
        button->setEnabled(!editing);
    for (QPushButton* button : {cmdEditMod, cmdDelMod, cmdDupeMod})
        button->setEnabled(!editing && haveMods);
    // While a mod is edited only its own fields take input.
    fgModList->setEnabled(!editing);
    chkValMods->setEnabled(!editing);
    for (int tab = 0; tab < sstabHack->count(); ++tab) {
        if (tab != ModInfoTab)
            sstabHack->setTabEnabled(tab, !editing);
    }
}

void frmEditHack::EnterEditing()
{
    SetModFieldsEnabled(true);
    SetModButtons(true);
    sstabHack->setCurrentIndex(ModInfoTab);
}

void frmEditHack::NewMod()
{
    NewModPending = true;
    if (FirstOfMultiple || !AddMultipleMode)
        ClearModFields();
    EnterEditing();
    SelectLast(cmbModOrder, QString::number(cmbModOrder->count() + 1));
    if (AddMultipleMode && !FirstOfMultiple) {
        // The next mod of a series keeps file, location, sub-path, instance and action.
        rtbOldData->clear();
        rtbNewData->clear();
        txtModComm->clear();
        rtbOldData->setFocus();
    } else {
        txtModFile->setFocus();
        FirstOfMultiple = false;
    }
    MarkModSaved();
}

void frmEditHack::AddMultiple()
{
    AddMultipleMode = true;
    FirstOfMultiple = true;
    NewMod();
}

void frmEditHack::EditMod()
{
    EnterEditing();
    txtModFile->setFocus();
    MarkModSaved();
}

void frmEditHack::DuplicateMod()
{
    if (ModCount() == 0)
        return;
    SelectLast(cmbModOrder, QString::number(cmbModOrder->count() + 1));
    NewModPending = true;
    if (!SaveMod()) {
        // Nothing was stored (the shown mod has no file name): the list stays as it was.
        cmbModOrder->removeItem(cmbModOrder->count() - 1);
        NewModPending = false;
        ShowSelectedMod();
        return;
    }
    const QSignalBlocker quiet(fgModList);
    fgModList->SetRow(fgModList->Rows() - 1);
    ShowSelectedMod();
}

void frmEditHack::DeleteMod()
{
    if (state_.dialogs.messageBox(tr("Are you sure you wish to delete this mod?"),
                                  tr("Delete Modification"),
                                  MsgButtons::YesNo,
                                  MsgIcon::Exclamation)
        == MsgAnswer::No)
        return;
    Recordset& mods = ModRows();
    {
        Transaction transaction(state_.Connection);
        mods.Delete();
        mods.Update();
        RenumberMods(mods);
        transaction.Commit();
    }
    FillModList();
}

void frmEditHack::CancelMod()
{
    SetModFieldsEnabled(false);
    AddMultipleMode = false;
    FirstOfMultiple = false;
    if (NewModPending) {
        cmbModOrder->removeItem(cmbModOrder->count() - 1);
        NewModPending = false;
    }
    SetModButtons(false);
    ShowSelectedMod();
    // The keyboard goes back to the mod list, not to the control after the button just disabled.
    if (fgModList->isVisible())
        fgModList->setFocus();
}

bool frmEditHack::SaveMod()
{
    if (txtModFile->text().isEmpty()) {
        state_.dialogs.messageBox(
            tr("You must enter a filename for this modification."), tr(ProgramTitle), MsgButtons::OK, MsgIcon::None);
        return false;
    }
    Recordset& mods = ModRows();
    try {
        if (NewModPending)
            mods.AddNew();
        WriteModFields(mods);
        mods.Update();
    } catch (...) {
        mods.CancelUpdate();
        throw;
    }
    NewModPending = false;
    FillModList();
    {
        const QSignalBlocker quiet(fgModList);
        fgModList->SetRow(fgModList->Rows() - 1);
    }
    ShowSelectedMod();
    if (AddMultipleMode)
        NewMod();
    else
        CancelMod();
    return true;
}

void frmEditHack::WriteModFields(Recordset& mods)
{
    mods.SetValue("HackNum", hackNum_);
    mods.SetValue("ModInst", Chosen(cmbModInst, keptInst_, 0));
    mods.SetValue("ModOrder", Chosen(cmbModOrder, keptOrder_, 1));
    mods.SetValue("FileName", txtModFile->text());
    mods.SetValue("ExtendDir", txtExtendPath->text());
    mods.SetValue("PrimaryDir", Chosen(cmbDirType, keptDir_, 0));
    mods.SetValue("OldData", NullIfEmpty(BoxText(rtbOldData)));
    mods.SetValue("NewData", NullIfEmpty(BoxText(rtbNewData)));
    const int action = optModType[0]->group()->checkedId();
    mods.SetValue("ActionType", action >= 0 ? QVariant(action) : keptAction_);
    mods.SetValue("Comment", NullIfEmpty(txtModComm->text()));
}

void frmEditHack::ValidationClicked()
{
    FillLocationLists();
    FillModList();
}

void frmEditHack::ChooseFont(QPlainTextEdit* box)
{
    const QFont current = box->font();
    const std::optional<FontChoice> choice = state_.dialogs.chooseFont(
        {current.family(), current.pointSize() > 0 ? current.pointSize() : 10, current.bold(), current.italic()});
    if (!choice || choice->family == QLatin1String(" "))
        return;
    QFont font(choice->family, choice->pointSize);
    font.setBold(choice->bold);
    font.setItalic(choice->italic);
    box->setFont(font);
}

void frmEditHack::GetModFile()
{
    FileDialogOptions options;
    options.title = tr("Select Modification File");
    options.filter = tr("All Files (*)");
    options.fileMustExist = true;
    options.initialDir = JoinInsideRoot(state_.SourceDir, state_.DirectoryTable.value(0)).value_or(state_.SourceDir);
    const QStringList chosen = state_.dialogs.openFiles(options);
    if (!chosen.isEmpty())
        txtModFile->setText(FileNameOf(chosen.first()));
}

void frmEditHack::OpenModFile()
{
    // The file of the location and sub-path shown in the fields, below the source folder.
    const QString directory
        = ResolveModDirectory(CurrentLayout(state_), cmbDirType->currentIndex(), txtExtendPath->text());
    const QString relative = directory.isEmpty() ? txtModFile->text() : directory + u'/' + txtModFile->text();
    const std::optional<QString> path = JoinInsideRoot(state_.SourceDir, relative);
    state_.CurrentModFilePath = path.value_or(state_.SourceDir + u'/' + relative);
    if (path && !state_.SourceDir.isEmpty() && FileExists(*path)) {
        OpenTextViewer(main_);
        return;
    }
    state_.dialogs.messageBox(tr("Unable to locate file.") + u'\n' + state_.CurrentModFilePath,
                              tr("File not found."),
                              MsgButtons::OK,
                              MsgIcon::Critical);
    state_.CurrentModFilePath.clear();
}

} // namespace zp
