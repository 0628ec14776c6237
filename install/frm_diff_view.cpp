#include "install/frm_diff_view.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/whole_file.h"
#include "widgets/fixed_pitch_font.h"
#include "widgets/flex_grid.h"
#include "widgets/window_helpers.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSyntaxHighlighter>
#include <QVBoxLayout>

namespace zp {

namespace {

// Colours the lines of a unified diff by their first characters.
class DiffHighlighter : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& line) override
    {
        QTextCharFormat format;
        if (line.startsWith(QLatin1String("--- ")) || line.startsWith(QLatin1String("+++ "))
            || line.startsWith(QLatin1String("Binary files "))) {
            format.setFontWeight(QFont::Bold);
        } else if (line.startsWith(u'+')) {
            format.setForeground(QColor(0x00, 0x80, 0x00));
        } else if (line.startsWith(u'-')) {
            format.setForeground(QColor(0xc0, 0x00, 0x00));
        } else {
            return;
        }
        setFormat(0, int(line.size()), format);
    }
};

constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int FailedRowsShown = 4;

// The mods left out of the preview, one row each.
FlexGrid* NewFailedModsGrid(const std::vector<ModResult>& failed, QWidget* parent)
{
    auto* grid = new FlexGrid({{frmDiffView::tr("Filename"), 1710, Left},
                               {frmDiffView::tr("Action"), 1185, Left},
                               {frmDiffView::tr("Order"), 600, Qt::AlignRight | Qt::AlignVCenter},
                               {frmDiffView::tr("Comment"), 2295, Left},
                               {frmDiffView::tr("Why"), 2400, Left}},
                              parent);
    for (const ModResult& mod : failed) {
        grid->AddItem({mod.mod.FileName,
                       ActionName(mod.mod.ActionType),
                       QString::number(mod.ModOrder),
                       mod.mod.Comment,
                       mod.failure});
    }
    grid->FitColumns();
    const int rows = qMin(int(failed.size()), FailedRowsShown);
    grid->setFixedHeight(grid->horizontalHeader()->sizeHint().height()
                         + rows * grid->verticalHeader()->defaultSectionSize() + 2 * grid->frameWidth());
    grid->setAccessibleName(frmDiffView::tr("Mods left out"));
    return grid;
}

} // namespace

frmDiffView::frmDiffView(AppState& state,
                         const QString& hackName,
                         QByteArray diff,
                         const std::vector<ModResult>& failedMods,
                         QWidget* parent)
    : QWidget(parent)
    , lblFailed(new QLabel(this))
    , fgFailed(NewFailedModsGrid(failedMods, this))
    , rtbDiff(new QPlainTextEdit(this))
    , cmdSaveAs(new QPushButton(tr("Save &As..."), this))
    , cmdClose(new QPushButton(tr("&Close"), this))
    , state_(state)
    , hackName_(hackName)
    , diff_(std::move(diff))
{
    setWindowTitle(tr("Preview of %1").arg(hackName));
    const int failed = int(failedMods.size());
    lblFailed->setText(tr("%n mod(s) could not be applied and are left out of the preview:", nullptr, failed));
    lblFailed->setBuddy(fgFailed);
    lblFailed->setVisible(failed > 0);
    fgFailed->setVisible(failed > 0);
    rtbDiff->setReadOnly(true);
    rtbDiff->setTabChangesFocus(true);
    rtbDiff->setLineWrapMode(QPlainTextEdit::NoWrap);
    rtbDiff->setFont(CourierNewFont());
    rtbDiff->setAccessibleName(tr("Changes"));
    new DiffHighlighter(rtbDiff->document());
    // The line ends of CR LF files are shown as line ends; the file keeps them.
    QByteArray shown = diff_;
    shown.replace("\r\n", "\n");
    rtbDiff->setPlainText(shown.isEmpty() ? tr("The installation would change no file.") : QString::fromUtf8(shown));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {cmdSaveAs, cmdClose}) {
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFailed);
    layout->addWidget(fgFailed);
    layout->addWidget(rtbDiff, 1);
    layout->addLayout(buttons);
    setMinimumSize(420, 240);

    connect(cmdSaveAs, &QPushButton::clicked, this, &frmDiffView::SaveAs);
    connect(cmdClose, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    CloseOnEscape(this);
}

void frmDiffView::SaveAs()
{
    FileDialogOptions options;
    options.title = tr("Save As");
    options.filter = tr("Patch Files (*.patch *.diff);;All Files (*)");
    options.defaultExt = QStringLiteral("patch");
    options.fileName = hackName_ + QStringLiteral(".patch");
    const QString path = state_.dialogs.saveFile(options);
    if (path.isEmpty())
        return;
    const QFileInfo file(path);
    try {
        WriteWholeFile(
            state_.ProgramFolder, file.absolutePath(), file.fileName(), [this](WholeFile& out) { out.Write(diff_); });
    } catch (const std::exception& e) {
        state_.dialogs.messageBox(tr("Unable to save the patch file: %1").arg(QString::fromStdString(e.what())),
                                  windowTitle(),
                                  MsgButtons::OK,
                                  MsgIcon::Exclamation);
    }
}

} // namespace zp
