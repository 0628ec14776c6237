#include "catalogue/frm_hack_comm.h"

#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

namespace zp {

namespace {

constexpr int WidthTwips = 9000;
constexpr int HeightTwips = 6600;

// Captions of display types 1 to 5, translated where they are shown.
const std::array<const char*, 5> Captions = {
    QT_TRANSLATE_NOOP("zp::frmHackComm", "Hack Comments"),
    QT_TRANSLATE_NOOP("zp::frmHackComm", "PreInstall Message"),
    QT_TRANSLATE_NOOP("zp::frmHackComm", "Post Install Message"),
    QT_TRANSLATE_NOOP("zp::frmHackComm", "Old Data Information"),
    QT_TRANSLATE_NOOP("zp::frmHackComm", "New Data Information"),
};

bool IsKnownType(qint16 type)
{
    return type >= 1 && type <= static_cast<qint16>(Captions.size());
}

} // namespace

frmHackComm::frmHackComm(LongTextTarget& editor, QWidget* parent)
    : QWidget(parent)
    , txtHackComm(new QPlainTextEdit(this))
    , cmdSave(new QPushButton(tr("&Save Changes"), this))
    , cmdCancel(new QPushButton(tr("&Cancel Changes"), this))
    , editor_(editor)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Hack Comments"));
    // The box has no label: the window's caption names it.
    txtHackComm->setAccessibleName(windowTitle());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtHackComm);
    layout->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, &frmHackComm::Save);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    // Escape closes it as Cancel Changes does.
    CloseOnEscape(this);
}

void frmHackComm::GetType(qint16 DispType, const QString& NewText)
{
    if (IsKnownType(DispType)) {
        setWindowTitle(tr(Captions[DispType - 1]));
        txtHackComm->setAccessibleName(windowTitle());
    }
    txtHackComm->setPlainText(NewText);
    given_ = txtHackComm->toPlainText();
    dispType_ = DispType;
}

bool frmHackComm::Changed() const
{
    return IsKnownType(dispType_) && txtHackComm->toPlainText() != given_;
}

void frmHackComm::Apply()
{
    if (IsKnownType(dispType_))
        editor_.SetLongText(dispType_, txtHackComm->toPlainText());
    given_ = txtHackComm->toPlainText();
}

void frmHackComm::Save()
{
    Apply();
    CloseWindow(this);
}

frmHackComm* OpenLongTextEditor(MainFrame& main, LongTextTarget& editor, qint16 DispType, const QString& text)
{
    auto* window = new frmHackComm(editor);
    window->GetType(DispType, text);
    QMdiSubWindow* frame = main.ShowChild(window);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    CenterInParent(window);
    return window;
}

} // namespace zp
