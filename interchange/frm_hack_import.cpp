#include "interchange/frm_hack_import.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/hack_import.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace zp {

namespace {

// The file text the window starts with: diagImportPath, else the program folder.
QString LoadImportFile(AppState& state)
{
    Recordset& config = *state.ConfigRecordset;
    if (!config.IsOpen())
        config.Open(sql::SelectConfig);
    if (config.RecordCount() > 0 && !config.IsNull("diagImportPath"))
        return config.Text("diagImportPath");
    return state.ProgramFolder;
}

// The "..." button: asks for a hack file through state.dialogs. Returns the chosen path, or
// `current` when the user cancelled or chose a file that does not exist (with its message).
QString ChooseImportFile(AppState& state, const QString& current)
{
    Recordset& config = *state.ConfigRecordset;
    if (!config.IsOpen())
        config.Open(sql::SelectConfig);
    FileDialogOptions options;
    options.title = "Import Zenpatch File";
    // The captions as the program has always shown them, each with its patterns apart.
    options.filter = "All Files (*.*) (*);;Zenpatch Files (*.zpx,*.zpp) (*.zpx *.zpp)";
    options.filterIndex = 1;
    options.defaultExt = "zpx";
    options.initialDir = config.RecordCount() > 0 ? config.Text("diagImportPath") : QString();
    options.fileMustExist = true;
    QStringList chosen = state.dialogs.openFiles(options);
    if (chosen.isEmpty())
        return current;
    if (!FileExists(chosen.first())) {
        state.dialogs.messageBox(
            "Either the filename or path could not be found.", "Find/Path Not Found", MsgButtons::OK, MsgIcon::None);
        return current;
    }
    return chosen.first();
}

} // namespace

frmHackImport::frmHackImport(AppState& state, QWidget* parent)
    : InterchangeDialog(state, parent)
    , txtImpFile(new QLineEdit(this))
    , cmdImpFile(new QPushButton(tr("..."), this))
    , cmdStartImport(new QPushButton(tr("&Start Import"), this))
{
    setWindowTitle(tr("Hack Import"));
    auto* label = new QLabel(tr("&File to import"), this);
    label->setBuddy(txtImpFile);
    cmdImpFile->setAccessibleName(tr("Choose the file to import"));
    cmdImpFile->setToolTip(tr("Choose the file to import"));
    cmdImpFile->setAutoDefault(false);
    cmdImpFile->setMaximumWidth(cmdImpFile->fontMetrics().horizontalAdvance(cmdImpFile->text()) * 4);
    // Enter in the file box starts the import.
    cmdStartImport->setDefault(true);
    connect(cmdImpFile, &QPushButton::clicked, this, [this] {
        txtImpFile->setText(ChooseImportFile(state_, txtImpFile->text()));
    });
    connect(cmdStartImport, &QPushButton::clicked, this, &frmHackImport::Start);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(txtImpFile, 1, 0);
    layout->addWidget(cmdImpFile, 1, 1);
    layout->addWidget(prgProgress, 2, 0);
    layout->addWidget(cmdStartImport, 2, 1);
    txtImpFile->setMinimumWidth(fontMetrics().averageCharWidth() * 52);
    setMinimumSize(sizeHint());

    txtImpFile->setText(LoadImportFile(state));
    txtImpFile->setFocus();
}

void frmHackImport::Start()
{
    const QString path = txtImpFile->text();
    auto result = std::make_shared<ImportResult>(ImportResult {ImportOutcome::Stopped, std::nullopt});
    RunJob(
        cmdStartImport,
        [this, path, result] { *result = ImportHackFile(state_, path, &fe); },
        [this, result] {
            if (ShowImportEnd(state_.dialogs, *result) != ImportOutcome::Stopped)
                accept();
            else if (end == ImportWindowEnd::AlwaysClose)
                done(QDialog::Rejected);
        });
}

void ShowHackImport(MainFrame& main, const QString& file, ImportWindowEnd end)
{
    RunGuarded(main.State().dialogs, frmHackImport::tr("Hack Import"), [&main, &file, end] {
        frmHackImport window(main.State(), &main);
        window.end = end;
        if (!file.isEmpty()) {
            window.txtImpFile->setText(file);
            QTimer::singleShot(0, &window, &frmHackImport::Start);
        }
        window.exec();
    });
}

QString DroppedFile(const QMimeData* data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

} // namespace zp
