#include "app/regular_file.h"

#include "app/whole_file.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

FileBytes Problem(const QString& problem, bool missing = false)
{
    return FileBytes {QByteArray(), problem, missing};
}

FileBytes OpenProblem(int error)
{
    return Problem(error == ELOOP ? QStringLiteral("a symbolic link") : SystemErrorText(error), error == ENOENT);
}

QString KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("of an unknown kind");
}

QString TooLarge(qint64 limit)
{
    return limit >= (qint64(1) << 20) ? QStringLiteral("larger than %1 MiB").arg(limit >> 20)
                                      : QStringLiteral("larger than %1 bytes").arg(limit);
}

// Reads what the descriptor (which it closes) has opened, when that is a regular file within the limit.
FileBytes ReadOpened(int fd, qint64 limit)
{
    struct stat info
    {
    };
    FileBytes result;
    if (::fstat(fd, &info) != 0)
        result = Problem(SystemErrorText(errno));
    else if (!S_ISREG(info.st_mode))
        result = Problem(QStringLiteral("not a regular file (%1)").arg(KindOf(info.st_mode)));
    else if (info.st_size > limit)
        result = Problem(TooLarge(limit));
    else
        result.bytes.resize(qsizetype(info.st_size) + 1); // one more: a file that grew is seen
    qsizetype done = 0;
    while (result.Read() && done < result.bytes.size()) {
        const ssize_t got = ::read(fd, result.bytes.data() + done, size_t(result.bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            result = Problem(SystemErrorText(errno));
        else if (got == 0)
            result.bytes.resize(done);
        else if ((done += got) == result.bytes.size() && done <= limit)
            result.bytes.resize(qsizetype(std::min<qint64>(limit + 1, 2 * qint64(done))));
    }
    if (result.Read() && done > limit)
        result = Problem(TooLarge(limit));
    ::close(fd);
    return result;
}

} // namespace

bool OpenRegularFile(QFile& file, QString& reason)
{
    // O_NONBLOCK changes nothing for the reads of a regular file, so it stays set.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), kReadFlags);
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

FileBytes ReadRegularFile(const QString& path, qint64 limit)
{
    const int fd = ::open(QFile::encodeName(path).constData(), kReadFlags);
    return fd < 0 ? OpenProblem(errno) : ReadOpened(fd, limit);
}

FileBytes ReadRegularFileBelow(const QString& root, const QString& relative, qint64 limit)
{
    QStringList elements = relative.split(u'/', Qt::SkipEmptyParts);
    elements.removeAll(QStringLiteral("."));
    if (elements.isEmpty() || elements.contains(QStringLiteral("..")))
        return Problem(QStringLiteral("a path that leads out of %1").arg(root));
    int folder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return OpenProblem(errno);
    QString path;
    for (qsizetype i = 0; i + 1 < elements.size(); ++i) {
        path += (path.isEmpty() ? QString() : QStringLiteral("/")) + elements[i];
        const QByteArray name = QFile::encodeName(elements[i]);
        const int next = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        struct stat st
        {
        };
        const bool link
            = next < 0 && ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
        ::close(folder);
        if (link)
            return Problem(QStringLiteral("behind the symbolic link %1").arg(path));
        if (next < 0)
            return OpenProblem(error);
        folder = next;
    }
    const int fd = ::openat(folder, QFile::encodeName(elements.last()).constData(), kReadFlags | O_NOFOLLOW);
    const int error = errno;
    ::close(folder);
    return fd < 0 ? OpenProblem(error) : ReadOpened(fd, limit);
}

} // namespace zp
