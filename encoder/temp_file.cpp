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

// Five hexadecimal digits give this many names.
constexpr uint32_t kNames = 0x100000;

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
    // Names are tried from the tick on, each taken one passing to the next, through every name there
    // is: callers that make temporary files faster than one a millisecond (several programs sharing
    // the folder, or one in a loop) still get one. The exclusive create keeps two callers from ever
    // getting the same file.
    const uint32_t tick = tickCount();
    for (uint32_t attempt = 0; attempt < kNames; ++attempt) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%05X", (tick + attempt) % kNames);
        std::string path = folder + "~R" + digits;
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
