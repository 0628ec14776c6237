#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cerrno>

namespace zp {

// The bytes of one regular file, or why they were not read.
struct FileBytes
{
    QByteArray bytes;
    // Empty when the bytes were read; else "a symbolic link", "behind the symbolic link <folder>",
    // "not a regular file (a FIFO)", "larger than 64 MiB" or the system's reason.
    QString problem;
    // The system's error number when it could not open or read the file (ENOENT: it, or a folder on
    // its way, does not exist), EFBIG when it is larger than the limit; 0 when it was read or is no
    // regular file.
    int error = 0;

    bool Read() const { return problem.isEmpty(); }
    bool Missing() const { return error == ENOENT; }
};

// A file opened for reading without waiting (a FIFO never holds the opener up), with what the
// opened descriptor is: what is checked is what is read. Closed when it goes.
class OpenedFile
{
public:
    // `path` as the system names it (QFile::encodeName), so that a name that is not UTF-8 opens too.
    // A symbolic link named by `path` is followed only with `followLink`; else it is refused.
    OpenedFile(const QByteArray& path, bool followLink);
    // Takes over the descriptor an open gave, or -1 and the error number of the open that failed.
    OpenedFile(int fd, int openError);
    ~OpenedFile();
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    // Empty for a regular file; else "a symbolic link", "not a regular file (a FIFO)" or the
    // system's reason, which Error() gives as a number.
    const QString& Problem() const { return problem_; }
    int Error() const { return error_; }
    qint64 Size() const { return size_; }
    // Reads up to `size` bytes, fewer only at the end of the file; -1 (errno set) when it fails.
    qint64 Read(char* data, qint64 size) const;

private:
    void Take(int fd, int openError);

    int fd_ = -1;
    int error_ = 0;
    qint64 size_ = 0;
    QString problem_;
};

// Reads the file at `path` through one descriptor, opened without waiting. What the opened
// descriptor is decides: anything but a regular file is refused, and so is a file of more than
// `limit` bytes, without reading it. A symbolic link named by `path` is followed: the one who
// typed the path chose it.
FileBytes ReadRegularFile(const QString& path, qint64 limit);

// The same for a path as the system names it, following a symbolic link it names only with
// `followLink` (else it is refused as "a symbolic link").
FileBytes ReadRegularFile(const QByteArray& path, bool followLink, qint64 limit);

// The same for root + "/" + relative, where the folders and the file below root are opened one by
// one, each relative to the one before and without following a symbolic link: a link anywhere below
// root is refused, also one planted while the file is read. A ".." in `relative` is refused.
FileBytes ReadRegularFileBelow(const QString& root, const QString& relative, qint64 limit);

} // namespace zp
