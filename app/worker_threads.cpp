#include "app/worker_threads.h"

#include <QThread>
#include <algorithm>
#include <malloc.h>

namespace zp {

int BoardFileThreads()
{
    return std::clamp(QThread::idealThreadCount() + 1, 2, 8);
}

WorkerThreads& BoardFileWorkers()
{
    static WorkerThreads workers([] {
        // Every board file takes and gives back buffers of its own size (its bytes, its text, the
        // folded text). Mapped afresh for each file, and handed back to the system each time a
        // thread's heap shrinks, they cost a page fault per page, more than reading the file does:
        // buffers up to 8 MiB stay in the heap, and a heap keeps up to 32 MiB for the next file.
        mallopt(M_MMAP_THRESHOLD, 8 << 20);
        mallopt(M_TRIM_THRESHOLD, 32 << 20);
        return BoardFileThreads();
    }());
    return workers;
}

WorkerThreads::WorkerThreads(int count)
{
    for (int i = 0; i < count; ++i)
        threads_.emplace_back([this] { Work(); });
}

WorkerThreads::~WorkerThreads()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

std::future<void> WorkerThreads::Run(std::function<void()> job)
{
    std::packaged_task<void()> task(std::move(job));
    std::future<void> done = task.get_future();
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(task));
    }
    ready_.notify_one();
    return done;
}

void WorkerThreads::Work()
{
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            task = std::move(jobs_.front());
            jobs_.pop_front();
        }
        task();
    }
}

void ByteBudget::Take(qint64 bytes)
{
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [&] { return free_ == whole_ || bytes <= free_; });
    free_ -= bytes;
}

void ByteBudget::Give(qint64 bytes)
{
    {
        const std::lock_guard lock(mutex_);
        free_ += bytes;
    }
    returned_.notify_all();
}

void BudgetShare::Take(qint64 bytes)
{
    if (bytes_ == 0) {
        budget_.Take(bytes);
        bytes_ = bytes;
    }
}

} // namespace zp
