#include "encoder/temp_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

constexpr int kAttempts = 256;

uint32_t tickCount()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

bool isFolder(const char* path)
{
    struct stat st
    {
    };
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string TempFolder()
{
    for (const char* name : {"TMP", "TEMP"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return isFolder(value) ? value : "/tmp";
    }
    return "/tmp";
}

std::string MakeTempFile(const std::string& extension)
{
    std::string folder = TempFolder();
    if (folder.back() != '/')
        folder += '/';
    uint32_t tick = tickCount();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", tick + static_cast<uint32_t>(attempt));
        std::string path = folder + "~R" + (digits + 3);
        if (!extension.empty())
            path += "." + extension;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            break;
    }
    return {};
}

} // namespace zp
