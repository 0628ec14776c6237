#include "shell/frm_about.h"

#include "app/common.h"
#include "shell/file_menu.h"
#include "widgets/window_helpers.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zp {

namespace {

QLabel* LinkLabel(QWidget* parent, const char* name, const QString& html)
{
    auto* label = new QLabel(html, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    QObject::connect(
        label, &QLabel::linkActivated, label, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* parent, QTimer* splashTimer)
    : QDialog(parent)
    , splashTimer_(splashTimer)
{
    setObjectName("frmAbout");
    setWindowTitle(tr("About Zenpatch"));

    picLogo = new QLabel(this);
    picLogo->setObjectName("picLogo");
    picLogo->setPixmap(
        QPixmap(":/zenpatch/icons/zenpatch.png")
            .scaled(
                TwipsToPixels(1440, this), TwipsToPixels(1440, this), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picLogo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTitle = new QLabel(tr(ProgramTitle), this);
    lblTitle->setObjectName("lblTitle");
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(VersionText(), this);
    lblVersion->setObjectName("lblVersion");

    lblCredits = new QLabel(tr("A hack manager for Ultimate Bulletin Board and vBulletin administrators: keep your "
                               "hacks in one catalogue, install and analyse them against your board's files, and "
                               "exchange them as hack files.\n\n"
                               "Built with Qt, SQLCipher and zlib."),
                            this);
    lblCredits->setObjectName("lblCredits");
    lblCredits->setWordWrap(true);

    lblZPKHome = new QLabel("<a href=\"manual\">" + tr("Zenpatch manual") + "</a>", this);
    lblZPKHome->setObjectName("lblZPKHome");
    lblZPKHome->setTextFormat(Qt::RichText);
    lblZPKHome->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(lblZPKHome, &QLabel::linkActivated, this, &frmAbout::ManualRequested);
    lblLinks = LinkLabel(
        this,
        "lblLinks",
        "<a href=\"https://www.qt.io/\">Qt</a> &nbsp; <a href=\"https://www.zetetic.net/sqlcipher/\">SQLCipher</a>"
        " &nbsp; <a href=\"https://zlib.net/\">zlib</a>");

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(TwipsToPixels(120, this));
    text->addWidget(lblCredits);
    auto* links = new QHBoxLayout;
    links->addWidget(lblZPKHome);
    links->addWidget(lblLinks);
    links->addStretch();
    text->addLayout(links);
    text->addStretch();

    auto* body = new QHBoxLayout;
    body->addWidget(picLogo);
    body->addSpacing(TwipsToPixels(240, this));
    body->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    ResizeInTwips(this, 6600, 3600);
}

QString frmAbout::VersionText()
{
    return tr("Version %1.%2.%3").arg(ZENPATCH_VERSION_MAJOR).arg(ZENPATCH_VERSION_MINOR).arg(ZENPATCH_VERSION_PATCH);
}

void frmAbout::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    accept();
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
    // The splash opens before the main window: it asks for the keyboard itself, with OK focused, so
    // that Return and Escape reach it at once.
    cmdOK->setFocus(Qt::ActiveWindowFocusReason);
}

void frmAbout::done(int result)
{
    if (splashTimer_)
        splashTimer_->stop();
    QDialog::done(result);
}

} // namespace zp
