#pragma once

#include "app/regular_file.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <sys/types.h>

namespace zp {

// The files of the board copies a recording compares are read only when they are regular files: a
// FIFO or a device would never end a read. Each is opened without blocking and looked at through
// the opened file, so that one put in place of a regular file after the folders were listed is
// refused as well. A file of the edited copy is never read through a symbolic link. Paths are given
// as the system names them (QFile::encodeName), so that a name that is not UTF-8 is read too.

// Why a file of this kind is not recorded ("a symbolic link", "not a regular file (a FIFO)"); empty
// for a regular file.
QString KindRefusal(mode_t mode);

// How large a changed text file may be: the recorder holds its text, the edited text and the
// lines of both at once, several times the bytes.
inline constexpr qint64 MaxChangedTextBytes = qint64(256) << 20;

// Reads a changed file whole (up to MaxChangedTextBytes), following a symbolic link only with
// `followLink`. Throws std::runtime_error naming the file when the system cannot read it.
FileBytes ReadChangedFile(const QByteArray& path, bool followLink);

// Whether two files are regular files holding the same bytes, read a block at a time (the second
// never through a link). Throws std::runtime_error naming a file that cannot be read.
bool SameRegularFiles(const QByteArray& first, const QByteArray& second);

} // namespace zp
