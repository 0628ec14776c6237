#include "boardcheck/frm_port_merge.h"

#include "app/app_state.h"
#include "app/job_lock.h"
#include "core/board_text.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTextBlock>
#include <QVBoxLayout>

namespace zp {

namespace {

constexpr int WidthTwips = 12000;
constexpr int HeightTwips = 8400;
constexpr int MinimumWidthTwips = 7800;
constexpr int MinimumHeightTwips = 6600;

// The background of the lines where the hack and the new release conflict.
const QColor ConflictBack(255, 199, 206);

// "line 4", "lines 4-6", or where a text has no lines of a conflict, the line it would stand before.
QString LinesText(int first, int end)
{
    if (end == first)
        return frmPortMerge::tr("no lines (before line %1)").arg(first + 1);
    if (end == first + 1)
        return frmPortMerge::tr("line %1").arg(first + 1);
    return frmPortMerge::tr("lines %1-%2").arg(first + 1).arg(end);
}

// The text with one paragraph per line of the work buffer.
void ShowBoardText(QPlainTextEdit* box, const QString& text)
{
    box->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

// Colours lines [first, end) of each range.
void MarkLines(QPlainTextEdit* box, const std::vector<std::pair<int, int>>& ranges)
{
    QList<QTextEdit::ExtraSelection> marks;
    for (const auto& [first, end] : ranges) {
        for (int line = first; line < end; ++line) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(box->document()->findBlockByNumber(line));
            mark.format.setBackground(ConflictBack);
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks << mark;
        }
    }
    box->setExtraSelections(marks);
}

// Puts the box's cursor on the line, in the middle of the view.
void ShowLine(QPlainTextEdit* box, int line)
{
    const QTextBlock block = box->document()->findBlockByNumber(line);
    box->setTextCursor(QTextCursor(block.isValid() ? block : box->document()->lastBlock()));
    box->centerCursor();
}

} // namespace

frmPortMerge::frmPortMerge(MainFrame& main, PortRequest request, PortedHack hack, int modIndex, QWidget* parent)
    : QWidget(parent)
    , lblMod(new QLabel(this))
    , txtBase(new QPlainTextEdit(this))
    , txtOurs(new QPlainTextEdit(this))
    , txtTheirs(new QPlainTextEdit(this))
    , lstConflicts(new QListWidget(this))
    , txtOldData(new QPlainTextEdit(this))
    , txtNewData(new QPlainTextEdit(this))
    , spnInstance(new QSpinBox(this))
    , cmdTryAgain(new QPushButton(tr("&Try Again"), this))
    , cmdClose(new QPushButton(tr("&Close"), this))
    , lblResult(new QLabel(this))
    , state_(main.State())
    , request_(std::move(request))
    , hack_(std::move(hack))
    , modIndex_(modIndex)
{
    const PortedMod& mod = hack_.Mods.at(size_t(modIndex_));
    setWindowTitle(tr("Finish Mod: %1").arg(hack_.Hack.Name));
    lblMod->setText(tr("%1, mod %2 of %3 (%4): %5")
                        .arg(hack_.Hack.Name, QString::number(mod.ModOrder), mod.File, mod.Action, mod.Reason));
    lblMod->setWordWrap(true);
    lblResult->setWordWrap(true);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QPlainTextEdit* box : {txtBase, txtOurs, txtTheirs}) {
        box->setReadOnly(true);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setFont(fixed);
    }
    for (QPlainTextEdit* box : {txtBase, txtOurs, txtTheirs, txtOldData, txtNewData})
        box->setTabChangesFocus(true);
    for (QPlainTextEdit* box : {txtOldData, txtNewData}) {
        box->setFont(fixed);
        box->setFixedHeight(fontMetrics().height() * 3 + 2 * box->frameWidth() + 8);
    }
    txtOldData->setPlainText(mod.Mod.OldData);
    txtNewData->setPlainText(mod.Mod.NewData);
    spnInstance->setRange(0, 9999);
    spnInstance->setSpecialValueText(tr("All"));
    spnInstance->setValue(mod.Mod.ModInst);
    lstConflicts->setFixedHeight(fontMetrics().height() * 3 + 2 * lstConflicts->frameWidth() + 8);

