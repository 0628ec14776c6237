#include "engine/work_buffer.h"

#include "app/common.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <stdexcept>

namespace zp {

void WorkBuffer::SetText(QString text)
{
    text_ = FoldedText(std::move(text));
    selStart_ = 0;
    selLength_ = 0;
}

void WorkBuffer::ReplaceEach(const FoldedText::Ranges& ranges, QStringView with)
{
    text_.ReplaceEach(ranges, with);
    selStart_ = 0;
    selLength_ = 0;
}

void WorkBuffer::SetSelStart(qsizetype start)
{
    selStart_ = std::clamp<qsizetype>(start, 0, text_.size());
    selLength_ = std::min(selLength_, text_.size() - selStart_);
}

void WorkBuffer::SetSelLength(qsizetype length)
{
    selLength_ = std::clamp<qsizetype>(length, 0, text_.size() - selStart_);
}

void WorkBuffer::SetSelText(const QString& text)
{
    text_.Replace(selStart_, selLength_, text);
    selStart_ += text.size();
    selLength_ = 0;
}

void WorkBuffer::LoadFile(const QString& path)
{
    SetText(QString()); // the old text goes before the new one is read
    QFile file;
    if (const QString refusal = OpenRegularFile(file, path); !refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(path, refusal).toStdString());
    BoardText board = DecodeBoardText(file.readAll());
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()).toStdString());
    SetText(std::move(board.text));
    encoding_ = board.encoding;
    bom_ = board.bom;
}

void WorkBuffer::SaveFile(const QString& path, bool lfOnly, bool startWriteBack) const
{
    // Made afresh (a file saved again is removed first): O_EXCL never writes through a link
    // planted at the name.
    QFile file(path);
    constexpr QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
    if (!file.open(mode) && QFile::remove(path))
        file.open(mode);
    if (!file.isOpen() || !WriteBoardText(file, text_.Parts(), encoding_, bom_, lfOnly)) {
        const QString reason = file.errorString();
        // A file cut short must not be taken for a written one.
        if (file.isOpen())
            file.remove();
        throw std::runtime_error(QStringLiteral("Unable to write %1: %2").arg(path, reason).toStdString());
    }
    if (startWriteBack)
        ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace zp
