#pragma once

#include <QtGlobal>
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
