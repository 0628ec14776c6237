#include "viewer/frm_text_file.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "viewer/text_file_reader.h"
#include "widgets/fixed_pitch_font.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace zp {

namespace {

constexpr int WidthTwips = 9600;
constexpr int HeightTwips = 7200;
constexpr int MarginTwips = 60;
constexpr int TextWidthLessTwips = 250;
constexpr int TextHeightLessTwips = 2000;
constexpr int CloseAboveBottomTwips = 1000;
constexpr int GapTwips = 60;
// The narrowest search box, and the least height of text the window keeps.
constexpr int MinBoxTwips = 900;
constexpr int MinTextTwips = 1000;
// The share of each turn of the event loop that filling the box may take.
constexpr int FillTurnMilliseconds = 40;

QPushButton* MakeButton(const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmTextFile::frmTextFile(AppState& state, QWidget* parent)
    : QWidget(parent)
    , rtbTextData(new QPlainTextEdit(this))
    , txtFindText(new QLineEdit(this))
    , txtReplaceText(new QLineEdit(this))
    , chkCase(new QCheckBox(tr("Case sensitive"), this))
    , chkWord(new QCheckBox(tr("Whole word only"), this))
    , FindButton(MakeButton(tr("&Find"), this))
    , FindNextButton(MakeButton(tr("Find &Next"), this))
    , ReplaceButton(MakeButton(tr("&Replace"), this))
    , ReplaceAllButton(MakeButton(tr("Replace &All"), this))
    , cmdOK(MakeButton(tr("&CLOSE"), this))
    , state_(state)
    , lblFind(new QLabel(tr("Find what"), this))
    , lblReplace(new QLabel(tr("Replace with"), this))
    , loader_(new QTimer(this))
    , fillProgress_(new QProgressBar(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    rtbTextData->setFont(CourierNewFont());
    rtbTextData->setLineWrapMode(QPlainTextEdit::NoWrap);
    rtbTextData->setAccessibleName(tr("File Text"));
    fillProgress_->setRange(0, 100);
    fillProgress_->setAccessibleName(tr("Filling the text box"));
    fillProgress_->hide();
    lblFind->setBuddy(txtFindText);
    lblReplace->setBuddy(txtReplaceText);
    SetReplaceEnabled(false);

    loader_->setInterval(0);
    connect(loader_, &QTimer::timeout, this, &frmTextFile::AppendPieces);
    connect(rtbTextData->document(), &QTextDocument::contentsChanged, this, [this] { boxChanged_ = true; });
    connect(FindButton, &QPushButton::clicked, this, &frmTextFile::Find);
    connect(txtFindText, &QLineEdit::returnPressed, this, &frmTextFile::Find);
    connect(FindNextButton, &QPushButton::clicked, this, &frmTextFile::FindNext);
    connect(ReplaceButton, &QPushButton::clicked, this, &frmTextFile::Replace);
    // Enter in the replacement box replaces only once a search has found something to replace.
    connect(txtReplaceText, &QLineEdit::returnPressed, this, [this] {
        if (ReplaceButton->isEnabled())
            Replace();
    });
    connect(ReplaceAllButton, &QPushButton::clicked, this, &frmTextFile::ReplaceAll);
    connect(cmdOK, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    CloseOnEscape(this);
}

bool frmTextFile::Load(const QString& dialogFileName)
{
    if (state_.CurrentModFilePath.isEmpty())
        state_.CurrentModFilePath = dialogFileName;
    const QString path = state_.CurrentModFilePath;
    state_.CurrentModFilePath.clear();
    if (!FileExists(path)) {
        state_.dialogs.messageBox(
            tr("Unable to locate file."), tr("File not found."), MsgButtons::OK, MsgIcon::Critical);
        return false;
    }

    if (const auto error = reader_.Open(path)) {
        state_.dialogs.messageBox(
            tr("Unable to read %1: %2").arg(path, *error), tr("File not found."), MsgButtons::OK, MsgIcon::Critical);
        return false;
    }
    // The viewer never saves: its title says so, so that nobody types into it in vain.
    setWindowTitle(tr("Zenpatch - %1 (read-only preview of find and replace)").arg(path));
    StartFilling();
    rtbTextData->moveCursor(QTextCursor::Start);
    return true;
}

bool frmTextFile::IsLoading() const
{
    return !reader_.AtEnd();
}

void frmTextFile::FinishLoading()
{
    if (reader_.AtEnd())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    AppendUpTo(std::numeric_limits<qsizetype>::max());
    QGuiApplication::restoreOverrideCursor();
}

void frmTextFile::StartFilling()
{
    // The first piece goes in at once; the rest follows in the background, a few pieces per turn
    // of the event loop, so a large text shows at once and the window stays responsive while it
    // fills. The progress bar and a busy pointer over the box show that it is still filling.
    rtbTextData->document()->setUndoRedoEnabled(false);
    AppendUpTo(0);
    if (reader_.AtEnd())
        return;
    fillProgress_->setValue(reader_.PercentDone());
    fillProgress_->show();
    rtbTextData->viewport()->setCursor(Qt::BusyCursor);
    loader_->start();
}

void frmTextFile::AppendPieces()
{
    QElapsedTimer turn;
    turn.start();
    AppendWhile([&turn](qsizetype) { return turn.elapsed() < FillTurnMilliseconds; });
    fillProgress_->setValue(reader_.PercentDone());
    if (reader_.AtEnd())
        FinishFilling();
}

void frmTextFile::AppendUpTo(qsizetype position)
{
    AppendWhile([position](qsizetype end) { return end <= position; });
    if (reader_.AtEnd())
        FinishFilling();
}

void frmTextFile::AppendWhile(const std::function<bool(qsizetype end)>& more)
{
    QTextCursor end(rtbTextData->document());
    end.beginEditBlock();
    do {
        end.movePosition(QTextCursor::End);
        end.insertText(reader_.NextPiece());
    } while (!reader_.AtEnd() && more(end.position()));
    end.endEditBlock();
}

void frmTextFile::FinishFilling()
{
    loader_->stop();
    fillProgress_->hide();
    rtbTextData->viewport()->unsetCursor();
    rtbTextData->document()->setUndoRedoEnabled(true);
}

void frmTextFile::Find()
{
    SyncFinder();
    ShowOutcome(finder_.Find(txtFindText->text(), Options()));
}

void frmTextFile::FindNext()
{
    SyncFinder();
    ShowOutcome(finder_.FindNext(txtFindText->text(), Options()));
}

void frmTextFile::Replace()
{
    SyncFinder();
    QTextCursor selection = rtbTextData->textCursor();
    const auto outcome = finder_.Replace(txtFindText->text(), txtReplaceText->text(), Options());
    selection.insertText(txtReplaceText->text());
    boxChanged_ = false;
    ShowOutcome(outcome);
}

void frmTextFile::ReplaceAll()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    SyncFinder();
    const qsizetype first = finder_.SelStart();
    const auto outcome = finder_.ReplaceAll(txtFindText->text(), txtReplaceText->text(), Options());
    // The new text fills the box as a loaded file does: at once up to the first replacement,
    // where the caret goes, the rest in the background.
    rtbTextData->clear();
    reader_.Hold(finder_.Text());
    StartFilling();
    AppendUpTo(first);
    QTextCursor caret(rtbTextData->document());
    caret.setPosition(qMin(first, qsizetype(rtbTextData->document()->characterCount() - 1)));
    rtbTextData->setTextCursor(caret);
    QGuiApplication::restoreOverrideCursor();
    ShowOutcome(outcome);
}

SearchOptions frmTextFile::Options() const
{
    return {.matchCase = chkCase->isChecked(), .wholeWord = chkWord->isChecked()};
}

void frmTextFile::SyncFinder()
{
    FinishLoading();
    if (boxChanged_) {
        // The raw text keeps every character where it stands; only the block separators, one per
        // line break, are written as '\n'.
        QString text = rtbTextData->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, u'\n');
        finder_.SetText(std::move(text));
        boxChanged_ = false;
    }
    const QTextCursor cursor = rtbTextData->textCursor();
    finder_.Select(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
}

void frmTextFile::ShowOutcome(FindReplace::Outcome outcome)
{
    SetReplaceEnabled(finder_.ReplaceEnabled());
    switch (outcome) {
    case FindReplace::Outcome::Found: {
        QTextCursor match(rtbTextData->document());
        match.setPosition(finder_.SelStart());
        match.setPosition(finder_.SelStart() + finder_.SelLength(), QTextCursor::KeepAnchor);
        rtbTextData->setTextCursor(match);
        rtbTextData->setFocus();
        break;
    }
    case FindReplace::Outcome::NotFound:
        state_.dialogs.messageBox(tr("String not found"), tr("Search Help"), MsgButtons::OK, MsgIcon::None);
        break;
    case FindReplace::Outcome::DoneReplacing:
        state_.dialogs.messageBox(tr("Done replacing"), tr("Search Help"), MsgButtons::OK, MsgIcon::None);
        break;
    }
}

void frmTextFile::SetReplaceEnabled(bool enabled)
{
    ReplaceButton->setEnabled(enabled);
    ReplaceAllButton->setEnabled(enabled);
}

bool frmTextFile::event(QEvent* event)
{
    // Whenever its sub-window in the main window becomes active the search box takes the focus.
    if (event->type() == QEvent::ParentChange) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
            connect(frame, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates was, Qt::WindowStates is) {
                if (!(was & Qt::WindowActive) && (is & Qt::WindowActive))
                    txtFindText->setFocus();
            });
        }
    }
    return QWidget::event(event);
}