    auto* texts = new QGridLayout;
    const std::pair<QString, QPlainTextEdit*> columns[] = {{tr("&Release it was written for:"), txtBase},
                                                           {tr("What the hac&k made of it:"), txtOurs},
                                                           {tr("&New release:"), txtTheirs}};
    for (int column = 0; column < 3; ++column) {
        texts->addWidget(BuddyLabel(columns[column].first, columns[column].second, this), 0, column);
        texts->addWidget(columns[column].second, 1, column);
    }
    auto* edit = new QGridLayout;
    edit->addWidget(BuddyLabel(tr("Ol&d data:"), txtOldData, this), 0, 0);
    edit->addWidget(BuddyLabel(tr("N&ew data:"), txtNewData, this), 0, 1);
    edit->addWidget(BuddyLabel(tr("&Instance:"), spnInstance, this), 0, 2);
    edit->addWidget(txtOldData, 1, 0);
    edit->addWidget(txtNewData, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(spnInstance);
    buttons->addStretch(1);
    buttons->addWidget(cmdTryAgain);
    buttons->addWidget(cmdClose);
    edit->addLayout(buttons, 1, 2);
    edit->setColumnStretch(0, 1);
    edit->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMod);
    layout->addLayout(texts, 1);
    layout->addWidget(BuddyLabel(tr("Conflicting &lines (F8 next, Shift+F8 previous):"), lstConflicts, this));
    layout->addWidget(lstConflicts);
    layout->addLayout(edit);
    layout->addWidget(lblResult);
    setMinimumSize(minimumSizeHint().expandedTo(
        QSize(TwipsToPixels(MinimumWidthTwips, this), TwipsToPixels(MinimumHeightTwips, this))));

