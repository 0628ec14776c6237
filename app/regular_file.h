#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace zp {

// The bytes of one regular file, or why they were not read.
struct FileBytes
{
    QByteArray bytes;
    // Empty when the bytes were read; else "a symbolic link", "behind the symbolic link <folder>",
    // "not a regular file (a FIFO)", "larger than 64 MiB" or the system's reason.
    QString problem;
    bool missing = false; // the file (or a folder on its way) does not exist

    bool Read() const { return problem.isEmpty(); }
};

// Reads the file at `path` through one descriptor, opened without waiting (a FIFO never holds the
// reader up). What the opened descriptor is decides: anything but a regular file is refused, and so
// is a file of more than `limit` bytes, without reading it. A symbolic link named by `path` is
// followed: the one who typed the path chose it.
FileBytes ReadRegularFile(const QString& path, qint64 limit);

// The same for root + "/" + relative, where the folders and the file below root are opened one by
// one, each relative to the one before and without following a symbolic link: a link anywhere below
// root is refused, also one planted while the file is read. A ".." in `relative` is refused.
FileBytes ReadRegularFileBelow(const QString& root, const QString& relative, qint64 limit);

// Opens file.fileName() for reading when it is a regular file (a link to one counts), else leaves
// it closed and sets `reason`: the system's text, or "Not a regular file". The open does not wait
// (a FIFO would hold it until a writer came) and the opened file is what is checked, so what is
// read is what was checked.
bool OpenRegularFile(QFile& file, QString& reason);

} // namespace zp
