#include "shell/frm_options.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "publish/servers_tab.h"
#include "widgets/window_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zp {

namespace {

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* Note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setStyleSheet("color: palette(dark);");
    return label;
}

} // namespace

frmOptions::frmOptions(AppState& state, QWidget* parent)
    : QDialog(parent)
    , state_(state)
{
    setObjectName("frmOptions");
    setWindowTitle(tr("Options"));

    SSTab1 = Named(new QTabWidget(this), "SSTab1");
    SSTab1->addTab(CreateLocalPathsTab(), tr("Local Paths"));
    SSTab1->addTab(CreateFolderTab({
                       {&txtUBBRootDir, "txtUBBRootDir", QT_TR_NOOP("Forum Root Directory")},
                       {&txtUBBCGIDir, "txtUBBCGIDir", QT_TR_NOOP("CGI Directory")},
                       {&txtUBBNonCGIDir, "txtUBBNonCGIDir", QT_TR_NOOP("NonCGI Directory")},
                       {&txtUBBMembersDir, "txtUBBMembersDir", QT_TR_NOOP("Members Directory")},
                       {&txtUBBVariablesDir, "txtUBBVariablesDir", QT_TR_NOOP("Variables Directory")},
                       {&txtUBBTemplatesDir, "txtUBBTemplatesDir", QT_TR_NOOP("Templates Directory")},
                   }),
                   tr("UBB"));
    SSTab1->addTab(CreateFolderTab({
                       {&txtvbRootDir, "txtvbRootDir", QT_TR_NOOP("Forum Root Directory")},
                       {&txtvbAdminDir, "txtvbAdminDir", QT_TR_NOOP("Admin Directory")},
                       {&txtvbModDir, "txtvbModDir", QT_TR_NOOP("Mod Directory")},
                       {&txtvbImageDir, "txtvbImageDir", QT_TR_NOOP("Images Directory")},
                       {&txtvbSmilieDir, "txtvbSmilieDir", QT_TR_NOOP("Images/Smilies Directory")},
                       {&txtvbPollsDir, "txtvbPollsDir", QT_TR_NOOP("Images/Polls Directory")},
                       {&txtvbIconsDir, "txtvbIconsDir", QT_TR_NOOP("Images/Icons Directory")},
                       {&txtvbAttachDir, "txtvbAttachDir", QT_TR_NOOP("Images/Attach Directory")},
                   }),
                   tr("vBulletin"));
    tabServers = Named(new ServersTab(state_.Connection, state_.dialogs), "tabServers");
    SSTab1->addTab(tabServers, tr("Servers"));

    cmdSave = Named(new QPushButton(tr("&Save Changes"), this), "cmdSave");
    cmdCancel = Named(new QPushButton(tr("&Cancel Changes"), this), "cmdCancel");
    cmdSave->setDefault(true);
    connect(cmdSave, &QPushButton::clicked, this, &frmOptions::Save);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(SSTab1, 3);
    top->addWidget(CreateDefaultsFrame(), 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(CreateAuthorFrame(), 1);
    layout->addLayout(buttons);
    ResizeInTwips(this, 12900, 8400);

    LoadValues();
    // The dialog opens where a new configuration begins, rather than on its page tabs.
    txtSourceDir->setFocus();
}

QWidget* frmOptions::CreateLocalPathsTab()
{
    auto* tab = new QWidget;
    txtSourceDir = Named(new QLineEdit(tab), "txtSourceDir");
    txtOutputDir = Named(new QLineEdit(tab), "txtOutputDir");
    cmdSetSource = Named(new QPushButton(tr("Browse..."), tab), "cmdSetSource");
    cmdSetOutput = Named(new QPushButton(tr("Browse..."), tab), "cmdSetOutput");
    cmdSetSource->setToolTip(tr("Choose the source file directory"));
    cmdSetOutput->setToolTip(tr("Choose the output directory"));
    // The two buttons read the same; a screen reader tells them apart by these names.
    cmdSetSource->setAccessibleName(cmdSetSource->toolTip());
    cmdSetOutput->setAccessibleName(cmdSetOutput->toolTip());
    connect(
        cmdSetSource, &QPushButton::clicked, this, [this] { BrowseInto(txtSourceDir, tr("Source File Directory")); });
    connect(cmdSetOutput, &QPushButton::clicked, this, [this] { BrowseInto(txtOutputDir, tr("Output Directory")); });

    auto* sourceLabel = new QLabel(tr("Source File Directory"), tab);
    auto* outputLabel = new QLabel(tr("Output Directory"), tab);
    sourceLabel->setBuddy(txtSourceDir);
    outputLabel->setBuddy(txtOutputDir);
    auto* layout = new QGridLayout(tab);
    layout->addWidget(sourceLabel, 0, 0, 1, 2);
    layout->addWidget(txtSourceDir, 1, 0);
    layout->addWidget(cmdSetSource, 1, 1);
    layout->addWidget(outputLabel, 2, 0, 1, 2);
    layout->addWidget(txtOutputDir, 3, 0);
    layout->addWidget(cmdSetOutput, 3, 1);
    layout->addWidget(Note(tr("If the specified directory does not exist, it will be created when you Save.  Keep in "
                              "mind that any folders down the specified tree will be created as well if need be."),
                           tab),
                      4,
                      0,
                      1,
                      2);
    layout->addWidget(
        Note(tr("* Use an empty folder, this folder and all subfolders are deleted on a regular basis."), tab),
        5,
        0,
        1,
        2);
    layout->setRowStretch(6, 1);
    return tab;
}

QWidget* frmOptions::CreateFolderTab(const QList<FolderBox>& boxes)
{
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    for (const FolderBox& entry : boxes) {
        *entry.box = Named(new QLineEdit(tab), entry.name);
        form->addRow(tr(entry.label), *entry.box);
    }
    return tab;
}

QGroupBox* frmOptions::CreateDefaultsFrame()
{
    auto* frame = Named(new QGroupBox(tr("[ Zenpatch Defaults ]"), this), "fraDefaults");
    cmbDefHackType = Named(new QComboBox(frame), "cmbDefHackType");
    cmbEOL = Named(new QComboBox(frame), "cmbEOL");
    cmbEOL->addItems({tr("CR/LF"), tr("LF")});
    cmbEOL->setToolTip(tr("Generally use CR/LF if your host is on a Windows machine and LF if your host is on a Unix "
                          "machine."));
    chkValMods = Named(new QCheckBox(tr("Validate Each Mod"), frame), "chkValMods");
    chkOverSource = Named(new QCheckBox(tr("Overwrite Source Files(Be Careful!)?"), frame), "chkOverSource");
    chkDelOutputDir = Named(new QCheckBox(tr("Delete Output Directory Before Starting?"), frame), "chkDelOutputDir");
    chkUseOutputDir = Named(new QCheckBox(tr("Search Output Directory First?"), frame), "chkUseOutputDir");
    chkFileAssoc = Named(new QCheckBox(tr("Check for file association at startup"), frame), "chkFileAssoc");

    auto* form = new QFormLayout;
    form->addRow(tr("Hack Type"), cmbDefHackType);
    form->addRow(tr("EOL Type"), cmbEOL);
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("Installation Options"), frame));
    for (QCheckBox* box : {chkValMods, chkOverSource, chkDelOutputDir, chkUseOutputDir, chkFileAssoc})
        layout->addWidget(box);
    layout->addStretch();
    return frame;
}

