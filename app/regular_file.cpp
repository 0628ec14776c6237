#include "app/regular_file.h"

#include "app/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

bool OpenRegularFile(QFile& file, QString& reason)
{
    // O_NONBLOCK changes nothing for the reads of a regular file, so it stays set.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = SystemErrorText(errno);
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("Not a regular file");
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace zp
