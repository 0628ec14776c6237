#include "interchange/file_encoder_dialogs.h"

#include "encoder/file_encoder.h"
#include "encoder/xcoder32.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zp {

CFileEncoderPropPage::CFileEncoderPropPage(FileEncoder& fe, QWidget* parent)
    : QDialog(parent)
    , cmbEncoding(new QComboBox(this))
    , fe_(fe)
{
    setWindowTitle(tr("%1 Properties").arg(tr(kFileEncoderTypeName)));
    for (const char* item : kPropPageEncodingItems)
        cmbEncoding->addItem(tr(item));
    cmbEncoding->setCurrentIndex(fe.GetEncoding());

    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    auto* label = new QLabel(tr("&Encoding:"), page);
    label->setBuddy(cmbEncoding);
    form->addRow(label, cmbEncoding);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(page, tr(kPropPageCaption));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdCancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFileEncoderPropPage::Apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    setMinimumWidth(sizeHint().width() + cmbEncoding->sizeHint().width());
}

void CFileEncoderPropPage::Apply()
{
    fe_.Invoke(FileEncoder::dispidEncoding,
               {Variant(static_cast<int16_t>(cmbEncoding->currentIndex()))},
               FileEncoder::InvokeKind::Put);
    accept();
}

CFileEncoderAboutBox::CFileEncoderAboutBox(QWidget* parent)
    : QDialog(parent)
    , lblName(new QLabel(tr(kFileEncoderTypeName), this))
    , lblVersion(new QLabel(VersionText(), this))
    , cmdOK(new QPushButton(tr("OK"), this))
{
    setWindowTitle(tr(kAboutBoxCaption));
    QFont bold = lblName->font();
    bold.setBold(true);
    lblName->setFont(bold);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblName);
    layout->addWidget(lblVersion);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 3 / 2);
}

QString CFileEncoderAboutBox::VersionText()
{
    xcoder32_version_info info {};
    info.cbSize = sizeof info;
    if (xcoder32_get_version(&info) != XCODER32_S_OK)
        return QString();
    // The minor number counts hundredths: 3.50 reads "3.5".
    return tr("Version %1 Build %2")
        .arg(QString::number(info.dwMajorVersion + info.dwMinorVersion / 100.0))
        .arg(info.dwBuildNumber);
}

void ShowFileEncoderAboutBox(QWidget* parent)
{
    CFileEncoderAboutBox box(parent);
    box.exec();
}

void SetFileEncoderAboutBox(FileEncoder& fe, QWidget* parent)
{
    fe.SetAboutBoxHandler([parent] { ShowFileEncoderAboutBox(parent); });
}

} // namespace zp
