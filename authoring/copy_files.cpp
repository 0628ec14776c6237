#include "authoring/copy_files.h"

#include "app/whole_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

[[noreturn]] void FailToRead(const QByteArray& path, int error)
{
    throw std::runtime_error(
        QStringLiteral("Unable to read %1: %2").arg(QFile::decodeName(path), SystemErrorText(error)).toStdString());
}

// A file opened for reading, with what fstat said of it; closed when it goes.
class OpenedFile
{
public:
    OpenedFile(const QByteArray& path, bool followLink)
        : path_(path)
    {
        const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
        fd_ = ::open(path.constData(), flags);
        // A link opened with O_NOFOLLOW fails: it is a link, not a file that cannot be read.
        if (fd_ < 0 && errno == ELOOP && !followLink) {
            info_.st_mode = S_IFLNK;
            return;
        }
        if (fd_ < 0 || ::fstat(fd_, &info_) != 0)
            FailToRead(path, errno);
    }
    ~OpenedFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    QString Refusal() const { return KindRefusal(info_.st_mode); }
    qint64 Size() const { return info_.st_size; }

    // Up to `size` bytes; fewer only at the end of the file.
    qint64 Read(char* data, qint64 size) const
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd_, data + done, size_t(size - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                FailToRead(path_, errno);
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    struct stat info_
    {
    };
};

} // namespace

QString KindRefusal(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return QString();
    case S_IFLNK:
        return QStringLiteral("a symbolic link");
    case S_IFIFO:
        return QStringLiteral("not a regular file (a FIFO)");
    case S_IFSOCK:
        return QStringLiteral("not a regular file (a socket)");
    case S_IFDIR:
        return QStringLiteral("not a regular file (a folder)");
    default:
        return QStringLiteral("not a regular file (a device)");
    }
}

FileBytes ReadRegularFile(const QByteArray& path, bool followLink, qint64 limit)
{
    FileBytes read;
    const OpenedFile file(path, followLink);
    read.reason = file.Refusal();
    if (!read.reason.isEmpty())
        return read;
    if (file.Size() > limit) {
        read.reason
            = QStringLiteral("larger than %1 MiB, the most the recorder reads of a changed text file").arg(limit >> 20);
        return read;
    }
    // What it holds now: one that changes meanwhile differs from the trial's result, which is
    // compared with it again.
    read.bytes.resize(file.Size());
    const qint64 size = file.Read(read.bytes.data(), read.bytes.size());
    read.bytes.truncate(size);
    return read;
}

bool SameRegularFiles(const QByteArray& first, const QByteArray& second)
{
    const OpenedFile a(first, true), b(second, false);
    if (!a.Refusal().isEmpty() || !b.Refusal().isEmpty() || a.Size() != b.Size())
        return false;
    constexpr qint64 kBlock = 1 << 16;
    QByteArray blockA(kBlock, Qt::Uninitialized), blockB(kBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 gotA = a.Read(blockA.data(), kBlock), gotB = b.Read(blockB.data(), kBlock);
        if (gotA != gotB || std::memcmp(blockA.constData(), blockB.constData(), size_t(gotA)) != 0)
            return false;
        if (gotA < kBlock)
            return true;
    }
}

} // namespace zp
