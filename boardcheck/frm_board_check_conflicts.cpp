// The Board Check's second tab: which hacks collide, as a matrix of every pair that shares a board
// file, with the order to install them in.
#include "boardcheck/frm_board_check.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "boardcheck/board_check_report.h"
#include "widgets/window_helpers.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <map>

namespace zp {

namespace {

// Verdict colours of a matrix cell's background.
const QColor IndependentCell(198, 239, 206);
const QColor OrderMattersCell(255, 235, 156);
const QColor BreaksCell(255, 199, 206);
const QColor SameHackCell(230, 230, 230);

QColor CellColor(PairVerdict verdict)
{
    if (Breaks(verdict))
        return BreaksCell;
    return verdict == PairVerdict::OrderMatters ? OrderMattersCell : IndependentCell;
}

// What the hack of a cell's row does to the hack of its column.
QString CellText(const ConflictPair& pair, bool rowIsFirst)
{
    switch (pair.Verdict) {
    case PairVerdict::Independent:
        return frmBoardCheck::tr("independent");
    case PairVerdict::OrderMatters:
        return frmBoardCheck::tr("order matters");
    case PairVerdict::FirstBreaksSecond:
        return rowIsFirst ? frmBoardCheck::tr("breaks") : frmBoardCheck::tr("broken by");
    case PairVerdict::SecondBreaksFirst:
        return rowIsFirst ? frmBoardCheck::tr("broken by") : frmBoardCheck::tr("breaks");
    case PairVerdict::Exclusive:
        return frmBoardCheck::tr("exclusive");
    }
    return QString();
}

QString PairToolTip(const ConflictPair& pair)
{
    QString tip = frmBoardCheck::tr("%1 and %2: %3\nShared files: %4")
                      .arg(pair.First.Name, pair.Second.Name, PairVerdictText(pair), pair.SharedFiles.join(", "));
    if (!pair.Failing.empty())
        tip += frmBoardCheck::tr("\nFailing mods:\n%1").arg(FailingModsText(pair.Failing));
    return tip;
}

} // namespace

QWidget* frmBoardCheck::ConflictsTab()
{
    auto* tab = new QWidget(this);
    for (QWidget* widget :
         std::initializer_list<QWidget*> {cmdCheckConflicts, tblConflicts, txtOrder, cmdSaveConflicts})
        widget->setParent(tab);
    connect(cmdCheckConflicts, &QPushButton::clicked, this, &frmBoardCheck::CheckConflicts);
    connect(cmdSaveConflicts, &QPushButton::clicked, this, [this] {
        SaveReport(ConflictReport(*conflicts_, ReportFormat::Html),
                   ConflictReport(*conflicts_, ReportFormat::Tsv),
                   tr("conflicts"));
    });
    tblConflicts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblConflicts->setTabKeyNavigation(false);
    connect(tblConflicts, &QTableWidget::cellDoubleClicked, this, &frmBoardCheck::ShowPair);
    tblConflicts->setMinimumHeight(fontMetrics().height() * 6);
    tblConflicts->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    tblConflicts->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    tblConflicts->verticalHeader()->setMaximumWidth(TwipsToPixels(HackColumnTwips, this));
    txtOrder->setReadOnly(true);
    txtOrder->setTabChangesFocus(true);
    txtOrder->setFixedHeight(fontMetrics().height() * 3 + 2 * txtOrder->frameWidth() + 8);

    auto* layout = new QGridLayout(tab);
    layout->addWidget(BuddyLabel(tr("&Each row's hack against each column's hack:"), tblConflicts, tab), 0, 0);
    layout->addWidget(cmdCheckConflicts, 0, 1);
    layout->addWidget(tblConflicts, 1, 0, 1, 2);
    layout->addWidget(BuddyLabel(tr("Suggested &install order:"), txtOrder, tab), 2, 0, 1, 2);
    layout->addWidget(txtOrder, 3, 0, 1, 2);
    layout->addWidget(cmdSaveConflicts, 4, 1);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(1, 1);
    return tab;
}

void frmBoardCheck::ShowPair(int row, int column)
{
    const QTableWidgetItem* cell = tblConflicts->item(row, column);
    if (cell && !cell->toolTip().isEmpty())
        state_.dialogs.messageBox(cell->toolTip(), tr("Shared Files"), MsgButtons::OK, MsgIcon::Information);
}

void frmBoardCheck::ShowConflicts(const ConflictCheckResult& result)
{
    conflicts_ = result;
    cmdSaveConflicts->setEnabled(true);
    const int count = int(result.Hacks.size());
    QStringList names;
    std::map<int, int> indexOf; // HackNum -> row and column
    for (const CheckedHack& hack : result.Hacks) {
        indexOf[hack.HackNum] = int(names.size());
        names << hack.Name;
    }
    tblConflicts->clear();
    tblConflicts->setRowCount(count);
    tblConflicts->setColumnCount(count);
    tblConflicts->setHorizontalHeaderLabels(names);
    tblConflicts->setVerticalHeaderLabels(names);
    for (int i = 0; i < count; ++i) {
        auto* item = new QTableWidgetItem;
        item->setBackground(SameHackCell);
        tblConflicts->setItem(i, i, item);
    }
    int breaking = 0;
    for (const ConflictPair& pair : result.Pairs) {
        breaking += Breaks(pair.Verdict);
        const int first = indexOf[pair.First.HackNum];
        const int second = indexOf[pair.Second.HackNum];
        for (const auto& [row, column] : {std::pair(first, second), std::pair(second, first)}) {
            auto* item = new QTableWidgetItem(CellText(pair, row == first));
            item->setBackground(CellColor(pair.Verdict));
            item->setForeground(QColor(Qt::black));
            item->setToolTip(PairToolTip(pair));
            tblConflicts->setItem(row, column, item);
        }
    }
    // A column as wide as its cells, the row headers as wide as the hack column of the upgrade
    // grid; a long name in a header is cut short, and its tooltip shows it whole.
    tblConflicts->resizeColumnsToContents();
    const int widest = fontMetrics().horizontalAdvance(tr("order matters")) + 4 * fontMetrics().averageCharWidth();
    for (int column = 0; column < count; ++column) {
        tblConflicts->horizontalHeaderItem(column)->setToolTip(names[column]);
        tblConflicts->verticalHeaderItem(column)->setToolTip(names[column]);
        tblConflicts->setColumnWidth(column, qMin(tblConflicts->columnWidth(column), widest));
    }
    // The window grows, within the main window, until every column is in view; beyond that the grid
    // scrolls.
    // (Measured from the headers' own needs: the grid lays itself out only once it is shown again.)
    const QHeaderView* rowHeader = tblConflicts->verticalHeader();
    const int needed = qMin(rowHeader->sizeHint().width(), rowHeader->maximumWidth())
        + tblConflicts->horizontalHeader()->length() + 2 * tblConflicts->frameWidth()
        + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, tblConflicts);
    const int lack = needed - tblConflicts->width();
    QWidget* frame = WindowFrame(this);
    if (const QWidget* area = frame->parentWidget(); lack > 0 && area) {
        const int width = qMax(frame->width(), qMin(frame->width() + lack, area->width()));
        frame->setGeometry(qMax(0, qMin(frame->x(), area->width() - width)), frame->y(), width, frame->height());
    }
    txtOrder->setPlainText(result.OrderText());
    if (result.Cancelled) {
        txtOrder->clear();
        SetStatus(ConflictsTabIndex, tr("The check was cancelled before every pair was tried."));
    } else {
        SetStatus(
            ConflictsTabIndex,
            tr("Pairs that share a board file: %1. Pairs that break: %2.").arg(result.Pairs.size()).arg(breaking));
    }
}

} // namespace zp
