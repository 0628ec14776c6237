#include "authoring/frm_record_hack.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/configuration.h"
#include "app/dialogs.h"
#include "authoring/patch_apply.h"
#include "authoring/step_instructions.h"
#include "catalogue/frm_edit_hack.h"
#include "core/catalogue_operations.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

namespace zp {

namespace {

constexpr int WidthTwips = 9000;
constexpr int HeightTwips = 7200;
constexpr int MinimumWidthTwips = 7200;
constexpr int MinimumHeightTwips = 6000;
constexpr int ProgressMilliseconds = 100;
const QColor NotRecordedText(Qt::red);

enum class Source { Edited, Patch, Instructions };

} // namespace

// What a recording and the window share: its progress, its cancel flag and its result.
struct frmRecordHack::Run
{
    std::atomic<bool> cancel {false};
    std::atomic<int> done {0};
    std::atomic<int> total {0};
    RecordResult result;
};

frmRecordHack::frmRecordHack(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , txtOriginal(new QLineEdit(this))
    , cmdBrowseOriginal(new QPushButton(tr("Browse..."), this))
    , optEdited(new QRadioButton(tr("E&dited folder:"), this))
    , txtEdited(new QLineEdit(this))
    , cmdBrowseEdited(new QPushButton(tr("Browse..."), this))
    , optPatch(new QRadioButton(tr("&Patch file:"), this))
    , txtPatch(new QLineEdit(this))
    , cmdBrowsePatch(new QPushButton(tr("Browse..."), this))
    , optInstructions(new QRadioButton(tr("&Instructions file:"), this))
    , txtInstructions(new QLineEdit(this))
    , cmdBrowseInstructions(new QPushButton(tr("Browse..."), this))
    , txtName(new QLineEdit(tr("New Hack"), this))
    , cmbType(new QComboBox(this))
    , cmbEol(new QComboBox(this))
    , chkPartial(new QCheckBox(tr("&Keep what can be recorded when some files cannot"), this))
    , cmdRecord(new QPushButton(tr("&Record"), this))
    , cmdCancel(new QPushButton(tr("C&ancel"), this))
    , cmdOpenEditor(new QPushButton(tr("Open in &Editor"), this))
    , fgFiles(new FlexGrid({{tr("File"), 3600, Qt::AlignLeft | Qt::AlignVCenter},
                            {tr("Mods"), 1100, Qt::AlignRight | Qt::AlignVCenter},
                            {tr("Not recorded because"), 3600, Qt::AlignLeft | Qt::AlignVCenter}},
                           this))
    , prgRecord(new QProgressBar(this))
    , lblStatus(new QLabel(this))
    , main_(main)
    , state_(main.State())
    , progress_(new QTimer(this))
{
    setWindowTitle(tr("New Hack from Changes"));
    cmbType->addItems({tr("Ultimate Bulletin Board"), tr("vBulletin")});
    cmbEol->addItems({tr("CR/LF"), tr("LF")});
    optEdited->setChecked(true);
    auto* sources = new QButtonGroup(this);
    for (QRadioButton* option : {optEdited, optPatch, optInstructions})
        sources->addButton(option);
    cmdBrowseOriginal->setAccessibleName(tr("Browse for the original folder"));
    cmdBrowseEdited->setAccessibleName(tr("Browse for the edited folder"));
    cmdBrowsePatch->setAccessibleName(tr("Browse for the patch file"));
    cmdBrowseInstructions->setAccessibleName(tr("Browse for the instructions file"));
    txtEdited->setAccessibleName(tr("Edited folder"));
    txtPatch->setAccessibleName(tr("Patch file"));
    txtInstructions->setAccessibleName(tr("Instructions file"));
    fgFiles->setAccessibleName(tr("Recorded files"));

    const auto browseFolder = [this](QLineEdit* field, const QString& title) {
        const QString folder = state_.dialogs.chooseFolder(title, field->text());
        if (!folder.isEmpty())
            field->setText(folder);
    };
    const auto browseFile
        = [this](QLineEdit* field, QRadioButton* option, const QString& title, const QString& filter) {
              FileDialogOptions options;
              options.title = title;
              options.filter = filter;
              options.initialDir = QFileInfo(field->text()).path();
              options.fileMustExist = true;
              const QStringList files = state_.dialogs.openFiles(options);
              if (!files.isEmpty()) {
                  field->setText(files.first());
                  option->setChecked(true);
              }
          };
    connect(cmdBrowseOriginal, &QPushButton::clicked, this, [=, this] {
        browseFolder(txtOriginal, tr("Original Board Folder"));
    });
    connect(cmdBrowseEdited, &QPushButton::clicked, this, [=, this] {
        browseFolder(txtEdited, tr("Edited Board Folder"));
        optEdited->setChecked(!txtEdited->text().isEmpty());
    });
    connect(cmdBrowsePatch, &QPushButton::clicked, this, [=, this] {
        browseFile(txtPatch, optPatch, tr("Patch File"), tr("Patches (*.diff *.patch);;All Files (*)"));
    });
    connect(cmdBrowseInstructions, &QPushButton::clicked, this, [=, this] {
        browseFile(txtInstructions, optInstructions, tr("Instructions File"), tr("Text Files (*.txt);;All Files (*)"));
    });
    connect(txtEdited, &QLineEdit::textEdited, optEdited, [this] { optEdited->setChecked(true); });
    connect(txtPatch, &QLineEdit::textEdited, optPatch, [this] { optPatch->setChecked(true); });
    connect(txtInstructions, &QLineEdit::textEdited, optInstructions, [this] { optInstructions->setChecked(true); });
    connect(cmdRecord, &QPushButton::clicked, this, &frmRecordHack::StartRecord);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { run_->cancel = true; });
    connect(cmdOpenEditor, &QPushButton::clicked, this, [this] {
        if (FindHack(state_, QString::number(stored_)))
            ShowHackEditor(main_);
    });
    connect(&job_, &BackgroundJob::Finished, this, &frmRecordHack::EndRecord);
    progress_->setInterval(ProgressMilliseconds);
    connect(progress_, &QTimer::timeout, this, [this] {
        prgRecord->setRange(0, run_->total);
        prgRecord->setValue(run_->done);
    });

    auto* form = new QGridLayout;
    form->addWidget(BuddyLabel(tr("&Original folder:"), txtOriginal, this), 0, 0);
    form->addWidget(txtOriginal, 0, 1);
    form->addWidget(cmdBrowseOriginal, 0, 2);
    const std::tuple<QRadioButton*, QLineEdit*, QPushButton*> rows[]
        = {{optEdited, txtEdited, cmdBrowseEdited},
           {optPatch, txtPatch, cmdBrowsePatch},
           {optInstructions, txtInstructions, cmdBrowseInstructions}};
    int row = 1;
    for (const auto& [option, field, browse] : rows) {
        form->addWidget(option, row, 0);
        form->addWidget(field, row, 1);
        form->addWidget(browse, row++, 2);
    }
    form->addWidget(BuddyLabel(tr("&Name:"), txtName, this), row, 0);
    form->addWidget(txtName, row++, 1, 1, 2);
    auto* options = new QHBoxLayout;
    options->addWidget(BuddyLabel(tr("&Type:"), cmbType, this));
    options->addWidget(cmbType);
    options->addWidget(BuddyLabel(tr("&Line ends:"), cmbEol, this));
    options->addWidget(cmbEol);
    options->addStretch(1);
    form->addLayout(options, row++, 0, 1, 3);
    form->addWidget(chkPartial, row++, 0, 1, 3);
    form->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgRecord, 1);
    buttons->addWidget(cmdRecord);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdOpenEditor);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(BuddyLabel(tr("&Files:"), fgFiles, this));
    layout->addWidget(fgFiles, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
    fgFiles->setMinimumHeight(fontMetrics().height() * 5);
    lblStatus->setWordWrap(true);
    prgRecord->setTextVisible(false);
    setMinimumSize(minimumSizeHint().expandedTo(
        QSize(TwipsToPixels(MinimumWidthTwips, this), TwipsToPixels(MinimumHeightTwips, this))));
    SetRecording(false);
    cmdOpenEditor->setEnabled(false);

    // Enter records; Escape closes the window (a recording still going stops).
    cmdRecord->setDefault(true);
    for (QLineEdit* field : {txtOriginal, txtEdited, txtPatch, txtInstructions, txtName})
        connect(field, &QLineEdit::returnPressed, cmdRecord, &QPushButton::click);
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Cancel);
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(close, &QAction::triggered, this, [this] { CloseWindow(this); });
    addAction(close);
}