void frmTextFile::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

void frmTextFile::LayOut()
{
    if (WindowFrame(this)->isMinimized())
        return;
    // The sizes follow the whole window, title bar and frame included.
    const QSize outer = OuterSize(this);
    const auto px = [this](int twips) { return TwipsToPixels(twips, this); };
    const int margin = px(MarginTwips);
    const int gap = px(GapTwips);

    const int textBottom = margin + qMax(0, outer.height() - px(TextHeightLessTwips));
    rtbTextData->setGeometry(margin, margin, qMax(0, outer.width() - px(TextWidthLessTwips)), textBottom - margin);
    // The progress of a background filling sits in the lower right corner of the box.
    const QRect box = rtbTextData->geometry();
    const QSize bar(qMin(px(2400), box.width() / 2), fillProgress_->sizeHint().height());
    fillProgress_->setGeometry(
        box.right() - px(300) - bar.width(), box.bottom() - px(300) - bar.height(), bar.width(), bar.height());
    fillProgress_->raise();

    // The Close button sits 1000 twips above the window's bottom edge, centred; the search buttons
    // flank it, and the search boxes take the row between it and the text.
    const int rowHeight = txtFindText->sizeHint().height();
    const int buttonHeight = cmdOK->sizeHint().height();
    const int closeTop = outer.height() - px(CloseAboveBottomTwips);
    const int buttonWidth = ButtonWidth();
    cmdOK->setGeometry((width() - buttonWidth) / 2, closeTop, buttonWidth, buttonHeight);
    FindButton->setGeometry(margin, closeTop, buttonWidth, buttonHeight);
    FindNextButton->setGeometry(margin + buttonWidth + gap, closeTop, buttonWidth, buttonHeight);
    ReplaceAllButton->setGeometry(width() - margin - buttonWidth, closeTop, buttonWidth, buttonHeight);
    ReplaceButton->setGeometry(width() - margin - 2 * buttonWidth - gap, closeTop, buttonWidth, buttonHeight);

    const int rowTop = textBottom + qMax(0, (closeTop - textBottom - rowHeight) / 2);
    const int boxWidth = qMax(px(MinBoxTwips), (width() - SearchRowFixedWidth()) / 2);
    int x = margin;
    for (QWidget* w : {static_cast<QWidget*>(lblFind),
                       static_cast<QWidget*>(txtFindText),
                       static_cast<QWidget*>(lblReplace),
                       static_cast<QWidget*>(txtReplaceText),
                       static_cast<QWidget*>(chkCase),
                       static_cast<QWidget*>(chkWord)}) {
        const bool isBox = w == txtFindText || w == txtReplaceText;
        const int wWidth = isBox ? boxWidth : w->sizeHint().width();
        w->setGeometry(x, rowTop, wWidth, rowHeight);
        x += wWidth + gap + (isBox ? gap : 0);
    }
}

