#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <utility>

namespace zp {

// Flushes files to disk (fdatasync) one after another on a thread of its own while a job goes on
// writing others, so that the flush a batch of files needs before it is put in place is mostly done
// by the time the last file is written, and flushes only those files, whatever else the system has
// yet to write.
class BackgroundFlush
{
public:
    BackgroundFlush() = default;
    // Waits for the flushes under way.
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

    // Flushes the open file `fd` (a descriptor of its own: the caller may close `fd` at once).
    // Nothing happens when no thread or descriptor can be had; Flushed then says false.
    void Add(int fd);
    // Whether the file with this identity was flushed whole, waiting while its flush is under way;
    // false for a file that was never added or whose flush failed.
    bool Flushed(dev_t device, ino_t inode);

private:
    using FileId = std::pair<dev_t, ino_t>;
    enum class State { Pending, Done, Failed };

    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<int, FileId>> queue_; // descriptors to flush, in order
    std::map<FileId, State> files_;
    bool stopping_ = false;
    std::thread thread_; // started by the first Add
};

} // namespace zp
