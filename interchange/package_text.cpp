#include "interchange/package_text.h"

#include "app/ansi_text.h"
#include "interchange/package_markers.h"

#include <QStringList>
#include <vector>
#include <zlib.h>

namespace zp {

namespace {

const QByteArray LineEnd("\r\n");

// The line without its CR LF or LF.
QByteArray Chomp(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

void Write(QFile& file, const QByteArray& bytes)
{
    if (file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + file.fileName().toStdString() + ": "
                                 + file.errorString().toStdString());
}

// The name of a block from its start marker line: the label is the text after the first "|"
// up to the next one; its first two period-separated pieces are base name and extension.
PackageBlock BlockName(const QByteArray& markerLine, bool& isDescription)
{
    QString label = DecodeAnsiOrUtf8(markerLine).section(QLatin1Char('|'), 1, 1);
    if (label.contains(QLatin1Char('/')) || label.contains(QLatin1Char('\\')) || label.contains(QLatin1String(".."))
        || label.contains(QChar(0)))
        throw UnsafeLabelError("unsafe block label: " + label.toStdString());
    QStringList pieces = label.split(QLatin1Char('.'));
    if (pieces.size() < 2)
        throw PackageError(9, "Subscript out of range (block label \"" + label + "\" has no extension)");
    isDescription = pieces[1] == QLatin1String("zpx");
    return {label, pieces[0] + "." + pieces[1], QString()};
}

} // namespace

void AppendBlock(QFile& package, const QString& encodedFile, const QString& label)
{
    QFile encoded(encodedFile);
    if (!encoded.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + encodedFile.toStdString());
    const QByteArray labelBytes = EncodeAnsiOrUtf8(label);
    Write(package, StartFileMarker + labelBytes + LineEnd);
    while (!encoded.atEnd())
        Write(package, Chomp(encoded.readLine()) + LineEnd);
    Write(package, EndFileMarker + labelBytes + LineEnd);
}

UnpackedPackage SplitPackageText(const QString& packageFile, const QString& exchangeFolder, const DecodeFileFn& decode)
{
    QFile package(packageFile);
    if (!package.open(QIODevice::ReadOnly))
        throw PackageError(53, "File not found: " + packageFile);

    UnpackedPackage result;
    std::optional<PackageBlock> open; // the block being read
    bool openIsDescription = false;
    QFile data; // its encoded lines
    int count = 0;
    qint64 lineNumber = 0;
    while (!package.atEnd()) {
        QByteArray line = Chomp(package.readLine());
        ++lineNumber;
        if (line.contains(StartFileMarker)) {
            if (open)
                throw PackageError(5, QString("File block started inside another in line %1").arg(lineNumber));
            open = BlockName(line, openIsDescription);
            ++count;
            data.setFileName(QString("%1/block%2.dec").arg(exchangeFolder).arg(count));
            if (!data.open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw PackageError(75, "Path/File access error: " + data.fileName());
        } else if (line.contains(EndFileMarker)) {
            if (!open)
                throw PackageError(5, QString("File block ended outside a block in line %1").arg(lineNumber));
            data.close();
            open->path = QString("%1/block%2.bin").arg(exchangeFolder).arg(count);
            decode(data.fileName(), open->path);
            if (openIsDescription && !result.description)
                result.description = open;
            else
                result.files.append(*open);
            open.reset();
        } else {
            if (!open)
                throw PackageError(5, QString("Text outside a file block in line %1").arg(lineNumber));
            Write(data, line + LineEnd);
        }
    }
    if (open)
        throw PackageError(5, "The last file block has no end marker");
    return result;
}

bool ExpandsWithin(const QString& hackFile, qint64 limit)
{
    QFile file(hackFile);
    if (!file.open(QIODevice::ReadOnly))
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
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        total += qint64(out.size() - zs.avail_out);
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END && total <= limit;
}

} // namespace zp
