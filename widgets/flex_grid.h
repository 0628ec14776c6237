#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>

namespace zp {

// A grid in the manner of the program's flex grids: row 0 is the fixed header row and data rows
// count from 1. Cells are read-only text; a click selects the whole row. The texts live in a plain
// string model, so ten thousand rows fill in a few milliseconds.
class FlexGrid : public QTableView
{
    Q_OBJECT

public:
    // One column per header, with its width in twips and its cell alignment.
    struct Column
    {
        QString header;
        int widthTwips;
        Qt::Alignment alignment;
        Qt::Alignment headerAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        QString headerToolTip = QString(); // what a terse header stands for
    };

    explicit FlexGrid(const QList<Column>& columns, QWidget* parent = nullptr);

    // Rows including the header row.
    int Rows() const;
    // Keeps the header and the first rows - 1 data rows.
    void SetRows(int rows);
    // The current row: 1 and up for a data row, 0 when no data row is current.
    int Row() const;
    void SetRow(int row);
    // Adds a data row, one text per column (missing ones stay empty). The cells are handed over
    // apart, so a tab inside a text stays in its cell.
    void AddItem(const QStringList& cells);
    // Replaces every data row at once (no row current, no colours): one reset of the view instead
    // of one insertion per row.
    void SetItems(QList<QStringList> rows);
    QString TextMatrix(int row, int column) const;
    void SetTextMatrix(int row, int column, const QString& text);
    Qt::Alignment CellAlignment(int row, int column) const;
    // The text colour of a data row's cells; an invalid colour is the normal one.
    void SetRowColor(int row, const QColor& color);
    QColor RowColor(int row) const;
    // A note on a data row, shown in the tooltip of each of its cells.
    void SetRowNote(int row, const QString& note);
    QString RowNote(int row) const;

    // Widens each column to its header and the cells in view, never below its designed width. With
    // `room` (pixels), the columns the cells widened give back width, never below their designed or
    // header widths, until the columns together fit into it: a long text is cut short then, and its
    // tooltip shows it whole.
    void FitColumns(int room = 0);
    // The width of all columns together.
    int ColumnsWidth() const;
    // Wide enough for every column beside a vertical scroll bar.
    QSize sizeHint() const override;
    // The whole text of a data cell that its column cuts short, else empty.
    QString CutCellText(int row, int column) const;
    // The tooltip of a data cell: its whole text when it is cut short, then its row's note.
    QString CellToolTip(int row, int column) const;

protected:
    bool viewportEvent(QEvent* event) override;

signals:
    // The current data row changed (by click, keyboard or SetRow); row counts from 1.
    void RowChanged(int row);
    void RowDoubleClicked(int row);

private:
    class Model;
    Model* model_;
    QList<int> designedWidths_;
};

} // namespace zp
