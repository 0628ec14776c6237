#pragma once

#include "app/background_job.h"
#include "encoder/file_encoder.h"

#include <QDialog>
#include <functional>

class QAction;
class QProgressBar;
class QPushButton;

namespace zp {

struct AppState;

// What the export and import windows share: the encoding control `fe` (Encoding 0, not visible),
// whose property page and About box the window's context menu offers; a progress bar that follows
// the control's Progress event; and the job, which runs in the background while the window keeps
// answering. While a job runs its Start button is disabled and the window cannot be closed.
class InterchangeDialog : public QDialog
{
    Q_OBJECT

public:
    bool IsRunning() const { return job_.IsRunning(); }

    FileEncoder fe;
    QProgressBar* prgProgress;
    QAction* mnuEncoderProperties;
    QAction* mnuEncoderAbout;

signals:
    // A job has ended and the window has acted on its outcome.
    void JobFinished();

protected:
    InterchangeDialog(AppState& state, QWidget* parent);

    // Runs `job` in the background with `start` disabled, then `done` on the window thread. An
    // error that escaped the job is shown instead, with the window left open.
    void RunJob(QPushButton* start, std::function<void()> job, std::function<void()> done);

    void reject() override;
    void closeEvent(QCloseEvent* event) override;

    AppState& state_;

private:
    void EndJob(const QString& error);

    QPushButton* start_ = nullptr;
    std::function<void()> done_;
    BackgroundJob job_; // after fe: a running job ends before the control goes
};

// Opens a finished export's folder in the desktop's file manager.
void OpenOutputFolder(const QString& folder);

} // namespace zp
