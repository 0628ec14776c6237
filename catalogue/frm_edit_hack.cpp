#include "catalogue/frm_edit_hack.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "catalogue/frm_list_hacks.h"
#include "catalogue/hack_editing.h"
#include "core/board_text.h"
#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace zp {

namespace {

constexpr int HackInfoTab = 0;

} // namespace

void frmEditHack::ConnectCommands()
{
    const auto on = [this](QAbstractButton* button, auto command) {
        connect(button, &QAbstractButton::clicked, this, [this, command] {
            Guarded([this, command] { (this->*command)(); });
        });
    };
    on(cmdSaveHackInfo, &frmEditHack::SaveHackInfo);
    on(cmdSaveMessage, &frmEditHack::SaveMessages);
    connect(cmbHackType, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { HackTypeChanged(); }); });
    connect(cmdViewFS, &QToolButton::clicked, this, [this] { OpenLargerWindow(1, txtHackComm->toPlainText()); });
    connect(cmdFVPreInstall, &QToolButton::clicked, this, [this] { OpenLargerWindow(2, txtPreMess->toPlainText()); });
    connect(cmdFVPostInstall, &QToolButton::clicked, this, [this] { OpenLargerWindow(3, txtPostMess->toPlainText()); });
    connect(cmdViewOldFS, &QToolButton::clicked, this, [this] { OpenLargerWindow(4, rtbOldData->toPlainText()); });
    connect(cmdViewNewFS, &QToolButton::clicked, this, [this] { OpenLargerWindow(5, rtbNewData->toPlainText()); });

    connect(fgModList, &FlexGrid::RowChanged, this, [this] { Guarded([this] { ShowSelectedMod(); }); });
    connect(fgModList, &FlexGrid::RowDoubleClicked, this, [this] {
        if (fgModList->Row() >= 1 && fgModList->isEnabled())
            Guarded([this] { EditMod(); });
    });
    on(cmdNewMod, &frmEditHack::NewMod);
    on(cmdAddMultiple, &frmEditHack::AddMultiple);
    on(cmdEditMod, &frmEditHack::EditMod);
    on(cmdDelMod, &frmEditHack::DeleteMod);
    on(cmdDupeMod, &frmEditHack::DuplicateMod);
    on(cmdHackCancel, &frmEditHack::CancelMod);
    on(cmdModSave, &frmEditHack::SaveMod);
    on(cmdModClear, &frmEditHack::ClearModFields);
    connect(chkValMods, &QCheckBox::clicked, this, [this] { Guarded([this] { ValidationClicked(); }); });
    connect(cmdFontOldData, &QToolButton::clicked, this, [this] { ChooseFont(rtbOldData); });
    connect(cmdFontNewData, &QToolButton::clicked, this, [this] { ChooseFont(rtbNewData); });
    on(cmdGetModFile, &frmEditHack::GetModFile);
    on(cmdOpenTextFile, &frmEditHack::OpenModFile);

    connect(lstSupFiles, &QListWidget::currentRowChanged, this, [this] { Guarded([this] { SelectSupportFile(); }); });
    on(cmdAddSupFile, &frmEditHack::AddSupportFiles);
    on(cmdRemSupFile, &frmEditHack::RemoveSupportFile);
    on(cmdSaveSupFile, &frmEditHack::SaveSupportFile);
}

void frmEditHack::Load()
{
    Guarded([this] {
        {
            const QSignalBlocker quiet(cmbHackType);
            cmbHackType->clear();
            cmbHackType->addItems({tr("Ultimate Bulletin Board"), tr("vBulletin")});
        }
        ShowHackType(0, 0);
        SetModFieldsEnabled(false);
        // The frame never gets smaller than the controls need to stay readable.
        QWidget* frame = WindowFrame(this);
        frame->setMinimumSize(frame->minimumSizeHint());
        ResizeInTwips(frame, EditorWidthTwips, EditorHeightTwips);
        chkValMods->setChecked(state_.cfgModValidate == 1);
        main_.MakeRoomFor(frame);
        CenterInParent(this);
        if (state_.NewHackMode) {
            CreateNewHack();
        } else {
            hackNum_ = state_.CurrentHackNum;
            LoadHackFields();
            FillModList();
        }
        FillSupportFileList();
    });
}

