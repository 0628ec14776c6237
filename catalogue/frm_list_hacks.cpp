#include "catalogue/frm_list_hacks.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "catalogue/frm_hack_info.h"
#include "catalogue/hack_list_view.h"
#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace zp {

namespace {

constexpr int WidthTwips = 10050;
constexpr int HeightTwips = 7050;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;

QList<FlexGrid::Column> HackListColumns()
{
    return {
        {frmListHacks::tr("Hack Name"), 2715, Left},
        {frmListHacks::tr("Version"), 615, Right},
        {frmListHacks::tr("Author"), 1440, Left},
        {frmListHacks::tr("Support Files"), 1035, Qt::AlignCenter, Qt::AlignCenter},
        {frmListHacks::tr("Last Modified"), 1935, Left},
        {frmListHacks::tr("Last Installed"), 1845, Left},
    };
}

QPushButton* MakeButton(const QString& caption, const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(toolTip);
    return button;
}

} // namespace

frmListHacks::frmListHacks(MainFrame& main, HackListOpeners openers, QWidget* parent)
    : QWidget(parent)
    , txtFilter(new QLineEdit(this))
    , fgHackList(new FlexGrid(HackListColumns(), this))
    , cmdCreateHack(MakeButton(tr("&Create"), tr("Create a new hack"), this))
    , cmdEditHack(MakeButton(tr("&Edit"), tr("Edit the selected hack"), this))
    , cmdDeleteHack(MakeButton(tr("&Delete"), tr("Delete the selected hack"), this))
    , cmdInstallHack(MakeButton(tr("&Install"), tr("Install the selected hack"), this))
    , cmdAnalyze(MakeButton(tr("&Analyze"), tr("Analyze selected hack to be sure it will install correctly"), this))
    , cmdExportHack(MakeButton(tr("E&xport"), tr("Export the selected hack"), this))
    , cmdExportText(MakeButton(tr(">>"), tr("Export the selected hack in text file format"), this))
    , cmdHackInfo(MakeButton(QString(), tr("View Hack Information"), this))
    , cmdImport(MakeButton(tr("I&mport"), tr("Import a hack that is in Zenpatch format"), this))
    , main_(main)
    , state_(main.State())
    , openers_(std::move(openers))
{
    setWindowTitle(tr("Hack List"));
    // Several rows can be selected for the commands that take several hacks; the current row stays
    // the current hack.
    fgHackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdHackInfo->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    // The button without a caption still has a name for screen readers and a key.
    cmdHackInfo->setAccessibleName(tr("View Hack Information"));
    cmdHackInfo->setShortcut(QKeySequence(Qt::ALT | Qt::Key_V));
    cmdExportText->setAccessibleName(tr("Export Text"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : Commands()) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto* filterLabel = new QLabel(tr("&Filter"), this);
    filterLabel->setBuddy(txtFilter);
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setToolTip(tr("Show the hacks whose name, version, author or comments contain every word"));
    auto* filter = new QHBoxLayout;
    filter->addWidget(filterLabel);
    filter->addWidget(txtFilter, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(fgHackList, 1);
    layout->addLayout(buttons);
    auto* find = new QShortcut(QKeySequence::Find, this, [this] {
        txtFilter->setFocus(Qt::ShortcutFocusReason);
        txtFilter->selectAll();
    });
    find->setContext(Qt::WidgetWithChildrenShortcut);
    new QShortcut(QKeySequence(Qt::Key_Escape), txtFilter, txtFilter, &QLineEdit::clear, Qt::WidgetShortcut);
    connect(txtFilter, &QLineEdit::textChanged, this, [this] { ShowRows(SelectedHackNum(), false); });
    AddSortActions();

    // A command whose window the program does not have yet stays disabled and says so.
    const std::pair<QPushButton*, const std::function<void()>*> pending[] = {
        {cmdCreateHack, &openers_.ShowHackEditor},
        {cmdEditHack, &openers_.ShowHackEditor},
        {cmdInstallHack, &openers_.ShowInstaller},
        {cmdAnalyze, &openers_.ShowAnalysis},
        {cmdExportHack, &openers_.ExportHack},
        {cmdExportText, &openers_.ShowTextExport},
        {cmdImport, &openers_.ImportHack},
    };
    for (const auto& [button, opener] : pending) {
        if (!*opener) {
            button->setProperty("unavailable", true);
            button->setToolTip(button->toolTip() + tr(" (not available yet: this version has no such window)"));
        }
    }

    connect(fgHackList, &FlexGrid::RowChanged, this, &frmListHacks::SelectHackRow);
    // A double-click on a row, or Enter on it, opens the hack in the editor.
    const auto openRow = [this] {
        if (cmdEditHack->isEnabled())
            EditHack();
    };
    connect(fgHackList, &FlexGrid::RowDoubleClicked, this, openRow);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), fgHackList, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, openRow);
    }
    // Every command leaves the focus on the grid first: the window it opens or the question it asks
    // gives the focus back to the grid, at its row, when it closes.
    for (QPushButton* button : Commands())
        connect(button, &QPushButton::clicked, fgHackList, qOverload<>(&QWidget::setFocus));
    // The list coming to the front by keyboard, or as the window before it closes, has the keyboard
    // on its row; a click into the list keeps the control clicked.
    connect(main.mdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* active) {
        if (active && active == WindowFrame(this) && QGuiApplication::mouseButtons() == Qt::NoButton)
            fgHackList->setFocus();
    });
    connect(cmdCreateHack, &QPushButton::clicked, this, &frmListHacks::CreateHack);
    connect(cmdEditHack, &QPushButton::clicked, this, &frmListHacks::EditHack);
    connect(cmdDeleteHack, &QPushButton::clicked, this, &frmListHacks::DeleteSelectedHack);
    connect(cmdInstallHack, &QPushButton::clicked, this, &frmListHacks::InstallHack);
    connect(cmdAnalyze, &QPushButton::clicked, this, &frmListHacks::Analyze);
    connect(cmdExportHack, &QPushButton::clicked, this, &frmListHacks::ExportHack);
    connect(cmdExportText, &QPushButton::clicked, this, &frmListHacks::ExportText);
    connect(cmdHackInfo, &QPushButton::clicked, this, &frmListHacks::ViewHackInfo);
    connect(cmdImport, &QPushButton::clicked, this, &frmListHacks::Import);
}

