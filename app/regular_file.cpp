#include "app/regular_file.h"

#include "app/common.h"
#include "app/whole_file.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

FileBytes Problem(const QString& problem, int error = 0)
{
    return FileBytes {QByteArray(), problem, error};
}

FileBytes SystemProblem(int error)
{
    return Problem(SystemErrorText(error), error);
}

// ELOOP: a symbolic link opened without following it, or a loop of links; either is refused as a link.
FileBytes OpenProblem(int error)
{
    return error == ELOOP ? Problem(QStringLiteral("a symbolic link")) : SystemProblem(error);
}

FileBytes TooLarge(qint64 limit)
{
    return Problem(limit >= (qint64(1) << 20) ? QStringLiteral("larger than %1 MiB").arg(limit >> 20)
                                              : QStringLiteral("larger than %1 bytes").arg(limit),
                   EFBIG);
}

// The whole of an opened regular file within the limit.
FileBytes ReadWhole(const OpenedFile& file, qint64 limit)
{
    if (!file.Problem().isEmpty())
        return Problem(file.Problem(), file.Error());
    if (file.Size() > limit)
        return TooLarge(limit);
    FileBytes result;
    result.bytes.resize(qsizetype(file.Size()) + 1); // one more: a file that grew is seen
    qsizetype done = 0;
    for (;;) {
        const qint64 got = file.Read(result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0)
            return SystemProblem(errno);
        if ((done += qsizetype(got)) < result.bytes.size()) {
            result.bytes.resize(done);
            return result;
        }
        if (done > limit)
            return TooLarge(limit);
        result.bytes.resize(qsizetype(std::min<qint64>(limit + 1, 2 * qint64(done))));
    }
}

} // namespace

OpenedFile::OpenedFile(const QByteArray& path, bool followLink)
{
    const int fd = ::open(path.constData(), kReadFlags | (followLink ? 0 : O_NOFOLLOW));
    Take(fd, errno);
}

OpenedFile::OpenedFile(int fd, int openError)
{
    Take(fd, openError);
}

void OpenedFile::Take(int fd, int openError)
{
    fd_ = fd;
    struct stat info
    {
    };
    FileBytes problem;
    if (fd < 0)
        problem = OpenProblem(openError);
    else if (::fstat(fd, &info) != 0)
        problem = SystemProblem(errno);
    else
        problem.problem = NotRegularText(info.st_mode);
    problem_ = problem.problem;
    error_ = problem.error;
    size_ = info.st_size;
}

OpenedFile::~OpenedFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

qint64 OpenedFile::Read(char* data, qint64 size) const
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd_, data + done, size_t(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

FileBytes ReadRegularFile(const QString& path, qint64 limit)
{
    return ReadRegularFile(QFile::encodeName(path), true, limit);
}

FileBytes ReadRegularFile(const QByteArray& path, bool followLink, qint64 limit)
{
    return ReadWhole(OpenedFile(path, followLink), limit);
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
    return ReadWhole(OpenedFile(fd, error), limit);
}

} // namespace zp
