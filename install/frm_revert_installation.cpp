#include "install/frm_revert_installation.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zp {

namespace {

constexpr int WidthTwips = 9000;
constexpr int HeightTwips = 6300;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;

} // namespace

frmRevertInstallation::frmRevertInstallation(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , lblBackups(new QLabel(tr("&Backups"), this))
    , fgBackups(new FlexGrid({{tr("Time"), 2100, Left}, {tr("Files"), 700, Right}, {tr("State"), 1800, Left}}, this))
    , lblLogCap(new QLabel(tr("Revert &Log"), this))
    , fgRevertLog(NewLogGrid(this))
    , cmdRevert(new QPushButton(tr("&Revert"), this))
    , cmdClose(new QPushButton(tr("&Close"), this))
    , state_(main.State())
    , log_(*fgRevertLog)
{
    setWindowTitle(tr("Revert Installation"));
    lblBackups->setBuddy(fgBackups);
    lblLogCap->setBuddy(fgRevertLog);
    // Four backups in view at the smallest size.
    fgBackups->setMinimumHeight(fgBackups->horizontalHeader()->sizeHint().height()
                                + 4 * fgBackups->verticalHeader()->defaultSectionSize() + 2 * fgBackups->frameWidth());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {cmdRevert, cmdClose}) {
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblBackups);
    layout->addWidget(fgBackups, 1);
    layout->addWidget(lblLogCap);
    layout->addWidget(fgRevertLog, 2);
    layout->addLayout(buttons);

    connect(fgBackups, &FlexGrid::RowChanged, this, [this] { cmdRevert->setEnabled(SelectedBackup() != nullptr); });
    connect(cmdRevert, &QPushButton::clicked, this, &frmRevertInstallation::Revert);
    connect(cmdClose, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    CloseOnEscape(this);
}

void frmRevertInstallation::Load()
{
    log_.Run(state_.dialogs, tr("Revert Installation"), [this] {
        if (!sized_) {
            ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
            CenterInParent(this);
            sized_ = true;
        }
        hackNum_ = state_.HackInfoRecordset->Int("HackNum");
        hackName_ = state_.HackInfoRecordset->Text("Name");
        setWindowTitle(tr("Revert Installation - %1").arg(hackName_));
        log_.Clear();
        FillBackups();
    });
}

void frmRevertInstallation::FillBackups(const QString& current)
{
    backups_ = ListBackups(state_.ProgramFolder, hackNum_);
    const QSignalBlocker quiet(fgBackups);
    fgBackups->SetRows(1);
    int row = 1;
    for (const BackupInfo& backup : backups_) {
        fgBackups->AddItem({TimeStamp(backup.time),
                            backup.files < 0 ? QString() : QString::number(backup.files),
                            tr(BackupStateText(backup.state))});
        if (backup.name == current)
            row = fgBackups->Rows() - 1;
    }
    fgBackups->SetRow(backups_.empty() ? 0 : row);
    cmdRevert->setEnabled(SelectedBackup() != nullptr);
}

// The selected backup when it can be reverted, else nullptr.
const BackupInfo* frmRevertInstallation::SelectedBackup() const
{
    const int row = fgBackups->Row();
    if (row < 1 || row > int(backups_.size()) || !backups_[row - 1].Revertible())
        return nullptr;
    return &backups_[row - 1];
}

void frmRevertInstallation::Revert()
{
    const BackupInfo* backup = SelectedBackup();
    if (!backup)
        return;
    const QString name = backup->name;
    const QString question = tr("Revert the installation of %1 made %2? Each file it replaced in %3 gets its backup "
                                "copy back and each file it created is removed; files changed since then are left "
                                "alone.")
                                 .arg(hackName_, TimeStamp(backup->time), QDir::toNativeSeparators(state_.SourceDir));
    if (state_.dialogs.messageBox(question, tr("Revert Installation"), MsgButtons::YesNoDefaultNo, MsgIcon::Exclamation)
        != MsgAnswer::Yes)
        return;
    cmdRevert->setEnabled(false);
    log_.Run(state_.dialogs, tr("Revert Installation"), [this, &name] {
        // The hack this window was opened for, whatever the list has selected since.
        ShowMessage(state_.dialogs, RevertInstallation(state_, hackNum_, name, {}, log_).message);
        FillBackups(name);
    });
}

void frmRevertInstallation::closeEvent(QCloseEvent* event)
{
    CloseWorkingWindow(this, event, log_.Running(), unloaded_, [] {});
}

frmRevertInstallation& ShowRevertInstallation(MainFrame& main)
{
    const bool open = FindWorkingWindow<frmRevertInstallation>(main.mdiArea()) != nullptr;
    frmRevertInstallation& window = ShowSingleWindow<frmRevertInstallation>(main);
    if (open)
        window.Load();
    return window;
}

} // namespace zp