int frmTextFile::ButtonWidth() const
{
    return qMax(cmdOK->sizeHint().width(), ReplaceAllButton->sizeHint().width());
}

int frmTextFile::SearchRowFixedWidth() const
{
    const int gap = TwipsToPixels(GapTwips, this);
    return lblFind->sizeHint().width() + lblReplace->sizeHint().width() + chkCase->sizeHint().width()
        + chkWord->sizeHint().width() + 7 * gap + 2 * TwipsToPixels(MarginTwips, this);
}

QSize frmTextFile::minimumSizeHint() const
{
    // Room for the five buttons and the search row side by side, and a few lines of text above them.
    const auto px = [this](int twips) { return TwipsToPixels(twips, this); };
    const int buttons = 5 * ButtonWidth() + 6 * px(GapTwips) + 2 * px(MarginTwips);
    return {qMax(buttons, SearchRowFixedWidth() + 2 * px(MinBoxTwips)), px(TextHeightLessTwips + MinTextTwips)};
}

frmTextFile* OpenTextViewer(MainFrame& main, const QString& dialogFileName)
{
    auto* viewer = new frmTextFile(main.State());
    if (!viewer->Load(dialogFileName)) {
        delete viewer;
        return nullptr;
    }
    QMdiSubWindow* frame = main.ShowChild(viewer);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    CenterInParent(viewer);
    // A new viewer never lies exactly on another window: it steps down and right by a title bar.
    const int step = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
    const QList<QMdiSubWindow*> windows = main.mdiArea()->subWindowList();
    while (std::any_of(windows.begin(), windows.end(), [frame](const QMdiSubWindow* other) {
        return other != frame && other->isVisible() && other->pos() == frame->pos();
    }))
        frame->move(frame->pos() + QPoint(step, step));
    return viewer;
}

} // namespace zp
