#include "encoder/byte_streams.h"

#include "encoder/vector_state.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zp {

FileReader::~FileReader()
{
    close();
}

bool FileReader::open(const std::string& path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    m_owned = true;
    return m_fd >= 0;
}

void FileReader::attach(int fd)
{
    close();
    m_fd = fd;
    m_owned = false;
}

void FileReader::close()
{
    if (m_owned && m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pos = m_end = 0;
    m_fetched = 0;
    m_failed = false;
}

bool FileReader::refill()
{
    m_pos = m_end = 0;
    if (m_fd < 0 || m_failed)
        return false;
    for (;;) {
        ssize_t got = ::read(m_fd, m_buffer, kBufferSize);
        if (got > 0) {
            m_end = static_cast<size_t>(got);
            m_fetched += m_end;
            if (m_observer)
                m_observer(m_fetched);
            // The block goes to the codecs and zlib next, whatever the caller or the observer ran.
            ClearUpperVectorState();
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        m_failed = got < 0;
        return false;
    }
}

size_t FileReader::readSlow(uint8_t* dst, size_t n)
{
    size_t done = 0;
    while (done < n) {
        if (m_pos == m_end && !refill())
            break;
        size_t take = std::min(n - done, m_end - m_pos);
        std::memcpy(dst + done, m_buffer + m_pos, take);
        m_pos += take;
        done += take;
    }
    return done;
}

namespace {

constexpr size_t kBackgroundBufferSize = 1 << 20;

// errno after a call that failed, never 0: a failure must stay one.
int LastError()
{
    return errno != 0 ? errno : EIO;
}

// Writes the bytes whole, repeating an interrupted call: 0, or the error that stopped it.
int WriteAll(int fd, const uint8_t* data, size_t n)
{
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? LastError() : EIO;
        data += put;
        n -= static_cast<size_t>(put);
    }
    return 0;
}

} // namespace

// The second thread and its two buffers: the caller fills one while the thread writes the other.
// One buffer at a time is handed over, and it stays untouched until it is written.
struct FileWriter::Background
{
    // A running thread, or nothing when the system gives no thread or no memory: the writer then
    // writes its buffers itself. (A POSIX thread: std::thread's instances would be exported by the
    // library.)
    static std::unique_ptr<Background> Start(int fd)
    {
        std::unique_ptr<Background> background(new (std::nothrow) Background(fd));
        if (!background || !background->buffers[0] || !background->buffers[1]
            || pthread_create(&background->thread, nullptr, &Background::Run, background.get()) != 0)
            return nullptr;
        background->running = true;
        return background;
    }
    ~Background()
    {
        if (!running)
            return;
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        pthread_join(thread, nullptr);
    }

    // Waits until the buffer handed over before is written, then hands this one over.
    void hand(const uint8_t* data, size_t n)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return pending == nullptr; });
        pending = data;
        pendingLength = n;
        changed.notify_all();
    }
    // Waits until everything handed over is written.
    void drain()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return pending == nullptr; });
    }
    // The buffer to fill next: never the one being written.
    uint8_t* nextBuffer()
    {
        next ^= 1;
        return buffers[next].get();
    }

    const int fd;
    std::mutex mutex;
    std::condition_variable changed;
    const uint8_t* pending = nullptr;
    size_t pendingLength = 0;
    bool stop = false;
    std::atomic<int> error = 0; // of the first write that failed
    std::unique_ptr<uint8_t[]> buffers[2]
        = {std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kBackgroundBufferSize]),
           std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kBackgroundBufferSize])};
    int next = 1;

private:
    explicit Background(int fd)
        : fd(fd)
    {
    }

    pthread_t thread {};
    bool running = false;

    static void* Run(void* self)
    {
        static_cast<Background*>(self)->run();
        return nullptr;
    }
    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return pending != nullptr || stop; });
            if (pending == nullptr)
                return;
            lock.unlock();
            // After a failure the rest is not written; the failure is reported at the flush.
            if (error == 0)
                error = WriteAll(fd, pending, pendingLength);
            lock.lock();
            pending = nullptr;
            changed.notify_all();
        }
    }
};

FileWriter::FileWriter() = default;

FileWriter::~FileWriter()
{
    close();
}

bool FileWriter::create(const std::string& path)
{
    close();
    // Never through a symbolic link, nor into a file that has other names (a hard link planted
    // at the name): the bytes would land in someone else's file.
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    m_owned = true;
    struct stat st
    {
    };
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // An empty file is left as it is: on ext4 a truncation, even of nothing, makes the close
        // start writing the whole new file back at once (its guard for files rewritten in place).
        const int error = st.st_nlink > 1 ? EMLINK : st.st_size > 0 && ::ftruncate(m_fd, 0) != 0 ? errno : 0;
        if (error != 0) {
            ::close(m_fd);
            m_fd = -1;
            errno = error;
        }
    }
    m_error = m_fd < 0 ? LastError() : 0;
    return m_fd >= 0;
}

void FileWriter::attach(int fd)
{
    close();
    m_fd = fd;
    m_owned = false;
    m_error = 0;
}

bool FileWriter::flush()
{
    if (m_background) {
        m_background->drain();
        if (m_error == 0)
            m_error = m_background->error;
    }
    if (m_len > 0 && m_error == 0)
        m_error = WriteAll(m_fd, m_data, m_len);
    m_len = 0;
    // The caller learns why from errno, as from a write of its own.
    if (m_error != 0)
        errno = m_error;
    return m_error == 0;
}

bool FileWriter::failed() const
{
    return m_error != 0 || (m_background && m_background->error != 0);
}

void FileWriter::spill()
{
    if (!m_background && m_error == 0)
        m_background = Background::Start(m_fd);
    if (!m_background || m_error != 0) {
        flush();
        return;
    }
    m_background->hand(m_data, m_len);
    m_data = m_background->nextBuffer();
    m_capacity = kBackgroundBufferSize;
    m_len = 0;
}

void FileWriter::writeSlow(const uint8_t* src, size_t n)
{
    while (n > 0) {
        if (m_len == m_capacity)
            spill();
        const size_t take = std::min(n, m_capacity - m_len);
        std::memcpy(m_data + m_len, src, take);
        m_len += take;
        src += take;
        n -= take;
    }
}

bool FileWriter::close()
{
    if (m_fd < 0)
        return m_error == 0;
    flush();
    m_background.reset();
    m_data = m_buffer;
    m_capacity = kBufferSize;
    if (m_owned && ::close(m_fd) != 0 && m_error == 0)
        m_error = LastError();
    m_fd = -1;
    const int error = std::exchange(m_error, 0);
    if (error != 0)
        errno = error;
    return error == 0;
}

} // namespace zp