frmRecordHack::~frmRecordHack()
{
    if (run_)
        run_->cancel = true;
}

void frmRecordHack::Load()
{
    ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
    CenterInParent(this);
    txtOriginal->setText(state_.SourceDir);
    cmbType->setCurrentIndex(state_.cfgDefHackType == QStringLiteral("1") ? 1 : 0);
    cmbEol->setCurrentIndex(state_.cfgEOL == 1 ? 1 : 0);
    txtEdited->setFocus();
}

void frmRecordHack::StartRecord()
{
    if (!cmdRecord->isEnabled())
        return;
    const Source source = optEdited->isChecked() ? Source::Edited
        : optPatch->isChecked()                  ? Source::Patch
                                                 : Source::Instructions;
    const QString input = (source == Source::Edited      ? txtEdited
                               : source == Source::Patch ? txtPatch
                                                         : txtInstructions)
                              ->text()
                              .trimmed();
    RecordRequest request;
    request.originalRoot = txtOriginal->text().trimmed();
    request.hackType = cmbType->currentIndex();
    request.lfLineEnds = cmbEol->currentIndex() == 1;
    request.partial = chkPartial->isChecked();
    request.info = RecordedHackInfo(state_, txtName->text().trimmed());
    if (request.originalRoot.isEmpty() || !DirExists(request.originalRoot))
        return Message(tr("Choose the folder of the original board first."));
    if (input.isEmpty())
        return Message(tr("Choose the edited folder, the patch file or the instructions file first."));
    if (source != Source::Instructions && txtName->text().trimmed().isEmpty())
        return Message(tr("Give the new hack a name first."));
    if (txtName->text().trimmed().isEmpty())
        request.info.Name.reset();

    run_ = std::make_shared<Run>();
    stored_ = 0;
    cmdOpenEditor->setEnabled(false);
    fgFiles->SetRows(1);
    lblStatus->setText(tr("Recording..."));
    SetRecording(true);
    // The recording writes the database: on a connection and a state of its own, so that the
    // windows keep theirs.
    job_.StartOnOwnState(state_, [run = run_, request, source, input](AppState& own) {
        const RecordProgress progress = [&run = *run](int done, int total) {
            run.total = total;
            run.done = done;
            return !run.cancel;
        };
        run->result = RecordAsJob(own, [&] {
            switch (source) {
            case Source::Edited:
                return Record(own, request, CompareFolders(request.originalRoot, input), progress);
            case Source::Patch:
                return RecordPatch(own, request, input);
            case Source::Instructions:
                break;
            }
            return ImportText(own, request, input);
        });
    });
}

