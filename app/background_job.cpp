#include "app/background_job.h"

#include "app/app_state.h"
#include "app/common.h"

#include <QScopeGuard>
#include <QThread>
#include <memory>

namespace zp {

BackgroundJob::~BackgroundJob()
{
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

void BackgroundJob::Start(std::function<void()> job)
{
    auto error = std::make_shared<QString>();
    thread_ = QThread::create([job = std::move(job), error] {
        try {
            job();
        } catch (const std::exception& e) {
            *error = QString::fromUtf8(e.what());
        } catch (...) {
            *error = QStringLiteral("unknown error");
        }
    });
    connect(thread_, &QThread::finished, this, [this, error] {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
        emit Finished(*error);
    });
    thread_->start();
}

void BackgroundJob::StartOnOwnState(const AppState& state, std::function<void(AppState&)> job)
{
    Start([folder = state.ProgramFolder, &dialogs = state.dialogs, job = std::move(job)] {
        AppState own(folder, dialogs);
        const auto close = qScopeGuard([&own] { CloseDatabase(own); });
        OpenDatabase(own);
        LoadConfiguration(own);
        job(own);
    });
}

} // namespace zp
