#include "catalogue/frm_hack_info.h"

#include "app/app_state.h"
#include "widgets/fixed_pitch_font.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zp {

namespace {

QLineEdit* MakeBox(QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    return box;
}

// The hack type as the viewer names it; empty for a type the program does not produce.
QString HackTypeText(int hackType)
{
    switch (hackType) {
    case 0:
        return frmHackInfo::tr("Ultimate Bulletin Board (UBB)");
    case 1:
        return frmHackInfo::tr("vBulletin (vB)");
    default:
        return QString();
    }
}

} // namespace

frmHackInfo::frmHackInfo(AppState& state, QWidget* parent)
    : QDialog(parent)
    , txtHackName(MakeBox(this))
    , txtHackType(MakeBox(this))
    , txtAuthName(MakeBox(this))
    , txtAuthEmail(MakeBox(this))
    , txtHackVersion(MakeBox(this))
    , txtHomePage(MakeBox(this))
    , txtUpdateURL(MakeBox(this))
    , txtCopyright(MakeBox(this))
    , txtHackComm(new QPlainTextEdit(this))
    , cmdClose(new QPushButton(tr("&CLOSE"), this))
{
    setWindowTitle(tr("Hack Information"));
    txtHackComm->setReadOnly(true);
    txtHackComm->setFont(CourierNewFont());
    txtHackComm->setMinimumSize(480, 160);

    auto* form = new QFormLayout;
    form->addRow(tr("Hack Name"), txtHackName);
    form->addRow(tr("Hack Type"), txtHackType);
    form->addRow(tr("Author's Name"), txtAuthName);
    form->addRow(tr("Author's Email Address"), txtAuthEmail);
    form->addRow(tr("Hack Version"), txtHackVersion);
    form->addRow(tr("Home Page URL"), txtHomePage);
    form->addRow(tr("Update File URL"), txtUpdateURL);
    form->addRow(tr("Copyright"), txtCopyright);
    form->addRow(tr("Hack Comments"), txtHackComm);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    Load(state);
}

void frmHackInfo::Load(AppState& state)
{
    const Recordset& hack = *state.HackInfoRecordset;
    txtHackName->setText(hack.Text("Name"));
    txtHackType->setText(hack.IsNull("HackType") ? QString() : HackTypeText(hack.Int("HackType")));
    txtAuthName->setText(hack.Text("AuthName"));
    txtAuthEmail->setText(hack.Text("AuthEmail"));
    txtHackVersion->setText(hack.Text("Version"));
    txtHomePage->setText(hack.Text("HomePage"));
    txtUpdateURL->setText(hack.Text("UpdateURL"));
    txtCopyright->setText(hack.Text("Copyright"));
    txtHackComm->setPlainText(hack.Text("Comments"));
}

} // namespace zp
