#include "interchange/package_text.h"

#include "app/ansi_text.h"
#include "app/common.h"
#include "app/whole_file.h"
#include "encoder/vector_state.h"
#include "interchange/package_markers.h"

#include <QStringList>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace zp {

namespace {

const QByteArray LineEnd("\r\n");

// The longest piece of a line read at once.
constexpr qint64 LinePiece = qint64(1) << 20;

// A file names itself in the errors, any other device by its object name.
void Write(QIODevice& package, const char* bytes, qint64 size)
{
    if (!WriteFully(package, bytes, size)) {
        const auto* file = qobject_cast<QFileDevice*>(&package);
        throw std::runtime_error("Cannot write " + (file ? file->fileName() : package.objectName()).toStdString() + ": "
                                 + package.errorString().toStdString());
    }
}

void Write(QIODevice& file, const QByteArray& bytes)
{
    Write(file, bytes.constData(), bytes.size());
}

// Copies the lines of `encoded` with each one ended by CR LF: a line's LF, or the CR LF before it,
// or nothing when the last line has no end. A megabyte is read and written at a time; a CR at the
// end of one is held until the next shows whether an LF follows it.
void AppendLines(QIODevice& package, QFile& encoded)
{
    constexpr qint64 Block = qint64(1) << 20;
    QByteArray in(Block, Qt::Uninitialized);
    QByteArray out;
    out.reserve(2 * Block + 1); // every byte an LF, and a CR held from the block before
    bool heldCR = false;
    bool lineOpen = false; // bytes have come since the last LF
    for (;;) {
        const qint64 n = encoded.read(in.data(), Block);
        if (n < 0)
            throw std::runtime_error("Cannot read " + encoded.fileName().toStdString() + ": "
                                     + encoded.errorString().toStdString());
        if (n == 0)
            break;
        out.resize(0);
        const char* bytes = in.constData();
        for (qint64 start = 0; start < n;) {
            const char* lf = static_cast<const char*>(std::memchr(bytes + start, '\n', size_t(n - start)));
            const qint64 end = lf ? lf - bytes : n;
            if (end > start) {
                if (heldCR)
                    out += '\r';
                heldCR = bytes[end - 1] == '\r';
                out.append(bytes + start, end - start - (heldCR ? 1 : 0));
                lineOpen = true;
            }
            if (lf) {
                out += LineEnd;
                heldCR = lineOpen = false;
            }
            start = end + 1;
        }
        Write(package, out);
    }
    if (lineOpen)
        Write(package, LineEnd);
}

// The name of a block from its start marker line: the label is the text after the first "|"
// up to the next one; its first two period-separated pieces are base name and extension.
PackageBlock BlockName(const QByteArray& markerLine, bool& isDescription)
{
    QString label = DecodeAnsiOrUtf8(markerLine).section(QLatin1Char('|'), 1, 1);
    if (label.contains(QLatin1Char('/')) || label.contains(QLatin1Char('\\')) || label.contains(QLatin1String(".."))
        || label.contains(QChar(0)))
        throw RefusedPackageError("unsafe block label: " + label.toStdString());
    QStringList pieces = label.split(QLatin1Char('.'));
    if (pieces.size() < 2)
        throw PackageError(9, "Subscript out of range (block label \"" + label + "\" has no extension)");
    isDescription = pieces[1] == QLatin1String("zpx");
    return {label, pieces[0] + "." + pieces[1], QString()};
}

} // namespace

void AppendBlock(QIODevice& package, const QString& encodedFile, const QString& label)
{
    QFile encoded(encodedFile);
    if (!encoded.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read " + encodedFile.toStdString() + ": "
                                 + encoded.errorString().toStdString());
    const QByteArray labelBytes = EncodeAnsiOrUtf8(label);
    Write(package, StartFileMarker + labelBytes + LineEnd);
    AppendLines(package, encoded);
    Write(package, EndFileMarker + labelBytes + LineEnd);
}