    connect(lstConflicts, &QListWidget::currentRowChanged, this, &frmPortMerge::GoToConflict);
    const auto step = [this](int by) {
        if (const int count = lstConflicts->count(); count > 0)
            lstConflicts->setCurrentRow((lstConflicts->currentRow() + by + count) % count);
    };
    auto* next = new QShortcut(QKeySequence(Qt::Key_F8), this);
    next->setContext(Qt::WidgetWithChildrenShortcut);
    connect(next, &QShortcut::activated, this, [step] { step(1); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8), this);
    previous->setContext(Qt::WidgetWithChildrenShortcut);
    connect(previous, &QShortcut::activated, this, [step] { step(-1); });
    connect(&job_, &BackgroundJob::Finished, this, &frmPortMerge::EndWork);
    connect(cmdTryAgain, &QPushButton::clicked, this, &frmPortMerge::TryAgain);
    connect(cmdClose, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    CloseOnEscape(this);
}

void frmPortMerge::Load()
{
    ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
    CenterInParent(this);
    txtOldData->setFocus();
    work_ = std::make_shared<Work>();
    work_->reading = true;
    cmdTryAgain->setEnabled(false);
    lblResult->setText(tr("Reading the three texts..."));
    job_.StartOnOwnState(
        state_,
        [work = work_, request = request_, hack = hack_.Hack.HackNum, file = hack_.Mods[size_t(modIndex_)].File](
            AppState& own) { work->texts = PortMergeTexts(own, request, hack, file); });
}

ModRecord frmPortMerge::WrittenMod() const
{
    ModRecord mod = hack_.Mods[size_t(modIndex_)].Mod;
    mod.OldData = ToCrLf(txtOldData->toPlainText());
    mod.NewData = ToCrLf(txtNewData->toPlainText());
    mod.ModInst = spnInstance->value();
    return mod;
}

void frmPortMerge::TryAgain()
{
    if (job_.IsRunning())
        return;
    PortRequest request = request_;
    request.byPerson[{hack_.Hack.HackNum, modIndex_}] = WrittenMod();
    work_ = std::make_shared<Work>();
    cmdTryAgain->setEnabled(false);
    lblResult->setText(tr("Porting %1 again...").arg(hack_.Hack.Name));
    // The proof stores the hack for a moment: under the job lock, on a state of its own.
    job_.StartOnOwnState(state_, [work = work_, request, hack = hack_.Hack.HackNum](AppState& own) {
        RunJob(own, DatabaseUse::Writes, [&] { work->ported = PortAgain(own, request, hack); });
    });
}

void frmPortMerge::EndWork(const QString& error)
{
    cmdTryAgain->setEnabled(true);
    if (!error.isEmpty())
        return lblResult->setText(work_->reading ? tr("The three texts could not be read: %1").arg(error)
                                                 : tr("The port stopped: %1").arg(error));
    lblResult->clear();
    if (work_->texts)
        ShowTexts(*work_->texts);
    if (work_->ported)
        ShowPorted(*work_->ported);
}

void frmPortMerge::ShowTexts(const MergeTexts& texts)
{
    ShowBoardText(txtBase, texts.base);
    ShowBoardText(txtOurs, texts.ours);
    ShowBoardText(txtTheirs, texts.theirs);
    conflicts_ = texts.conflicts;
    std::vector<std::pair<int, int>> base, ours, theirs;
    lstConflicts->clear();
    for (const MergeConflict& conflict : conflicts_) {
        base.push_back({conflict.base0, conflict.base1});
        ours.push_back({conflict.ours0, conflict.ours1});
        theirs.push_back({conflict.theirs0, conflict.theirs1});
        lstConflicts->addItem(tr("Conflict %1 of %2: %3 written for, %4 of the hack's, %5 of the new release")
                                  .arg(lstConflicts->count() + 1)
                                  .arg(conflicts_.size())
                                  .arg(LinesText(conflict.base0, conflict.base1),
                                       LinesText(conflict.ours0, conflict.ours1),
                                       LinesText(conflict.theirs0, conflict.theirs1)));
    }
    MarkLines(txtBase, base);
    MarkLines(txtOurs, ours);
    MarkLines(txtTheirs, theirs);
    if (conflicts_.empty())
        lstConflicts->addItem(tr("No lines conflict; the mod's text to look for is not in the new release as it is."));
    else
        lstConflicts->setCurrentRow(0);
}

void frmPortMerge::GoToConflict(int index)
{
    if (index < 0 || index >= int(conflicts_.size()))
        return;
    const MergeConflict& conflict = conflicts_[size_t(index)];
    ShowLine(txtBase, conflict.base0);
    ShowLine(txtOurs, conflict.ours0);
    ShowLine(txtTheirs, conflict.theirs0);
}

void frmPortMerge::ShowPorted(const PortedHack& hack)
{
    if (size_t(modIndex_) >= hack.Mods.size())
        return lblResult->setText(
            tr("Not kept: the mods of %1 changed since the port; port it again.").arg(hack.Hack.Name));
    const PortedMod& mod = hack.Mods[size_t(modIndex_)];
    if (!hack.BrokenFile.isEmpty())
        return lblResult->setText(
            tr("Not kept: installing the hack over the new release does not give the merged text of %1.")
                .arg(hack.BrokenFile));
    if (mod.Verdict != ModVerdict::ByPerson)
        return lblResult->setText(tr("Not kept: %1.").arg(mod.Reason));
    hack_ = hack;
    request_.byPerson[{hack.Hack.HackNum, modIndex_}] = mod.Mod;
    lblResult->setText(tr("The mod applies to the new release and the proof holds; %1 is now \"%2\".")
                           .arg(hack.Hack.Name, HackVerdictText(hack)));
    emit ModFinished(hack, modIndex_, mod.Mod);
}

void frmPortMerge::keyPressEvent(QKeyEvent* event)
{
    // Enter outside the two boxes of the mod tries it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdTryAgain->isEnabled())
        return cmdTryAgain->click();
    QWidget::keyPressEvent(event);
}

void frmPortMerge::closeEvent(QCloseEvent* event)
{
    // A job still going ends before the window goes (BackgroundJob waits for it).
    CloseWorkingWindow(this, event, false, unloaded_, [] {});
}

} // namespace zp