void frmEditHack::CreateNewHack()
{
    state_.NewHackMode = false;
    const qint16 type = state_.cfgDefHackType.trimmed() == QLatin1String("1") ? 1 : 0;
    ShowHackType(type, type);
    txtHackName->setText(tr("New Hack"));
    txtHackVersion->setText(QStringLiteral("0.0.1"));
    txtAuthName->setText(state_.cfgAuthName);
    txtAuthEmail->setText(state_.cfgAuthEmail);
    txtHomePage->setText(state_.cfgAuthHomePage);
    txtUpdateURL->setText(state_.cfgAuthUpdate);
    txtCopyright->setText(state_.cfgAuthCopyright);
    txtHackComm->setPlainText(state_.cfgAuthComment);
    txtPreMess->clear();
    txtPostMess->clear();
    sstabHack->setCurrentIndex(HackInfoTab);
    ShowTextStarts();
    hackNum_ = CreateHack(state_, [this](Recordset& hack) { WriteHackInfo(hack); });
    hackName_ = txtHackName->text();
    MarkHackInfoSaved();
    savedMessages_ = MessageValues();
    FillModList();
}

void frmEditHack::LoadHackFields()
{
    const Recordset& hack = HackRow();
    // A Null type opens as UBB; a type the list does not have shows no selection and is kept.
    const QVariant type = hack.Value("HackType");
    if (type.isNull())
        ShowHackType(0, 0);
    else
        ShowHackType(ListIndexOf(type, cmbHackType->count()), qint16(type.toInt()));
    for (const auto& [box, field] : HackInfoBoxes())
        box->setText(hack.Text(field));
    txtHackComm->setPlainText(hack.Text("Comments"));
    ShowTextStarts();
    hackName_ = hack.Text("Name");
    MarkHackInfoSaved();
    LoadMessageFields();
}

void frmEditHack::LoadMessageFields()
{
    const Recordset& hack = HackRow();
    txtPreMess->setPlainText(hack.Text("PreInstallCom"));
    txtPostMess->setPlainText(hack.Text("PostInstallCom"));
    savedMessages_ = MessageValues();
}

void frmEditHack::SaveHackInfo()
{
    if (txtHackName->text().isEmpty()) {
        state_.dialogs.messageBox(
            tr("You must include a name for this hack."), tr("Missing field"), MsgButtons::OK, MsgIcon::None);
        txtHackName->setFocus();
        return;
    }
    Recordset& hack = HackRow();
    WriteHackInfo(hack);
    hack.Update();
    hackName_ = txtHackName->text();
    MarkHackInfoSaved();
}

void frmEditHack::WriteHackInfo(Recordset& hack)
{
    if (cmbHackType->currentIndex() >= 0)
        hack.SetValue("HackType", cmbHackType->currentIndex());
    for (const auto& [box, field] : HackInfoBoxes())
        hack.SetValue(field, NullIfEmpty(box->text()));
    hack.SetValue("Comments", NullIfEmpty(BoxText(txtHackComm)));
    hack.SetValue("LastMod", TimeStamp());
}

void frmEditHack::SaveMessages()
{
    Recordset& hack = HackRow();
    hack.SetValue("PreInstallCom", NullIfEmpty(BoxText(txtPreMess)));
    hack.SetValue("PostInstallCom", NullIfEmpty(BoxText(txtPostMess)));
    hack.Update();
    savedMessages_ = MessageValues();
}

QList<std::pair<QLineEdit*, QString>> frmEditHack::HackInfoBoxes() const
{
    return {{txtHackName, "Name"},
            {txtAuthName, "AuthName"},
            {txtAuthEmail, "AuthEmail"},
            {txtHackVersion, "Version"},
            {txtHomePage, "HomePage"},
            {txtUpdateURL, "UpdateURL"},
            {txtCopyright, "Copyright"}};
}

void frmEditHack::ShowHackType(int index, qint16 type)
{
    {
        const QSignalBlocker quiet(cmbHackType);
        cmbHackType->setCurrentIndex(index);
    }
    ApplyHackType(type);
}

void frmEditHack::HackTypeChanged()
{
    if (cmbHackType->currentIndex() >= 0)
        ApplyHackType(qint16(cmbHackType->currentIndex()));
}

void frmEditHack::ApplyHackType(qint16 type)
{
    // Only the lists and the folder table follow; the type is stored by "Save Hack Info".
    hackType_ = type;
    state_.CurrentHackType = type;
    FillLocationLists();
    LoadDirectoryTable(state_);
}

