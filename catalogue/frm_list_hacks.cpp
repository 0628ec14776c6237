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
#include <QStyle>
#include <QTimer>
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
    connect(fgHackList, &FlexGrid::RowDoubleClicked, this, [this] {
        if (cmdEditHack->isEnabled())
            EditHack();
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

void frmListHacks::Load()
{
    QWidget* frame = WindowFrame(this);
    ResizeInTwips(frame, WidthTwips, HeightTwips);
    RefillHackList();
    // Wider than designed where the desktop's font needs it, so that the six columns fit at the start.
    fgHackList->FitColumns();
    frame->resize(qMax(frame->width(), frame->sizeHint().width()), frame->height());
    CenterInParent(this);
}

void frmListHacks::RefillHackList(int selectHackNum)
{
    Guarded([this, selectHackNum] {
        const std::vector<HackListRow> rows = HackListRows(state_);
        const QSignalBlocker quiet(fgHackList);
        fgHackList->SetRows(1);
        hackNums_.clear();
        if (rows.empty()) {
            EnableCommands(false);
            main_.SetPanelText(2, tr("Total Hacks: 0"));
            main_.SetPanelText(3, tr("Hack Mods: 0"));
            return;
        }
        EnableCommands(true);
        for (const HackListRow& row : rows) {
            fgHackList->AddItem(row.cells);
            hackNums_.push_back(row.HackNum);
        }
        const auto selected = std::find(hackNums_.begin(), hackNums_.end(), selectHackNum);
        fgHackList->SetRow(selected == hackNums_.end() ? 1 : int(selected - hackNums_.begin()) + 1);
        SelectHackRow();
        main_.SetPanelText(2, tr("Total Hacks: %1").arg(rows.size()));
    });
}

int frmListHacks::SelectedHackNum() const
{
    const int row = fgHackList->Row();
    return row >= 1 && row <= int(hackNums_.size()) ? hackNums_[size_t(row - 1)] : 0;
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
    return hackNum != 0 && SelectHackNum(state_, hackNum, fgHackList->Row() - 1);
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
        && state_.dialogs.messageBox(tr("Are you sure you wish to delete this hack?"),
                                     tr("Delete Hack"),
                                     MsgButtons::YesNo,
                                     MsgIcon::Exclamation)
            == MsgAnswer::Yes) {
        // The hack deleted is the one the grid shows as selected, with its own children, whatever
        // another window has selected since.
        Guarded([this] {
            if (SelectListedHack())
                DeleteHack(state_);
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
        RefillAfterImport();
}

void frmListHacks::RefillAfterImport()
{
    RefillHackList(state_.ImportedHackNum != 0 ? state_.ImportedHackNum : SelectedHackNum());
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
        // The current hack and the status bar are the list's again.
        list->SelectHackRow();
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