UnpackedPackage SplitPackageText(const QString& packageFile,
                                 const QString& exchangeFolder,
                                 const DecodeFileFn& decode,
                                 qint64 maxDescriptionSize)
{
    QFile package(packageFile);
    if (!package.open(QIODevice::ReadOnly))
        throw PackageError(53, "File not found: " + packageFile);

    UnpackedPackage result;
    std::optional<PackageBlock> open; // the block being read
    bool openIsDescription = false; // the block being read is the description
    qint64 encodedSize = 0; // its data so far, without line ends
    QFile data; // its encoded lines
    int count = 0;
    qint64 lineNumber = 0;
    bool continued = false; // the last piece ended inside a line
    // One buffer serves every line: a piece of up to LinePiece bytes, and room to end it with CR LF.
    QByteArray buffer(qsizetype(LinePiece + 3), Qt::Uninitialized);
    while (!package.atEnd()) {
        const qint64 got = package.readLine(buffer.data(), LinePiece + 1);
        if (got < 0)
            throw PackageError(75, "Path/File access error: " + packageFile + ": " + package.errorString());
        qsizetype size = qsizetype(got);
        const bool newline = size > 0 && buffer[size - 1] == '\n';
        const bool whole = newline || package.atEnd();
        const bool firstPiece = !continued;
        continued = !whole;
        if (whole) {
            size -= newline ? 1 : 0;
            size -= size > 0 && buffer[size - 1] == '\r' ? 1 : 0;
        }
        const QByteArrayView line(buffer.constData(), size);
        if (firstPiece) {
            ++lineNumber;
            const bool starts = line.contains(StartFileMarker);
            const bool ends = line.contains(EndFileMarker);
            if ((starts || ends) && !whole)
                throw PackageError(5, QString("Block label too long in line %1").arg(lineNumber));
            if (starts) {
                if (open)
                    throw PackageError(5, QString("File block started inside another in line %1").arg(lineNumber));
                open = BlockName(line.toByteArray(), openIsDescription);
                openIsDescription = openIsDescription && !result.description;
                encodedSize = 0;
                ++count;
                data.setFileName(QString("%1/block%2.dec").arg(exchangeFolder).arg(count));
                if (!data.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                    throw PackageError(75, "Path/File access error: " + data.fileName() + ": " + data.errorString());
                continue;
            }
            if (ends) {
                if (!open)
                    throw PackageError(5, QString("File block ended outside a block in line %1").arg(lineNumber));
                data.close();
                open->path = QString("%1/block%2.bin").arg(exchangeFolder).arg(count);
                decode(data.fileName(), open->path);
                if (openIsDescription)
                    result.description = open;
                else
                    result.files.append(*open);
                open.reset();
                continue;
            }
            if (!open && lineNumber == 1)
                throw NotAPackageError();
            if (!open)
                throw PackageError(5, QString("Text outside a file block in line %1").arg(lineNumber));
        }
        // Four base64 characters hold three bytes at the most.
        encodedSize += size;
        if (openIsDescription && encodedSize / 4 * 3 > maxDescriptionSize)
            throw RefusedPackageError("the description is too large");
        if (whole) {
            buffer[size] = '\r';
            buffer[size + 1] = '\n';
            size += 2;
        }
        Write(data, buffer.constData(), size);
    }
    if (open)
        throw PackageError(5, "The last file block has no end marker");
    return result;
}

bool ExpandsWithin(const QString& hackFile, qint64 limit)
{
    QFile file;
    if (!OpenRegularFile(file, hackFile).isEmpty())
        return false;
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return false;
    std::vector<unsigned char> in(65536), out(65536);
    qint64 total = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END && total <= limit) {
        if (zs.avail_in == 0) {
            qint64 n = file.read(reinterpret_cast<char*>(in.data()), qint64(in.size()));
            if (n <= 0)
                break;
            zs.next_in = in.data();
            zs.avail_in = uInt(n);
        }
        zs.next_out = out.data();
        zs.avail_out = uInt(out.size());
        ClearUpperVectorState();
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        total += qint64(out.size() - zs.avail_out);
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END && total <= limit;
}

} // namespace zp
