// The hack list's order: by a column's header or key, kept for the next run.
#include "catalogue/frm_list_hacks.h"

#include "catalogue/hack_list_view.h"
#include "widgets/flex_grid.h"

#include <QAction>
#include <QHeaderView>
#include <QSettings>

namespace zp {

namespace {

// Where the list keeps its order between runs: ~/.config/zenpatch/zenpatch.ini.
QSettings ListSettings()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zenpatch"), QStringLiteral("zenpatch"));
}

const QString SortColumnKey = QStringLiteral("HackList/SortColumn");
const QString SortOrderKey = QStringLiteral("HackList/SortDescending");

} // namespace

void frmListHacks::SortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= fgHackList->model()->columnCount())
        column = -1;
    sortColumn_ = column;
    sortOrder_ = column < 0 ? Qt::AscendingOrder : order;
    QSettings settings = ListSettings();
    settings.setValue(SortColumnKey, sortColumn_);
    settings.setValue(SortOrderKey, sortOrder_ == Qt::DescendingOrder);
    QHeaderView* header = fgHackList->horizontalHeader();
    if (header->sortIndicatorSection() != sortColumn_ || header->sortIndicatorOrder() != sortOrder_) {
        const QSignalBlocker quiet(header);
        header->setSortIndicator(sortColumn_, sortOrder_);
    }
    OrderRows();
    ShowRows(SelectedHackNum(), false);
}

void frmListHacks::OrderRows()
{
    if (sortColumn_ >= 0) {
        order_ = SortedRowOrder(rows_, sortColumn_, sortOrder_);
        return;
    }
    order_.resize(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        order_[i] = int(i);
}

void frmListHacks::CycleSort(int column)
{
    if (column != sortColumn_)
        SortBy(column, Qt::AscendingOrder);
    else if (sortOrder_ == Qt::AscendingOrder)
        SortBy(column, Qt::DescendingOrder);
    else
        SortBy(-1, Qt::AscendingOrder);
}

void frmListHacks::AddSortActions()
{
    QSettings settings = ListSettings();
    sortColumn_ = settings.value(SortColumnKey, -1).toInt();
    sortOrder_ = settings.value(SortOrderKey, false).toBool() ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (sortColumn_ < 0 || sortColumn_ >= fgHackList->model()->columnCount())
        sortColumn_ = -1;

    QHeaderView* header = fgHackList->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(sortColumn_, sortOrder_);
    header->setToolTip(tr("Click a column to sort by it (Ctrl+1 to Ctrl+6); Ctrl+0 for the catalogue's order"));
    connect(header, &QHeaderView::sortIndicatorChanged, this, &frmListHacks::SortBy);

    QList<QAction*> actions;
    for (int c = 0; c < fgHackList->model()->columnCount(); ++c) {
        auto* sort = new QAction(tr("Sort by %1").arg(fgHackList->TextMatrix(0, c)), this);
        sort->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + c)));
        connect(sort, &QAction::triggered, this, [this, c] { CycleSort(c); });
        actions << sort;
    }
    auto* catalogue = new QAction(tr("Catalogue Order"), this);
    catalogue->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(catalogue, &QAction::triggered, this, [this] { SortBy(-1, Qt::AscendingOrder); });
    actions << catalogue;
    for (QAction* action : actions)
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // The keys work anywhere in the window; the grid's and the header's context menus list them.
    addActions(actions);
    for (QWidget* menuOwner : {static_cast<QWidget*>(fgHackList), static_cast<QWidget*>(header)}) {
        menuOwner->addActions(actions);
        menuOwner->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

} // namespace zp