void frmListHacks::Load(int selectHackNum)
{
    QWidget* frame = WindowFrame(this);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    RefillHackList(selectHackNum);
    CenterInParent(this);
    // The keyboard starts in the grid; Ctrl+F goes to the filter.
    fgHackList->setFocus();
}

void frmListHacks::RefillHackList(int selectHackNum)
{
    Guarded([this, selectHackNum] {
        rows_ = HackListRows(state_, true);
        searchTexts_.clear();
        searchTexts_.reserve(rows_.size());
        for (const HackListRow& row : rows_)
            searchTexts_.push_back(SearchTextOf(row));
        OrderRows();
        ShowRows(selectHackNum, true);
        FitColumnsToTexts();
    });
}

void frmListHacks::FitColumnsToTexts()
{
    // Wider than designed where the desktop's font or the texts need it, so that the six columns fit,
    // yet never wider than the main window has room for: a long name is cut instead. A scroll bar
    // that the rows bring takes its width from the columns too.
    QWidget* frame = WindowFrame(this);
    fgHackList->FitColumns();
    const QWidget* area = frame->parentWidget();
    const int room = area ? area->width() : frame->screen()->availableGeometry().width();
    frame->resize(qMax(frame->width(), qMin(frame->sizeHint().width(), room)), frame->height());
    fgHackList->FitColumns(fgHackList->viewport()->width());
}

int frmListHacks::SelectedHackNum() const
{
    const int row = fgHackList->Row();
    return row >= 1 && row <= int(shown_.size()) ? rows_[size_t(shown_[size_t(row - 1)])].HackNum : 0;
}

std::vector<int> frmListHacks::SelectedHackNums() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : fgHackList->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<int> hacks;
    for (const int row : rows) {
        if (row < int(shown_.size()))
            hacks.push_back(rows_[size_t(shown_[size_t(row)])].HackNum);
    }
    return hacks;
}

void frmListHacks::ShowRows(int selectHackNum, bool reselect)
{
    const HackFilter filter(txtFilter->text());
    shown_.clear();
    QList<QStringList> cells;
    for (const int i : order_) {
        if (filter.IsEmpty() || filter.Matches(searchTexts_[size_t(i)])) {
            shown_.push_back(i);
            cells.append(rows_[size_t(i)].cells);
        }
    }
    const QSignalBlocker quiet(fgHackList);
    fgHackList->SetItems(std::move(cells));
    EnableCommands(!shown_.empty());
    main_.SetPanelText(2,
                       filter.IsEmpty() ? tr("Total Hacks: %1").arg(rows_.size())
                                        : tr("%1 of %2 hacks").arg(shown_.size()).arg(rows_.size()));
    if (shown_.empty()) {
        main_.SetPanelText(3, tr("Hack Mods: 0"));
        return;
    }
    const auto kept
        = std::find_if(shown_.begin(), shown_.end(), [&](int i) { return rows_[size_t(i)].HackNum == selectHackNum; });
    fgHackList->SetRow(kept == shown_.end() ? 1 : int(kept - shown_.begin()) + 1);
    // Typing that keeps the same hack selected costs no query.
    if (reselect || kept == shown_.end())
        SelectHackRow();
}

void frmListHacks::SelectHackRow()
{
    Guarded([this] {
        if (SelectListedHack())
            main_.SetPanelText(3, tr("Hack Mods: %1").arg(state_.HackDataRecordset->RecordCount()));
    });
}