QGroupBox* frmOptions::CreateAuthorFrame()
{
    auto* frame = Named(new QGroupBox(tr("[ Hack Author Information ]"), this), "fraAuthor");
    txtAuthName = Named(new QLineEdit(frame), "txtAuthName");
    txtAuthEmail = Named(new QLineEdit(frame), "txtAuthEmail");
    txtHomePage = Named(new QLineEdit(frame), "txtHomePage");
    txtUpdateURL = Named(new QLineEdit(frame), "txtUpdateURL");
    txtCopyright = Named(new QLineEdit(frame), "txtCopyright");
    auto* form = new QFormLayout;
    form->addRow(tr("Name"), txtAuthName);
    form->addRow(tr("Email Address"), txtAuthEmail);
    form->addRow(tr("Home Page URL"), txtHomePage);
    form->addRow(tr("Update File URL"), txtUpdateURL);
    form->addRow(tr("Copyright"), txtCopyright);

    SSTab2 = Named(new QTabWidget(frame), "SSTab2");
    txtHackComm = Named(new QPlainTextEdit, "txtHackComm");
    txtPreInstallComm = Named(new QPlainTextEdit, "txtPreInstallComm");
    txtPostInstallComm = Named(new QPlainTextEdit, "txtPostInstallComm");
    const std::pair<QPlainTextEdit*, QString> pages[] = {
        {txtHackComm, tr("Hack Comments")},
        {txtPreInstallComm, tr("Pre-Install Message")},
        {txtPostInstallComm, tr("Post Install Message")},
    };
    for (const auto& [box, caption] : pages) {
        SSTab2->addTab(box, caption);
        // The box is the whole tab page: its tab's caption names it.
        box->setAccessibleName(caption);
        box->setTabChangesFocus(true);
    }

    auto* layout = new QHBoxLayout(frame);
    layout->addLayout(form, 4);
    layout->addWidget(SSTab2, 5);
    return frame;
}

