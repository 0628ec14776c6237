#include "app/background_job.h"

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

} // namespace zp