void frmEditHack::FillLocationLists()
{
    const QStringList names = LocationNames(state_.CurrentHackType);
    for (QComboBox* list : {cmbDirType, cmbFileLoc}) {
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(-1);
    }
}

QString frmEditHack::BoxText(const QPlainTextEdit* box)
{
    return ToCrLf(box->toPlainText());
}

void frmEditHack::OpenLargerWindow(qint16 DispType, const QString& text)
{
    largerWindows_ << OpenLongTextEditor(main_, *this, DispType, text);
}

void frmEditHack::SetLongText(qint16 DispType, const QString& text)
{
    QPlainTextEdit* const targets[] = {txtHackComm, txtPreMess, txtPostMess, rtbOldData, rtbNewData};
    if (DispType >= 1 && DispType <= 5)
        targets[DispType - 1]->setPlainText(text);
}

void frmEditHack::closeEvent(QCloseEvent* event)
{
    if (!unloaded_ && !AskToSaveChanges()) {
        event->ignore();
        return;
    }
    CloseWorkingWindow(this, event, false, unloaded_, [this] { Unload(); });
}

void frmEditHack::Unload()
{
    // Errors while unloading are ignored: the window goes in any case.
    for (Recordset* rows : {state_.HackDataRecordset.get(), state_.HackInfoRecordset.get()}) {
        try {
            if (rows && rows->IsOpen())
                rows->Update();
        } catch (const std::exception&) {
        }
    }
    for (Recordset* rows : {state_.HackDataRecordset.get(), state_.HackFilesRecordset.get()}) {
        if (rows && rows->IsOpen())
            rows->Close();
    }
    // The larger windows write into this window's controls: they go with it.
    for (const QPointer<frmHackComm>& window : largerWindows_) {
        if (window)
            window->close();
    }
    main_.SetPanelText(3, tr("Hack Mods: %1").arg(0));
    main_.mnuHackList->setEnabled(true);
    state_.CurrentHackNum = 0;
    main_.ShowHackListLater(hackNum_);
}

Recordset& frmEditHack::HackRow()
{
    Recordset& hacks = *state_.HackInfoRecordset;
    if (hacks.IsOpen() && !hacks.BOF() && !hacks.EOF() && hacks.Int("HackNum") == hackNum_)
        return hacks;
    hacks.ReOpen(sql::SelectHackInfo);
    for (hacks.MoveFirst(); !hacks.EOF(); hacks.MoveNext()) {
        if (hacks.Int("HackNum") == hackNum_)
            return hacks;
    }
    throw DatabaseError("the hack being edited is no longer in the database");
}

Recordset& frmEditHack::ModRows()
{
    Recordset& mods = *state_.HackDataRecordset;
    if (!mods.IsOpen() || mods.Source() != ModsSql())
        mods.ReOpen(ModsSql());
    mods.MoveFirst();
    mods.Move(fgModList->Row() - 1);
    return mods;
}

Recordset& frmEditHack::FileRows()
{
    Recordset& files = *state_.HackFilesRecordset;
    if (!files.IsOpen() || files.Source() != FilesSql())
        files.ReOpen(FilesSql());
    files.MoveFirst();
    files.Move(lstSupFiles->currentRow());
    return files;
}

QString frmEditHack::ModsSql() const
{
    return sql::SelectHackDataOf + QString::number(hackNum_) + sql::OrderByModOrder;
}

QString frmEditHack::FilesSql() const
{
    return sql::SelectHackFilesOf + QString::number(hackNum_) + sql::OrderByFileName;
}

void frmEditHack::Guarded(const std::function<void()>& command)
{
    RunGuarded(state_.dialogs, tr("Create/Edit Hack"), [&] {
        // Another window may have selected a hack of the other board type meanwhile.
        if (state_.CurrentHackType != hackType_) {
            state_.CurrentHackType = hackType_;
            LoadDirectoryTable(state_);
        }
        command();
    });
}

frmEditHack& ShowHackEditor(MainFrame& main)
{
    frmEditHack* editor = FindWorkingWindow<frmEditHack>(main.mdiArea());
    if (editor) {
        main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(editor->parentWidget()));
        // Its unsaved changes are asked about before it shows another hack.
        if (!editor->AskToSaveChanges())
            return *editor;
    } else {
        editor = new frmEditHack(main);
        main.ShowChild(editor);
    }
    editor->Load();
    return *editor;
}

} // namespace zp
