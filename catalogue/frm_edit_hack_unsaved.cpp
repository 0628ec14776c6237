// The hack editor's unsaved changes: what each part shows against what was last loaded or stored,
// and the question before they are lost.
#include "catalogue/frm_edit_hack.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "widgets/window_helpers.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zp {

QStringList frmEditHack::HackInfoValues() const
{
    QStringList values {QString::number(cmbHackType->currentIndex()), BoxText(txtHackComm)};
    for (const auto& [box, field] : HackInfoBoxes())
        values << box->text();
    return values;
}

QStringList frmEditHack::MessageValues() const
{
    return {BoxText(txtPreMess), BoxText(txtPostMess)};
}

QStringList frmEditHack::ModValues() const
{
    return {QString::number(cmbModInst->currentIndex()),
            QString::number(cmbModOrder->currentIndex()),
            txtModFile->text(),
            txtExtendPath->text(),
            QString::number(cmbDirType->currentIndex()),
            BoxText(rtbOldData),
            BoxText(rtbNewData),
            QString::number(optModType[0]->group()->checkedId()),
            txtModComm->text()};
}

QStringList frmEditHack::SupportFileValues() const
{
    if (lstSupFiles->currentRow() < 0)
        return {};
    return {QString::number(cmbFileLoc->currentIndex()), txtSupDir->text()};
}

void frmEditHack::MarkHackInfoSaved()
{
    savedHackInfo_ = HackInfoValues();
}

void frmEditHack::MarkModSaved()
{
    savedMod_ = ModValues();
}

void frmEditHack::MarkSupportFileSaved()
{
    savedFile_ = SupportFileValues();
}

bool frmEditHack::ModChanged() const
{
    return cmdModSave->isEnabled() && ModValues() != savedMod_;
}

bool frmEditHack::HasUnsavedChanges() const
{
    for (const QPointer<frmHackComm>& window : largerWindows_) {
        if (window && window->Changed())
            return true;
    }
    return ModChanged() || HackInfoValues() != savedHackInfo_ || MessageValues() != savedMessages_
        || SupportFileValues() != savedFile_;
}

MsgAnswer frmEditHack::SaveChangesQuestion()
{
    return state_.dialogs.messageBox(tr("Save changes to %1?").arg(hackName_),
                                     tr("Create/Edit Hack"),
                                     MsgButtons::SaveDiscardCancel,
                                     MsgIcon::Question);
}

bool frmEditHack::AskToSaveChanges()
{
    if (!HasUnsavedChanges())
        return true;
    switch (SaveChangesQuestion()) {
    case MsgAnswer::Save: {
        bool saved = false;
        Guarded([this, &saved] { saved = SaveChanges(); });
        return saved;
    }
    case MsgAnswer::Discard:
        return true;
    default:
        return false;
    }
}

bool frmEditHack::SaveChanges()
{
    // A larger window's text counts as its box's, as the window's own save would put it there.
    for (const QPointer<frmHackComm>& window : largerWindows_) {
        if (window && window->Changed())
            window->Apply();
    }
    if (ModChanged()) {
        AddMultipleMode = false; // saving ends the series instead of starting its next mod
        if (!SaveMod())
            return false;
    }
    if (HackInfoValues() != savedHackInfo_) {
        SaveHackInfo();
        if (HackInfoValues() != savedHackInfo_)
            return false; // refused: the hack has no name
    }
    if (MessageValues() != savedMessages_)
        SaveMessages();
    if (SupportFileValues() != savedFile_)
        SaveSupportFile();
    return true;
}

void frmEditHack::EscapePressed()
{
    // The key that closes a list's popup closes only the popup.
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    // With no mod being edited, Escape closes the editor as Ctrl+F4 does, asking about changes.
    if (!cmdHackCancel->isEnabled()) {
        CloseWindow(this);
        return;
    }
    if (!ModChanged()) {
        Guarded([this] { CancelMod(); });
        return;
    }
    switch (SaveChangesQuestion()) {
    case MsgAnswer::Save:
        Guarded([this] {
            AddMultipleMode = false;
            SaveMod();
        });
        break;
    case MsgAnswer::Discard:
        Guarded([this] { CancelMod(); });
        break;
    default:
        break;
    }
}

} // namespace zp