bool frmListHacks::SelectListedHack()
{
    const int hackNum = SelectedHackNum();
    return hackNum != 0 && SelectHackNum(state_, hackNum, shown_[size_t(fgHackList->Row() - 1)]);
}

void frmListHacks::CreateHack()
{
    SetHackListMenuEnabled(false);
    state_.NewHackMode = true;
    openers_.ShowHackEditor();
    CloseWindow(this);
}

void frmListHacks::EditHack()
{
    SetHackListMenuEnabled(false);
    state_.NewHackMode = false;
    Guarded([this] {
        if (!SelectListedHack())
            return;
        openers_.ShowHackEditor();
        CloseWindow(this);
    });
}

void frmListHacks::DeleteSelectedHack()
{
    SetHackListMenuEnabled(false);
    if (fgHackList->Row() >= 1
        && state_.dialogs.messageBox(tr("Are you sure you wish to delete this hack?") + u'\n'
                                         + tr("%1 %2")
                                               .arg(fgHackList->TextMatrix(fgHackList->Row(), 0),
                                                    fgHackList->TextMatrix(fgHackList->Row(), 1))
                                               .trimmed(),
                                     tr("Delete Hack"),
                                     MsgButtons::YesNoDefaultNo,
                                     MsgIcon::Exclamation)
            == MsgAnswer::Yes) {
        // The hack deleted is the one the grid shows as selected, with its own children, whatever
        // another window has selected since. The row after it (before it, for the last row) is
        // selected next.
        const int row = fgHackList->Row();
        const int next = row < int(shown_.size()) ? rows_[size_t(shown_[size_t(row)])].HackNum
            : row > 1                             ? rows_[size_t(shown_[size_t(row - 2)])].HackNum
                                                  : 0;
        Guarded([this] {
            if (SelectListedHack())
                ShowMessage(state_.dialogs, DeleteHack(state_));
        });
        SetHackListMenuEnabled(true);
        RefillHackList(next);
        return;
    }
    SetHackListMenuEnabled(true);
}

void frmListHacks::InstallHack()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
        if (SelectListedHack())
            openers_.ShowInstaller();
    });
}

void frmListHacks::Analyze()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
        if (!SelectListedHack())
            return;
        WindowFrame(this)->hide();
        openers_.ShowAnalysis();
    });
}

void frmListHacks::ExportHack()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
        if (SelectListedHack())
            openers_.ExportHack();
    });
    SetHackListMenuEnabled(true);
}

void frmListHacks::ExportText()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
        if (SelectListedHack())
            openers_.ShowTextExport();
    });
    SetHackListMenuEnabled(true);
}

void frmListHacks::ViewHackInfo()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
        if (!SelectListedHack())
            return;
        frmHackInfo viewer(state_, &main_);
        viewer.exec();
    });
    SetHackListMenuEnabled(true);
}

void frmListHacks::Import()
{
    SetHackListMenuEnabled(false);
    openers_.ImportHack();
    SetHackListMenuEnabled(true);
    if (WindowFrame(this)->isVisible())
        RefillSelecting(state_.ImportedHackNum);
}

void frmListHacks::RefillSelecting(int hackNum)
{
    RefillHackList(hackNum != 0 ? hackNum : SelectedHackNum());
}

void frmListHacks::EnableCommands(bool enabled)
{
    for (QPushButton* button : Commands()) {
        const bool always = button == cmdCreateHack || button == cmdImport;
        button->setEnabled((enabled || always) && !button->property("unavailable").toBool());
    }
}

QList<QPushButton*> frmListHacks::Commands() const
{
    return {cmdCreateHack,
            cmdEditHack,
            cmdDeleteHack,
            cmdInstallHack,
            cmdAnalyze,
            cmdExportHack,
            cmdExportText,
            cmdHackInfo,
            cmdImport};
}

void frmListHacks::SetHackListMenuEnabled(bool enabled)
{
    main_.mnuHackList->setEnabled(enabled);
}

void frmListHacks::Guarded(const std::function<void()>& command)
{
    RunGuarded(state_.dialogs, tr("Hack List"), command);
}

frmListHacks* FindHackList(QMdiArea* area)
{
    return FindWorkingWindow<frmListHacks>(area);
}

frmListHacks& ShowHackList(MainFrame& main, HackListOpeners openers, int selectHackNum)
{
    if (frmListHacks* list = FindHackList(main.mdiArea())) {
        QWidget* frame = WindowFrame(list);
        frame->show();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
            main.mdiArea()->setActiveSubWindow(sub);
        // The current hack and the status bar are the list's again.
        if (selectHackNum != 0)
            list->RefillHackList(selectHackNum);
        else
            list->SelectHackRow();
        return *list;
    }
    auto* list = new frmListHacks(main, std::move(openers));
    main.ShowChild(list);
    list->Load(selectHackNum);
    return *list;
}

} // namespace zp
