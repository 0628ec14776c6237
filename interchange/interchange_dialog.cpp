#include "interchange/interchange_dialog.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "interchange/file_encoder_dialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

namespace zp {

InterchangeDialog::InterchangeDialog(AppState& state, QWidget* parent)
    : QDialog(parent)
    , prgProgress(new QProgressBar(this))
    , mnuEncoderProperties(new QAction(tr("File Encoding Control &Properties..."), this))
    , mnuEncoderAbout(new QAction(tr("&About the File Encoding Control..."), this))
    , state_(state)
{
    prgProgress->setRange(0, 100);
    prgProgress->setValue(0);
    // The control reports on the job's thread; the bar follows on the window's.
    fe.SetProgressHandler([bar = prgProgress](int32_t&, int32_t&, int16_t& Percent) {
        QMetaObject::invokeMethod(
            bar, [bar, percent = int(Percent)] { bar->setValue(percent); }, Qt::QueuedConnection);
    });
    SetFileEncoderAboutBox(fe, this);

    setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(mnuEncoderProperties);
    addAction(mnuEncoderAbout);
    connect(mnuEncoderProperties, &QAction::triggered, this, [this] {
        CFileEncoderPropPage page(fe, this);
        page.exec();
    });
    connect(mnuEncoderAbout, &QAction::triggered, this, [this] { fe.Invoke(FileEncoder::dispidAboutBox); });
    connect(&job_, &BackgroundJob::Finished, this, &InterchangeDialog::EndJob);
}

void InterchangeDialog::RunJob(QPushButton* start, std::function<void()> job, std::function<void()> done)
{
    start_ = start;
    done_ = std::move(done);
    start_->setEnabled(false);
    for (QAction* action : actions())
        action->setEnabled(false);
    prgProgress->setValue(0);
    setCursor(Qt::BusyCursor);
    job_.Start(std::move(job));
}

void InterchangeDialog::EndJob(const QString& error)
{
    unsetCursor();
    start_->setEnabled(true);
    for (QAction* action : actions())
        action->setEnabled(true);
    if (error.isEmpty())
        done_();
    else
        state_.dialogs.messageBox(tr("The job stopped with an unexpected error:\n\n%1").arg(error),
                                  windowTitle(),
                                  MsgButtons::OK,
                                  MsgIcon::Critical);
    emit JobFinished();
}

void InterchangeDialog::reject()
{
    if (!IsRunning())
        QDialog::reject();
}

void InterchangeDialog::closeEvent(QCloseEvent* event)
{
    if (IsRunning())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void OpenOutputFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace zp
