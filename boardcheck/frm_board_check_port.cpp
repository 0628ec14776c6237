// The Board Check's third tab: the hacks carried to the new release of the Upgrade tab, each hack's
// verdict with its mods' below it; a mod that needs a person finished in the three-way view; and the
// ported hacks stored beside their originals.
#include "boardcheck/frm_board_check.h"

#include "app/app_state.h"
#include "app/configuration.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "boardcheck/frm_port_merge.h"
#include "boardcheck/port_report.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <algorithm>

namespace zp {

namespace {

// Verdict colours of a port row's text.
const QColor PortedText(0, 128, 0);
const QColor NeedsPersonText(Qt::red);

// A mod's row stands below its hack's, indented.
const QString ModIndent = QStringLiteral("    ");

QString HackDetail(const PortedHack& hack)
{
    if (!hack.BrokenFile.isEmpty())
        return frmBoardCheck::tr("not stored: installing it over the new release does not give the merged text of %1")
            .arg(hack.BrokenFile);
    if (hack.StoredAs != 0)
        return frmBoardCheck::tr("stored as hack %1, version \"%2\"")
            .arg(QString::number(hack.StoredAs), hack.StoredVersion.trimmed());
    return QString();
}

QStringList HackRow(const PortedHack& hack)
{
    const QString name = hack.Version.isEmpty() ? hack.Hack.Name : hack.Hack.Name + u' ' + hack.Version;
    return {name, HackVerdictText(hack), QString(), QString(), QString(), HackDetail(hack)};
}

bool SupportFile(const PortedMod& mod)
{
    return mod.ModOrder == 0;
}

QStringList ModRow(const PortedMod& mod)
{
    const QString what
        = SupportFile(mod) ? frmBoardCheck::tr("support file") : frmBoardCheck::tr("mod %1").arg(mod.ModOrder);
    return {ModIndent + what,
            ModVerdictText(mod.Verdict),
            mod.File,
            mod.Action,
            Carried(mod.Verdict) ? QString::number(mod.Mod.ModInst) : QString(),
            PortDetail(mod)};
}

} // namespace

QWidget* frmBoardCheck::PortTab()
{
    auto* tab = new QWidget(this);
    lblPortRelease = new QLabel(tab);
    cmdPortAll = new QPushButton(tr("Port A&ll"), tab);
    cmdPortSelected = new QPushButton(tr("Port Selecte&d"), tab);
    // The verdict beside the name, in view however narrow the window.
    fgPort = new FlexGrid({{tr("Hack / Mod"), HackColumnTwips, Qt::AlignLeft | Qt::AlignVCenter},
                           {tr("Verdict"), 1900, Qt::AlignLeft | Qt::AlignVCenter},
                           {tr("File"), 1900, Qt::AlignLeft | Qt::AlignVCenter},
                           {tr("Action"), 1100, Qt::AlignLeft | Qt::AlignVCenter},
                           {tr("Instance"), 800, Qt::AlignRight | Qt::AlignVCenter},
                           {tr("Detail"), 2400, Qt::AlignLeft | Qt::AlignVCenter}},
                          tab);
    cmdResolveMod = new QPushButton(tr("&Resolve Mod..."), tab);
    cmdStorePorted = new QPushButton(tr("&Store Ported Hacks"), tab);
    cmdPortSelected->setToolTip(tr("Ports the hacks selected on the Upgrade tab"));
    cmdResolveMod->setToolTip(tr("Opens the three-way view of a mod that needs a person (Enter)"));
    lblPortRelease->setWordWrap(true);
    fgPort->setMinimumHeight(fontMetrics().height() * 6);
    for (QPushButton* button : {cmdPortSelected, cmdResolveMod, cmdStorePorted})
        button->setEnabled(false);

    // The new release is the Upgrade tab's; several of its hacks can be chosen there to port.
    const auto showRelease = [this](const QString& folder) {
        lblPortRelease->setText(folder.trimmed().isEmpty()
                                    ? tr("Choose the new release's folder on the Upgrade tab.")
                                    : tr("New release: %1").arg(QDir::toNativeSeparators(folder.trimmed())));
    };
    showRelease(QString());
    connect(txtNewRelease, &QLineEdit::textChanged, this, showRelease);
    fgUpgrade->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(fgUpgrade->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        cmdPortSelected->setEnabled(!IsChecking() && fgUpgrade->selectionModel()->hasSelection());
    });