void frmOptions::LoadValues()
{
    const std::optional<OptionsValues> loaded = LoadOptions(state_);
    if (!loaded)
        return;
    const OptionsValues& v = *loaded;
    cmbDefHackType->clear();
    cmbDefHackType->addItems({tr("Ultimate Bulletin Board"), tr("vBulletin")});
    const std::pair<QLineEdit*, const QString*> boxes[] = {
        {txtSourceDir, &v.SourceDir},
        {txtOutputDir, &v.OutputDir},
        {txtUBBCGIDir, &v.ubbCGIDir},
        {txtUBBNonCGIDir, &v.ubbNonCGIDir},
        {txtUBBMembersDir, &v.ubbMembersDir},
        {txtUBBVariablesDir, &v.ubbVariablesDir},
        {txtUBBTemplatesDir, &v.ubbTemplatesDir},
        {txtvbRootDir, &v.vbRootDir},
        {txtvbAdminDir, &v.vbAdminDir},
        {txtvbModDir, &v.vbModDir},
        {txtvbImageDir, &v.vbImagesDir},
        {txtvbSmilieDir, &v.vbSmiliesDir},
        {txtvbPollsDir, &v.vbPollsDir},
        {txtvbIconsDir, &v.vbIconsDir},
        {txtvbAttachDir, &v.vbAttachDir},
        {txtAuthName, &v.cfgAuthName},
        {txtAuthEmail, &v.cfgAuthEmail},
        {txtHomePage, &v.cfgAuthHomePage},
        {txtUpdateURL, &v.cfgAuthUpdate},
        {txtCopyright, &v.cfgAuthCopyright},
    };
    for (const auto& [box, text] : boxes)
        box->setText(*text);
    txtHackComm->setPlainText(v.cfgAuthComment);
    txtPreInstallComm->setPlainText(v.cfgPreComment);
    txtPostInstallComm->setPlainText(v.cfgPostComment);
    cmbDefHackType->setCurrentIndex(v.cfgDefHackType);
    cmbEOL->setCurrentIndex(v.cfgEOL);
    chkValMods->setChecked(v.cfgModValidate == 1);
    chkFileAssoc->setChecked(v.cfgFileAssoc == 1);
    chkUseOutputDir->setChecked(v.cfgSearchOutputDir == 1);
    chkDelOutputDir->setChecked(v.cfgDelOutputDir == 1);
    chkOverSource->setChecked(v.cfgOverWriteSource == 1);
}

OptionsValues frmOptions::Values() const
{
    OptionsValues v;
    v.SourceDir = txtSourceDir->text();
    v.OutputDir = txtOutputDir->text();
    v.ubbCGIDir = txtUBBCGIDir->text();
    v.ubbNonCGIDir = txtUBBNonCGIDir->text();
    v.ubbMembersDir = txtUBBMembersDir->text();
    v.ubbVariablesDir = txtUBBVariablesDir->text();
    v.ubbTemplatesDir = txtUBBTemplatesDir->text();
    v.vbRootDir = txtvbRootDir->text();
    v.vbAdminDir = txtvbAdminDir->text();
    v.vbModDir = txtvbModDir->text();
    v.vbImagesDir = txtvbImageDir->text();
    v.vbSmiliesDir = txtvbSmilieDir->text();
    v.vbPollsDir = txtvbPollsDir->text();
    v.vbIconsDir = txtvbIconsDir->text();
    v.vbAttachDir = txtvbAttachDir->text();
    v.cfgDefHackType = cmbDefHackType->currentIndex();
    v.cfgModValidate = chkValMods->isChecked() ? 1 : 0;
    v.cfgFileAssoc = chkFileAssoc->isChecked() ? 1 : 0;
    v.cfgSearchOutputDir = chkUseOutputDir->isChecked() ? 1 : 0;
    v.cfgDelOutputDir = chkDelOutputDir->isChecked() ? 1 : 0;
    v.cfgOverWriteSource = chkOverSource->isChecked() ? 1 : 0;
    v.cfgEOL = cmbEOL->currentIndex();
    v.cfgAuthName = txtAuthName->text();
    v.cfgAuthEmail = txtAuthEmail->text();
    v.cfgAuthHomePage = txtHomePage->text();
    v.cfgAuthUpdate = txtUpdateURL->text();
    v.cfgAuthCopyright = txtCopyright->text();
    v.cfgAuthComment = txtHackComm->toPlainText();
    v.cfgPreComment = txtPreInstallComm->toPlainText();
    v.cfgPostComment = txtPostInstallComm->toPlainText();
    return v;
}

void frmOptions::BrowseInto(QLineEdit* box, const QString& title)
{
    const QString initial = box->text().isEmpty() ? txtSourceDir->text() : box->text();
    const QString folder = state_.dialogs.chooseFolder(title, initial);
    if (!folder.isEmpty())
        box->setText(folder);
}

void frmOptions::Save()
{
    const JobResult<OptionsSave> saved = SaveOptions(state_, Values());
    ShowMessage(state_.dialogs, saved.message);
    if (saved.outcome == OptionsSave::Saved)
        accept();
}

} // namespace zp
