#include "widgets/grid_log.h"

#include "app/dialogs.h"
#include "widgets/flex_grid.h"

#include <QCoreApplication>
#include <QHeaderView>

namespace zp {

namespace {

// How often a run lets the window repaint: ten times a second looks alive, and painting the window
// (a few milliseconds) then adds a few hundredths to the run.
constexpr qint64 RepaintMilliseconds = 100;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;

QString Tr(const char* text)
{
    return QCoreApplication::translate("GridLog", text);
}

} // namespace

FlexGrid* NewLogGrid(QWidget* parent)
{
    auto* grid = new FlexGrid(
        {
            {Tr("Filename"), 1710, Left},
            {Tr("Action"), 1185, Left},
            {Tr("Comment"), 2295, Left},
            {Tr("Description"), 960, Left},
        },
        parent);
    // At its smallest it still shows five rows of the first three columns.
    grid->setMinimumSize(grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2),
                         grid->horizontalHeader()->sizeHint().height()
                             + 5 * grid->verticalHeader()->defaultSectionSize() + 2 * grid->frameWidth());
    return grid;
}

QString TabSeparatedLog(const FlexGrid& grid)
{
    QString text;
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.model()->columnCount(); ++column)
            cells << grid.TextMatrix(row, column);
        text += TabSeparated(cells) + u'\n';
    }
    return text;
}

GridLog::GridLog(FlexGrid& grid)
    : grid_(grid)
{
}

void GridLog::Run(Dialogs& dialogs, const QString& title, const std::function<void()>& job)
{
    running_ = true;
    sinceEvents_.invalidate();
    try {
        job();
    } catch (const std::exception& e) {
        dialogs.messageBox(Tr("The run stopped with an error:\n\n%1").arg(QString::fromUtf8(e.what())),
                           title,
                           MsgButtons::OK,
                           MsgIcon::Critical);
    }
    running_ = false;
}

void GridLog::Clear()
{
    grid_.SetRows(1);
}

void GridLog::AddRow(const QString& filename, const QString& action, const QString& comment, const QString& description)
{
    grid_.AddItem({filename, action, comment, description});
}

void GridLog::MarkLastRowRed()
{
    grid_.SetRowColor(grid_.Rows() - 1, Qt::red);
}

void GridLog::ExplainLastRow(const QString& why)
{
    grid_.SetRowNote(grid_.Rows() - 1, why);
}

void GridLog::SetCurrentRow(int row)
{
    grid_.SetRow(row);
    if (row >= 1)
        grid_.scrollTo(grid_.model()->index(row - 1, 0));
}

int GridLog::RowCount() const
{
    return grid_.Rows();
}

void GridLog::ProcessEvents()
{
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < RepaintMilliseconds)
        return;
    grid_.scrollToBottom();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceEvents_.start();
}

} // namespace zp
