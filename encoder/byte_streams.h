#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace zp {

// Told how many bytes of its file a reader has fetched so far, each time it fetches another block.
using ReadObserver = std::function<void(uint64_t bytesRead)>;

// Buffered reading of a file descriptor. The codecs read in small fixed blocks (16, 45, 512, 1024
// bytes); this layer turns those into one system call per 64 KiB.
class FileReader
{
public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    bool open(const std::string& path);
    // Takes a descriptor that the caller keeps open (fuzz drivers read from memory files).
    void attach(int fd);
    void close();
    void observe(ReadObserver observer) { m_observer = std::move(observer); }

    // Up to n bytes; fewer only at the end of the file or on a read error.
    size_t read(void* dst, size_t n)
    {
        if (n <= m_end - m_pos) {
            std::memcpy(dst, m_buffer + m_pos, n);
            m_pos += n;
            return n;
        }
        return readSlow(static_cast<uint8_t*>(dst), n);
    }
    // The next byte, or -1 at the end.
    int get()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return m_buffer[m_pos++];
    }
    int peek()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return m_buffer[m_pos];
    }
    bool failed() const { return m_failed; }

private:
    size_t readSlow(uint8_t* dst, size_t n);
    bool refill();

    static constexpr size_t kBufferSize = 64 * 1024;
    int m_fd = -1;
    bool m_owned = false;
    bool m_failed = false;
    size_t m_pos = 0;
    size_t m_end = 0;
    uint64_t m_fetched = 0;
    ReadObserver m_observer;
    uint8_t m_buffer[kBufferSize];
};

// Buffered writing of a file descriptor. Writers report failure once, when flushed or closed.
// Output of more than one buffer is written by a second thread while the caller fills the next
// buffer: copying a large output into the page cache took as long as reading and encoding it.
class FileWriter
{
public:
    FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    // Creates the file or truncates an existing one.
    bool create(const std::string& path);
    void attach(int fd);
    // Flushes and closes; false when any write failed.
    bool close();

    void write(const void* src, size_t n)
    {
        if (n <= m_capacity - m_len) {
            std::memcpy(m_data + m_len, src, n);
            m_len += n;
            return;
        }
        writeSlow(static_cast<const uint8_t*>(src), n);
    }
    void put(uint8_t byte)
    {
        if (m_len == m_capacity)
            spill();
        m_data[m_len++] = byte;
    }
    // Room for at least n (at most 4 KiB) bytes written directly; finish with commit().
    uint8_t* reserve(size_t n)
    {
        if (m_capacity - m_len < n)
            spill();
        return m_data + m_len;
    }
    void commit(size_t n) { m_len += n; }
    // Writes everything written so far; false when any write failed.
    bool flush();
    bool failed() const;

private:
    struct Background;

    void writeSlow(const uint8_t* src, size_t n);
    // Passes the full buffer on and carries on in an empty one.
    void spill();

    static constexpr size_t kBufferSize = 64 * 1024;
    int m_fd = -1;
    bool m_owned = false;
    int m_error = 0; // the errno of the first failure; 0 while none
    uint8_t* m_data = m_buffer;
    size_t m_capacity = kBufferSize;
    size_t m_len = 0;
    std::unique_ptr<Background> m_background;
    uint8_t m_buffer[kBufferSize];
};

// Collects output in memory (the text properties' buffer, tests); same interface as FileWriter.
class StringWriter
{
public:
    void write(const void* src, size_t n) { text.append(static_cast<const char*>(src), n); }
    void put(uint8_t byte) { text.push_back(static_cast<char>(byte)); }
    uint8_t* reserve(size_t n)
    {
        m_mark = text.size();
        text.resize(m_mark + n);
        return reinterpret_cast<uint8_t*>(text.data() + m_mark);
    }
    void commit(size_t n) { text.resize(m_mark + n); }

    std::string text;

private:
    size_t m_mark = 0;
};

} // namespace zp
