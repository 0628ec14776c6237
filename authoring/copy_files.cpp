#include "authoring/copy_files.h"

#include "app/common.h"
#include "app/whole_file.h"

#include <QFile>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace zp {

namespace {

// Throws naming the file when the system could not open or read it (error is its error number).
void FailOnError(const QByteArray& path, int error)
{
    if (error != 0 && error != EFBIG)
        throw std::runtime_error(
            QStringLiteral("Unable to read %1: %2").arg(QFile::decodeName(path), SystemErrorText(error)).toStdString());
}

// Reads up to `size` bytes of a regular file, fewer only at its end.
qint64 ReadBlock(const OpenedFile& file, const QByteArray& path, char* data, qint64 size)
{
    const qint64 got = file.Read(data, size);
    FailOnError(path, got < 0 ? errno : 0);
    return got;
}

} // namespace

QString KindRefusal(mode_t mode)
{
    return S_ISLNK(mode) ? QStringLiteral("a symbolic link") : NotRegularText(mode);
}

FileBytes ReadChangedFile(const QByteArray& path, bool followLink)
{
    // What it holds now: one that changes meanwhile differs from the trial's result, which is
    // compared with it again.
    FileBytes read = ReadRegularFile(path, followLink, MaxChangedTextBytes);
    FailOnError(path, read.error);
    if (read.error == EFBIG)
        read.problem += QStringLiteral(", the most the recorder reads of a changed text file");
    return read;
}

bool SameRegularFiles(const QByteArray& first, const QByteArray& second)
{
    const OpenedFile a(first, true), b(second, false);
    FailOnError(first, a.Error());
    FailOnError(second, b.Error());
    if (!a.Problem().isEmpty() || !b.Problem().isEmpty() || a.Size() != b.Size())
        return false;
    constexpr qint64 kBlock = 1 << 16;
    QByteArray blockA(kBlock, Qt::Uninitialized), blockB(kBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 gotA = ReadBlock(a, first, blockA.data(), kBlock);
        const qint64 gotB = ReadBlock(b, second, blockB.data(), kBlock);
        if (gotA != gotB || std::memcmp(blockA.constData(), blockB.constData(), size_t(gotA)) != 0)
            return false;
        if (gotA < kBlock)
            return true;
    }
}

} // namespace zp
