#include "catalogue/frm_list_hacks.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/mdi_main.h"
#include "app/window_helpers.h"
#include "catalogue/catalogue_operations.h"
#include "catalogue/flex_grid.h"
#include "catalogue/frm_hack_info.h"
#include "database/sql.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

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

frmListHacks::frmListHacks(mdiMain& main, HackListOpeners openers, QWidget* parent)
    : QWidget(parent)
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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fgHackList, 1);
    layout->addLayout(buttons);

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

void frmListHacks::Load()
{
    QWidget* frame = WindowFrame(this);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    RefillHackList();
    fgHackList->setFocus();
    // Wider than designed where the desktop's font needs it, so that the six columns fit at the start.
    fgHackList->FitColumns();
    frame->resize(qMax(frame->width(), frame->sizeHint().width()), frame->height());
    CenterInParent(this);
}

void frmListHacks::RefillHackList()
{
    Guarded([this] {
        const std::vector<HackListRow> rows = HackListRows(state_);
        const QSignalBlocker quiet(fgHackList);
        fgHackList->SetRows(1);
        if (rows.empty()) {
            EnableCommands(false);
            main_.SetPanelText(2, tr("Total Hacks: 0"));
            main_.SetPanelText(3, tr("Hack Mods: 0"));
            return;
        }
        EnableCommands(true);
        for (const HackListRow& row : rows)
            fgHackList->AddItem(row.cells);
        fgHackList->SetRow(1);
        SelectHackRow();
        main_.SetPanelText(2, tr("Total Hacks: %1").arg(rows.size()));
    });
}

void frmListHacks::SelectHackRow()
{
    Guarded([this] {
        Recordset& hacks = *state_.HackInfoRecordset;
        const int row = fgHackList->Row();
        if (!hacks.IsOpen() || row < 1 || row > hacks.RecordCount())
            return;
        hacks.MoveFirst();
        hacks.Move(row - 1);
        SelectCurrentHack(state_);
        main_.SetPanelText(3, tr("Hack Mods: %1").arg(state_.HackDataRecordset->RecordCount()));
    });
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
    const Recordset& hacks = *state_.HackInfoRecordset;
    if (hacks.IsOpen() && !hacks.BOF() && !hacks.EOF())
        state_.CurrentHackNum = static_cast<qint16>(hacks.Int("HackNum"));
    openers_.ShowHackEditor();
    CloseWindow(this);
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
        Guarded([this] {
            // The row deleted is the one whose children go, even when another window has moved
            // HackInfoRecordset since the selection.
            Recordset& hacks = *state_.HackInfoRecordset;
            hacks.ReOpen(sql::SelectHackInfo);
            for (hacks.MoveFirst(); !hacks.EOF(); hacks.MoveNext()) {
                if (hacks.Int("HackNum") == state_.CurrentHackNum) {
                    DeleteHack(state_);
                    break;
                }
            }
        });
        SetHackListMenuEnabled(true);
        RefillHackList();
        return;
    }
    SetHackListMenuEnabled(true);
}

void frmListHacks::InstallHack()
{
    SetHackListMenuEnabled(false);
    openers_.ShowInstaller();
}

void frmListHacks::Analyze()
{
    SetHackListMenuEnabled(false);
    WindowFrame(this)->hide();
    openers_.ShowAnalysis();
}

void frmListHacks::ExportHack()
{
    SetHackListMenuEnabled(false);
    if (fgHackList->Row() >= 1)
        openers_.ExportHack();
    SetHackListMenuEnabled(true);
}

void frmListHacks::ExportText()
{
    SetHackListMenuEnabled(false);
    openers_.ShowTextExport();
    SetHackListMenuEnabled(true);
}

void frmListHacks::ViewHackInfo()
{
    SetHackListMenuEnabled(false);
    Guarded([this] {
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
        RefillHackList();
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

frmListHacks& ShowHackList(mdiMain& main)
{
    if (frmListHacks* list = FindHackList(main.mdiArea())) {
        QWidget* frame = WindowFrame(list);
        frame->show();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
            main.mdiArea()->setActiveSubWindow(sub);
        return *list;
    }
    auto* list = new frmListHacks(main, ProgramHackListOpeners(main));
    main.ShowChild(list);
    list->Load();
    return *list;
}

void ShowHackListLater(mdiMain& main)
{
    QTimer::singleShot(0, &main, [&main] {
        if (!main.State().Connection.IsOpen())
            return;
        try {
            ShowHackList(main);
        } catch (const std::exception&) {
        }
    });
}

} // namespace zp
