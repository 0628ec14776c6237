#include "widgets/flex_grid.h"

#include "widgets/window_helpers.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <map>

namespace zp {

class FlexGrid::Model : public QAbstractTableModel
{
public:
    explicit Model(const QList<Column>& columns, QObject* parent)
        : QAbstractTableModel(parent)
        , columns_(columns)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(columns_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return Cell(index.row(), index.column());
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(columns_[index.column()].alignment);
        if (role == Qt::ForegroundRole) {
            const QColor color = Color(index.row());
            return color.isValid() ? QVariant(color) : QVariant();
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
            return QAbstractTableModel::headerData(section, orientation, role);
        if (role == Qt::DisplayRole)
            return columns_[section].header;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(columns_[section].headerAlignment);
        if (role == Qt::ToolTipRole && !columns_[section].headerToolTip.isEmpty())
            return columns_[section].headerToolTip;
        return {};
    }

    QString Cell(int row, int column) const
    {
        const QStringList& cells = rows_[row];
        return column < cells.size() ? cells[column] : QString();
    }

    QColor Color(int row) const
    {
        const auto found = extras_.find(row);
        return found == extras_.end() ? QColor() : found->second.color;
    }

    QString Note(int row) const
    {
        const auto found = extras_.find(row);
        return found == extras_.end() ? QString() : found->second.note;
    }

    void SetColor(int row, const QColor& color)
    {
        if (row < 0 || row >= rows_.size())
            return;
        SetExtra(row, [&color](RowExtras& extras) { extras.color = color; });
        emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1), {Qt::ForegroundRole});
    }

    void SetNote(int row, const QString& note)
    {
        if (row >= 0 && row < rows_.size())
            SetExtra(row, [&note](RowExtras& extras) { extras.note = note; });
    }

    void Append(const QStringList& cells)
    {
        const int row = int(rows_.size());
        beginInsertRows({}, row, row);
        rows_.append(cells);
        endInsertRows();
    }

    void SetCell(int row, int column, const QString& text)
    {
        if (row < 0 || row >= rows_.size() || column < 0 || column >= columns_.size())
            return;
        QStringList& cells = rows_[row];
        while (cells.size() <= column)
            cells.append(QString());
        cells[column] = text;
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }

    void Reset(QList<QStringList> rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        extras_.clear();
        endResetModel();
    }

    void Truncate(int count)
    {
        if (count >= rows_.size())
            return;
        beginRemoveRows({}, count, int(rows_.size()) - 1);
        rows_.resize(count);
        extras_.erase(extras_.lower_bound(count), extras_.end());
        endRemoveRows();
    }

private:
    // What a few rows have beyond their texts.
    struct RowExtras
    {
        QColor color;
        QString note;
    };

    // Changes a row's extras; a row left with none is forgotten.
    template <typename Change>
    void SetExtra(int row, const Change& change)
    {
        RowExtras& extras = extras_[row];
        change(extras);
        if (!extras.color.isValid() && extras.note.isEmpty())
            extras_.erase(row);
    }

    QList<Column> columns_;
    QList<QStringList> rows_;
    std::map<int, RowExtras> extras_;
};

FlexGrid::FlexGrid(const QList<Column>& columns, QWidget* parent)
    : QTableView(parent)
    , model_(new Model(columns, this))
{
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    // Tab leaves the grid for the next control; the arrow keys move between rows.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    // The designed widths, widened where the desktop's font needs more room for a header.
    for (const Column& column : columns)
        designedWidths_ << TwipsToPixels(column.widthTwips, this);
    FitColumns();
    horizontalHeader()->setStretchLastSection(true);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            emit RowChanged(current.row() + 1);
    });
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        emit RowDoubleClicked(index.row() + 1);
    });
}

int FlexGrid::Rows() const
{
    return model_->rowCount() + 1;
}

void FlexGrid::SetRows(int rows)
{
    model_->Truncate(qMax(0, rows - 1));
}

int FlexGrid::Row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void FlexGrid::SetRow(int row)
{
    if (row >= 1 && row <= model_->rowCount())
        setCurrentIndex(model_->index(row - 1, 0));
    else
        setCurrentIndex({});
}

void FlexGrid::AddItem(const QStringList& cells)
{
    model_->Append(cells);
}

void FlexGrid::SetItems(QList<QStringList> rows)
{
    model_->Reset(std::move(rows));
}

void FlexGrid::SetTextMatrix(int row, int column, const QString& text)
{
    model_->SetCell(row - 1, column, text);
}

QString FlexGrid::TextMatrix(int row, int column) const
{
    if (row == 0)
        return model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    return model_->Cell(row - 1, column);
}

void FlexGrid::FitColumns(int room)
{
    const int count = int(designedWidths_.size());
    QList<int> least(count), widths(count);
    int total = 0;
    int widened = 0;
    for (int c = 0; c < count; ++c) {
        least[c] = std::max(designedWidths_[c], horizontalHeader()->sectionSizeHint(c));
        widths[c] = std::max(least[c], sizeHintForColumn(c));
        total += widths[c];
        widened += widths[c] - least[c];
    }
    // Each widened column gives back its share of the width beyond the room, rounded up.
    const int over = room > 0 ? std::min(total - room, widened) : 0;
    for (int c = 0; c < count; ++c) {
        const int back = over > 0 ? int((qint64(widths[c] - least[c]) * over + widened - 1) / widened) : 0;
        setColumnWidth(c, widths[c] - back);
    }
    updateGeometry(); // the size hint follows the columns
}

int FlexGrid::ColumnsWidth() const
{
    int width = 0;
    for (int c = 0; c < model_->columnCount(); ++c)
        width += columnWidth(c);
    return width;
}

QSize FlexGrid::sizeHint() const
{
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {ColumnsWidth() + 2 * frameWidth() + scrollBar, QTableView::sizeHint().height()};
}

QString FlexGrid::CutCellText(int row, int column) const
{
    const QModelIndex index = model_->index(row - 1, column);
    if (!index.isValid())
        return QString();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // Measured as the column's own size hint measures it: the delegate's need plus the grid line.
    const int needed = itemDelegateForIndex(index)->sizeHint(option, index).width() + (showGrid() ? 1 : 0);
    return needed > columnWidth(column) ? model_->Cell(row - 1, column) : QString();
}

QString FlexGrid::CellToolTip(int row, int column) const
{
    QStringList parts {CutCellText(row, column), RowNote(row)};
    parts.removeAll(QString());
    return parts.join(QStringLiteral("\n\n"));
}

bool FlexGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.isValid() ? CellToolTip(index.row() + 1, index.column()) : QString();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void FlexGrid::SetRowColor(int row, const QColor& color)
{
    model_->SetColor(row - 1, color);
}

QColor FlexGrid::RowColor(int row) const
{
    return row >= 1 ? model_->Color(row - 1) : QColor();
}

void FlexGrid::SetRowNote(int row, const QString& note)
{
    model_->SetNote(row - 1, note);
}

QString FlexGrid::RowNote(int row) const
{
    return row >= 1 ? model_->Note(row - 1) : QString();
}

Qt::Alignment FlexGrid::CellAlignment(int row, int column) const
{
    const QVariant alignment = row == 0 ? model_->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                                        : model_->data(model_->index(row - 1, column), Qt::TextAlignmentRole);
    return alignment.value<Qt::Alignment>();
}

} // namespace zp
