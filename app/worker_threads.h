#pragma once

#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace zp {

// A few threads that take jobs in the order they are handed in. A job's exception reaches whoever
// waits on its future.
class WorkerThreads
{
public:
    explicit WorkerThreads(int count);
    // Lets the jobs handed in finish, then ends the threads.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    std::future<void> Run(std::function<void()> job);

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::packaged_task<void()>> jobs_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

// Threads that work on board files: one more than the processors, as a file's thread often waits
// for the disk.
int BoardFileThreads();
// The program's board file threads (BoardFileThreads of them), started when first asked for and
// shared by every installation, analysis and diff, which run one at a time.
WorkerThreads& BoardFileWorkers();

// Jobs run on the board file threads whose ends are taken in the order the jobs were handed in, so
// that a log reads as if they had run one after the other. A few are under way at once; the
// jobs still under way are waited for when the queue goes.
template <typename Job>
class OrderedJobs
{
public:
    // report(job) runs on the calling thread once the job and every job before it are done; idle()
    // runs now and then while it waits (a window repaints).
    OrderedJobs(std::function<void(Job&)> report, std::function<void()> idle)
        : report_(std::move(report))
        , idle_(std::move(idle))
    {
    }
    ~OrderedJobs()
    {
        for (Entry& entry : entries_) {
            if (entry.done.valid())
                entry.done.wait();
        }
    }
    OrderedJobs(const OrderedJobs&) = delete;
    OrderedJobs& operator=(const OrderedJobs&) = delete;

    // Hands in a job, run(job) on a board file thread; then reports the jobs in front that are done.
    void Add(Job&& job, std::function<void(Job&)> run)
    {
        Entry& entry = entries_.emplace_back(Entry {std::move(job), {}});
        entry.done = BoardFileWorkers().Run([&entry, run = std::move(run)] { run(entry.job); });
        while (!entries_.empty()
               && (entries_.size() > size_t(BoardFileThreads()) + 1
                   || entries_.front().done.wait_for(std::chrono::seconds(0)) == std::future_status::ready))
            ReportFirst();
    }
    // Reports every job handed in, waiting for each.
    void Finish()
    {
        while (!entries_.empty())
            ReportFirst();
    }

private:
    struct Entry
    {
        Job job;
        std::future<void> done;
    };

    void ReportFirst()
    {
        Entry& first = entries_.front();
        while (first.done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            idle_();
        first.done.get();
        report_(first.job);
        entries_.pop_front();
    }

    std::function<void(Job&)> report_;
    std::function<void()> idle_;
    std::deque<Entry> entries_;
};

// Board file bytes that may be loaded at once across the worker threads of an installation or an
// analysis: a few ordinary files side by side, a large one alone.
constexpr qint64 kBoardBytesAtOnce = 32 * 1024 * 1024;

// Bytes of board files that may be in memory at once across the workers; a file larger than all of
// it waits until it is alone. Keeps a run over large files from holding several of them at once.
class ByteBudget
{
public:
    explicit ByteBudget(qint64 bytes)
        : free_(bytes)
        , whole_(bytes)
    {
    }
    void Take(qint64 bytes);
    void Give(qint64 bytes);

private:
    std::mutex mutex_;
    std::condition_variable returned_;
    qint64 free_;
    const qint64 whole_;
};

// The part of a budget one thread holds: taken once, given back however the thread leaves.
class BudgetShare
{
public:
    explicit BudgetShare(ByteBudget& budget)
        : budget_(budget)
    {
    }
    ~BudgetShare() { budget_.Give(bytes_); }
    BudgetShare(const BudgetShare&) = delete;
    BudgetShare& operator=(const BudgetShare&) = delete;
    void Take(qint64 bytes);

private:
    ByteBudget& budget_;
    qint64 bytes_ = 0;
};

} // namespace zp
