#include "publish/remote_workers.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace zp {

RemoteWorkers::RemoteWorkers(const Server& server, const ConnectOptions& connect, int count)
{
    std::optional<QString> secret;
    ConnectOptions first = connect;
    if (connect.askSecret) {
        first.askSecret = [&](const QString& prompt) { return secret = connect.askSecret(prompt); };
    }
    workers_.push_back({std::make_unique<RemoteSession>(server, first), nullptr});
    ConnectOptions again = connect;
    again.acceptUnknownHost = nullptr; // known by now, or refused already
    again.askSecret = [&secret](const QString&) { return secret; };
    // The others connect side by side: each key exchange and sign-in waits for its own round trips.
    std::vector<std::unique_ptr<RemoteSession>> others(size_t(std::max(count - 1, 0)));
    std::vector<std::thread> threads;
    for (auto& other : others) {
        threads.emplace_back([&server, &again, &other] {
            try {
                other = std::make_unique<RemoteSession>(server, again);
            } catch (const RemoteError&) {
                // the server takes no more connections: fewer will do
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (auto& other : others) {
        if (other)
            workers_.push_back({std::move(other), nullptr});
    }
    for (Worker& worker : workers_)
        worker.files = std::make_unique<RemoteFiles>(*worker.session);
}

RemoteWorkers::~RemoteWorkers() = default;

void RemoteWorkers::ForgetFolders()
{
    for (Worker& worker : workers_)
        worker.files->ForgetFolders();
}

void RemoteWorkers::ForEach(int total,
                            const std::function<void(int, RemoteFiles&)>& job,
                            const std::function<void(int)>& done,
                            const std::function<bool()>& stop)
{
    if (workers_.size() == 1) {
        for (int index = 0; index < total && !stop(); ++index) {
            job(index, *workers_.front().files);
            done(index);
        }
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> finished(size_t(std::max(total, 0)), 0);
    std::atomic<int> next {0};
    std::atomic<bool> stopped {false};
    int running = int(workers_.size());
    std::vector<std::thread> threads;
    for (Worker& worker : workers_) {
        threads.emplace_back([&, files = worker.files.get()] {
            for (int index = next++; index < total && !stopped; index = next++) {
                job(index, *files);
                const std::lock_guard lock(mutex);
                finished[size_t(index)] = 1;
                changed.notify_all();
            }
            const std::lock_guard lock(mutex);
            --running;
            changed.notify_all();
        });
    }
    int reported = 0;
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait_for(lock, std::chrono::milliseconds(50));
        const bool over = running == 0;
        while (reported < total && finished[size_t(reported)]) {
            lock.unlock();
            done(reported++);
            lock.lock();
        }
        if (over)
            break;
        lock.unlock();
        if (stop())
            stopped = true;
        lock.lock();
    }
    lock.unlock();
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace zp