void frmRecordHack::EndRecord(const QString& error)
{
    SetRecording(false);
    if (!error.isEmpty()) {
        lblStatus->clear();
        return Message(tr("The recording stopped: %1").arg(error));
    }
    ShowResult(run_->result);
}

void frmRecordHack::ShowResult(const RecordResult& result)
{
    fgFiles->SetRows(1);
    for (const RecordedFile& file : result.files) {
        const QString mods = file.supportFile ? tr("support file") : QString::number(file.mods);
        fgFiles->AddItem({file.relativePath, file.Recorded() ? mods : QString(), file.reason});
        if (!file.Recorded())
            fgFiles->SetRowColor(fgFiles->Rows() - 1, NotRecordedText);
    }
    fgFiles->FitColumns();
    switch (result.outcome) {
    case RecordOutcome::Stored:
        stored_ = result.hackNum;
        cmdOpenEditor->setEnabled(true);
        lblStatus->setText(tr("Stored as hack %1.").arg(result.hackNum));
        main_.RefillShowingHackList(result.hackNum);
        break;
    case RecordOutcome::NotRecorded:
        lblStatus->setText(result.error.isEmpty() ? tr("Nothing was stored: the files in red could not be recorded.")
                                                  : tr("Nothing was stored: %1.").arg(result.error));
        break;
    case RecordOutcome::NothingChanged:
        lblStatus->setText(tr("Nothing to record: no file differs."));
        break;
    case RecordOutcome::PromiseBroken:
        lblStatus->setText(tr("Nothing was stored: installing the recorded hack does not give the edited bytes of %1.")
                               .arg(result.brokenFile));
        break;
    case RecordOutcome::Cancelled:
        lblStatus->setText(tr("The recording was cancelled; nothing was stored."));
        break;
    case RecordOutcome::Halted:
        lblStatus->setText(tr("The recording stopped: %1").arg(result.error));
        break;
    }
}

void frmRecordHack::SetRecording(bool recording)
{
    cmdRecord->setEnabled(!recording);
    cmdCancel->setEnabled(recording);
    prgRecord->setRange(0, recording ? 0 : 1); // busy until the recording tells its number of files
    prgRecord->setValue(0);
    if (recording)
        progress_->start();
    else
        progress_->stop();
}

void frmRecordHack::Message(const QString& text)
{
    state_.dialogs.messageBox(text, windowTitle(), MsgButtons::OK, MsgIcon::Exclamation);
}

void frmRecordHack::closeEvent(QCloseEvent* event)
{
    // A recording still going stops at its next file; the job waits for it as the window goes.
    CloseWorkingWindow(this, event, false, unloaded_, [this] {
        if (run_)
            run_->cancel = true;
    });
}

frmRecordHack& ShowRecordHack(MainFrame& main)
{
    return ShowSingleWindow<frmRecordHack>(main);
}

} // namespace zp