    connect(cmdPortAll, &QPushButton::clicked, this, [this] { Port({}); });
    connect(cmdPortSelected, &QPushButton::clicked, this, [this] {
        std::vector<int> rows; // in the list's order, however they were picked
        for (const QModelIndex& index : fgUpgrade->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        std::vector<int> hacks;
        for (const int row : rows)
            hacks.push_back(upgrade_->Rows[size_t(row)].Hack.HackNum);
        Port(hacks);
    });
    connect(fgPort, &FlexGrid::RowChanged, this, [this](int row) {
        cmdResolveMod->setEnabled(!IsChecking() && CanResolve(row));
    });
    connect(fgPort, &FlexGrid::RowDoubleClicked, this, &frmBoardCheck::ResolveMod);
    connect(cmdResolveMod, &QPushButton::clicked, this, [this] { ResolveMod(fgPort->Row()); });
    connect(cmdStorePorted, &QPushButton::clicked, this, &frmBoardCheck::StorePorted);

    auto* layout = new QGridLayout(tab);
    layout->addWidget(lblPortRelease, 0, 0);
    layout->addWidget(cmdPortAll, 0, 1);
    layout->addWidget(cmdPortSelected, 0, 2);
    layout->addWidget(BuddyLabel(tr("Hacks and their &mods:"), fgPort, tab), 1, 0, 1, 3);
    layout->addWidget(fgPort, 2, 0, 1, 3);
    layout->addWidget(cmdResolveMod, 3, 1);
    layout->addWidget(cmdStorePorted, 3, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(2, 1);
    return tab;
}

void frmBoardCheck::Port(const std::vector<int>& hacks)
{
    PortRequest request;
    request.to = txtNewRelease->text().trimmed();
    request.from = state_.SourceDir;
    request.hacks = hacks;
    if (request.to.isEmpty())
        return Message(tr("Choose the folder of the new board release on the Upgrade tab first."), false);
    if (const QString problem = BoardFolderProblem(request.to); !problem.isEmpty())
        return Message(problem, false);
    if (request.from.isEmpty())
        return Message(tr("No source folder is configured; set it under File, Options first."), false);
    CloseMerges();
    port_.reset();
    portRequest_ = request;
    portStored_ = false;
    portRows_.clear();
    fgPort->SetRows(1);
    StartCheck(PortTabIndex, [request](AppState& own, Run& run) {
        // Even a port that stores nothing proves each hack by storing it for a moment.
        RunJob(own, DatabaseUse::Writes, [&] { run.port = RunPort(own, request, run.Control()); });
    });
    SetStatus(PortTabIndex, tr("Porting..."));
}

bool frmBoardCheck::CanStore() const
{
    return port_ && !port_->Cancelled && !portStored_
        && std::any_of(port_->Hacks.begin(), port_->Hacks.end(), [](const PortedHack& hack) {
               return hack.Verdict == HackVerdict::Ported;
           });
}

void frmBoardCheck::StorePorted()
{
    if (!CanStore())
        return;
    // The hacks of the port by their numbers, whatever the hack list shows by now.
    PortRequest request = portRequest_;
    request.store = true;
    request.hacks.clear();
    for (const PortedHack& hack : port_->Hacks) {
        if (hack.Verdict == HackVerdict::Ported)
            request.hacks.push_back(hack.Hack.HackNum);
    }
    CloseMerges();
    StartCheck(PortTabIndex, [request](AppState& own, Run& run) {
        RunJob(own, DatabaseUse::Writes, [&] { run.port = RunPort(own, request, run.Control()); });
    });
    run_->storing = true;
    SetStatus(PortTabIndex, tr("Storing..."));
}

void frmBoardCheck::ShowPort(const PortResult& result)
{
    port_ = result;
    portRows_.clear();
    QList<QStringList> rows;
    for (size_t h = 0; h < result.Hacks.size(); ++h) {
        const PortedHack& hack = result.Hacks[h];
        rows << HackRow(hack);
        portRows_.push_back({int(h), -1});
        for (size_t m = 0; m < hack.Mods.size(); ++m) {
            rows << ModRow(hack.Mods[m]);
            portRows_.push_back({int(h), int(m)});
        }
    }
    fgPort->SetItems(rows);
    for (int row = 1; row < fgPort->Rows(); ++row) {
        const auto [h, m] = PortRowOf(row);
        const PortedHack& hack = result.Hacks[size_t(h)];
        if (m < 0)
            fgPort->SetRowColor(row, hack.Verdict == HackVerdict::Ported ? PortedText : NeedsPersonText);
        else if (hack.Mods[size_t(m)].Verdict == ModVerdict::NeedsPerson)
            fgPort->SetRowColor(row, NeedsPersonText);
    }
    fgPort->FitColumns(fgPort->viewport()->width());
    cmdStorePorted->setEnabled(!IsChecking() && CanStore());
    cmdResolveMod->setEnabled(!IsChecking() && CanResolve(fgPort->Row()));
    int ported = 0, needPerson = 0;
    for (const PortedHack& hack : result.Hacks) {
        ported += hack.Verdict == HackVerdict::Ported;
        needPerson += hack.NeedPerson();
    }
    SetStatus(PortTabIndex,
              result.Cancelled ? tr("The port was cancelled; nothing was stored.")
                               : tr("%1 of %2 hacks port whole; mods that need a person: %3.")
                                     .arg(ported)
                                     .arg(result.Hacks.size())
                                     .arg(needPerson));
}

void frmBoardCheck::AfterStore(const PortResult& result)
{
    // The grid keeps every hack of the port; those stored (or no longer proved) show it.
    PortResult shown = *port_;
    for (const PortedHack& hack : result.Hacks) {
        for (PortedHack& row : shown.Hacks) {
            if (row.Hack.HackNum == hack.Hack.HackNum)
                row = hack;
        }
    }
    portStored_ = !result.Cancelled;
    ShowPort(shown);
    if (result.Cancelled)
        return SetStatus(PortTabIndex, tr("Storing was cancelled; nothing was stored."));
    const auto stored = std::count_if(
        result.Hacks.begin(), result.Hacks.end(), [](const PortedHack& hack) { return hack.StoredAs != 0; });
    SetStatus(PortTabIndex, tr("Ported hacks stored: %1.").arg(stored));
    if (stored == 0)
        return;
    main_.RefillShowingHackList(0);
    const QString to = portRequest_.to;
    if (QDir(to) == QDir(state_.SourceDir))
        return;
    const MsgAnswer answer = state_.dialogs.messageBox(
        tr("The ported hacks are stored beside their originals. Make the new release %1 the source folder now?\n\n"
           "Do so once the live board runs the new release. No other setting changes.")
            .arg(QDir::toNativeSeparators(to)),
        tr("New Source Folder"),
        MsgButtons::YesNo,
        MsgIcon::Question);
    if (answer != MsgAnswer::Yes)
        return;
    std::optional<OptionsValues> values = LoadOptions(state_);
    if (!values)
        return;
    values->SourceDir = to;
    ShowMessage(state_.dialogs, SaveOptions(state_, *values).message);
}

void frmBoardCheck::CloseMerges()
{
    for (const QPointer<frmPortMerge>& merge : merges_) {
        if (merge)
            CloseWindow(merge);
    }
    merges_.clear();
}

std::pair<int, int> frmBoardCheck::PortRowOf(int row) const
{
    if (row < 1 || row > int(portRows_.size()))
        return {-1, -1};
    return portRows_[size_t(row - 1)];
}

bool frmBoardCheck::CanResolve(int row) const
{
    const auto [h, m] = PortRowOf(row);
    if (!port_ || portStored_ || m < 0)
        return false;
    const PortedMod& mod = port_->Hacks[size_t(h)].Mods[size_t(m)];
    return !SupportFile(mod) && (mod.Verdict == ModVerdict::NeedsPerson || mod.Verdict == ModVerdict::ByPerson);
}

void frmBoardCheck::ResolveMod(int row)
{
    if (IsChecking() || !CanResolve(row))
        return;
    const auto [h, m] = PortRowOf(row);
    auto* view = new frmPortMerge(main_, portRequest_, port_->Hacks[size_t(h)], m);
    connect(view, &frmPortMerge::ModFinished, this, &frmBoardCheck::TakeFinishedMod);
    // Closing the view comes back here, whichever window was opened since.
    connect(view, &QObject::destroyed, this, [this] {
        if (auto* own = qobject_cast<QMdiSubWindow*>(WindowFrame(this)))
            main_.mdiArea()->setActiveSubWindow(own);
    });
    merges_ << view;
    main_.ShowChild(view);
    view->Load();
}

void frmBoardCheck::TakeFinishedMod(const PortedHack& hack, int modIndex, const ModRecord& mod)
{
    if (!port_ || portStored_)
        return;
    for (PortedHack& row : port_->Hacks) {
        if (row.Hack.HackNum != hack.Hack.HackNum)
            continue;
        row = hack;
        portRequest_.byPerson[{hack.Hack.HackNum, modIndex}] = mod;
        const int current = fgPort->Row();
        ShowPort(*port_);
        fgPort->SetRow(current);
        return;
    }
}

} // namespace zp
