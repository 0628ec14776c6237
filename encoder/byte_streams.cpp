#include "encoder/byte_streams.h"

#include "encoder/vector_state.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    m_failed = m_fd < 0;
    return m_fd >= 0;
}

void FileWriter::attach(int fd)
{
    close();
    m_fd = fd;
    m_owned = false;
    m_failed = false;
}

bool FileWriter::flush()
{
    size_t done = 0;
    while (done < m_len && !m_failed) {
        ssize_t put = ::write(m_fd, m_buffer + done, m_len - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            m_failed = true;
        else
            done += static_cast<size_t>(put);
    }
    m_len = 0;
    return !m_failed;
}

void FileWriter::writeSlow(const uint8_t* src, size_t n)
{
    while (n > 0) {
        if (m_len == kBufferSize)
            flush();
        size_t take = std::min(n, kBufferSize - m_len);
        std::memcpy(m_buffer + m_len, src, take);
        m_len += take;
        src += take;
        n -= take;
    }
}

bool FileWriter::close()
{
    if (m_fd < 0)
        return !m_failed;
    flush();
    if (m_owned && ::close(m_fd) != 0)
        m_failed = true;
    m_fd = -1;
    bool ok = !m_failed;
    m_failed = false;
    return ok;
}

} // namespace zp
