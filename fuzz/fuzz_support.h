#pragma once

#include "encoder/byte_streams.h"

#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace zp::fuzz {

// A file in memory, so that the file routines run on fuzz input without touching the disk.
class MemoryFile
{
public:
    explicit MemoryFile(const std::string& bytes = {})
        : m_fd(memfd_create("xcoder32-fuzz", MFD_CLOEXEC))
    {
        if (m_fd < 0 || ::write(m_fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        lseek(m_fd, 0, SEEK_SET);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd() const { return m_fd; }
    std::string contents() const
    {
        std::string bytes(static_cast<size_t>(lseek(m_fd, 0, SEEK_END)), '\0');
        if (pread(m_fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        return bytes;
    }

private:
    int m_fd;
};

struct StreamResult
{
    bool ok;
    std::string output;
};

// Runs a stream routine over bytes in memory.
template <class Routine>
StreamResult RunStream(Routine routine, const std::string& input)
{
    MemoryFile in(input);
    MemoryFile out;
    FileReader reader;
    reader.attach(in.fd());
    FileWriter writer;
    writer.attach(out.fd());
    bool ok = routine(reader, writer);
    ok = writer.close() && ok;
    return {ok, out.contents()};
}

// Stops the run with a crash report when an invariant does not hold.
inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace zp::fuzz
