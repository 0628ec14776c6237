#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QThread;

namespace zp {

struct AppState;

// Runs a window's job (an export, an import) on a thread of its own, so that the window keeps
// repainting and answering while it runs; one job at a time. The job's message boxes reach the
// user through the dialogs seam, which shows them on the window thread. A job that uses the shared
// state needs a window that is modal and cannot be closed until it ends; a job with a state and
// database connection of its own may belong to a window that closes meanwhile, since destroying
// the BackgroundJob waits for it.
class BackgroundJob : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Waits for a job that still runs.
    ~BackgroundJob() override;

    // Starts `job`. Finished follows on this object's thread, with the text of an exception that
    // escaped the job, or an empty text.
    void Start(std::function<void()> job);
    // Starts `job` on a state and database connection of its own, made from the program folder and
    // dialogs of `state` (its configuration loaded), so that the windows keep theirs while the job
    // selects hacks or writes; the connection closes when the job ends.
    void StartOnOwnState(const AppState& state, std::function<void(AppState&)> job);
    bool IsRunning() const { return thread_ != nullptr; }

signals:
    void Finished(const QString& error);

private:
    QThread* thread_ = nullptr;
};

} // namespace zp
