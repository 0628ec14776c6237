#include "app/background_flush.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zp {

BackgroundFlush::~BackgroundFlush()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void BackgroundFlush::Add(int fd)
{
    struct stat file
    {
    };
    if (::fstat(fd, &file) != 0)
        return;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return;
    const std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            ::close(own);
            return;
        }
    }
    const FileId id {file.st_dev, file.st_ino};
    files_[id] = State::Pending;
    queue_.emplace_back(own, id);
    changed_.notify_all();
}

bool BackgroundFlush::Flushed(dev_t device, ino_t inode)
{
    std::unique_lock lock(mutex_);
    const auto file = files_.find({device, inode});
    if (file == files_.end())
        return false;
    changed_.wait(lock, [&] { return file->second != State::Pending; });
    return file->second == State::Done;
}

void BackgroundFlush::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        const auto [fd, id] = queue_.front();
        queue_.pop_front();
        lock.unlock();
        const bool flushed = ::fdatasync(fd) == 0;
        ::close(fd);
        lock.lock();
        files_[id] = flushed ? State::Done : State::Failed;
        changed_.notify_all();
    }
}

} // namespace zp
