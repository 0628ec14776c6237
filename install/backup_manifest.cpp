#include "install/backup_manifest.h"

#include "app/common.h"
#include "app/whole_file.h"
#include "core/install_log.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace zp {

namespace {

const QByteArray Header = "path\tsha256-before\tsha256-after\n";
const QByteArray CompleteLine = "# complete";
const QByteArray HacksLine = "# hacks";

// A TAB, CR or LF in a file name is written as \t, \r or \n, so that a row stays one line of three
// fields. A path never holds a backslash (it separates, as '/' does), so nothing else needs escaping.
QByteArray Escaped(const QString& path)
{
    return QString(path)
        .replace(u'\t', QStringLiteral("\\t"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"))
        .toUtf8();
}

[[noreturn]] void Refuse(qsizetype line, const QString& reason)
{
    throw ManifestError(QStringLiteral("line %1: %2").arg(line).arg(reason).toStdString());
}

QString Unescaped(const QByteArray& field, qsizetype line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(field);
    if (utf8.hasError())
        Refuse(line, QStringLiteral("the path is not valid UTF-8"));
    QString path;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            path += text[i];
            continue;
        }
        const QChar next = i + 1 < text.size() ? text[++i] : QChar();
        if (next == u't')
            path += u'\t';
        else if (next == u'r')
            path += u'\r';
        else if (next == u'n')
            path += u'\n';
        else
            Refuse(line, QStringLiteral("the path %1 holds a backslash").arg(text));
    }
    return path;
}

// The numbers of the "# hacks" line, the second of the manifest.
std::vector<int> HackNumbers(const QByteArray& fields)
{
    std::vector<int> hacks;
    for (const QByteArray& field : fields.split('\t')) {
        bool isNumber = false;
        const int hack = field.toInt(&isNumber);
        if (!isNumber || hack <= 0 || QByteArray::number(hack) != field)
            Refuse(2, QStringLiteral("%1 is not a hack number").arg(QString::fromUtf8(field)));
        hacks.push_back(hack);
    }
    return hacks;
}

bool IsSha256(const QByteArray& field)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(QString::fromLatin1(field)).hasMatch();
}

} // namespace

QByteArray ManifestBytes(const BackupManifest& manifest)
{
    QByteArray bytes = Header;
    if (!manifest.hacks.empty()) {
        bytes += HacksLine;
        for (const int hack : manifest.hacks)
            bytes += '\t' + QByteArray::number(hack);
        bytes += '\n';
    }
    for (const QString& folder : manifest.folders)
        bytes += Escaped(folder) + "/\t\t\n";
    for (const ManifestRow& row : manifest.rows)
        bytes += Escaped(row.path) + '\t' + row.before + '\t' + row.after + '\n';
    if (manifest.complete)
        bytes += CompleteLine + '\n';
    return bytes;
}

BackupManifest ParseManifest(const QByteArray& bytes)
{
    if (!bytes.startsWith(Header))
        Refuse(1, QStringLiteral("not the header of a backup manifest"));
    if (!bytes.endsWith('\n'))
        Refuse(bytes.count('\n') + 1, QStringLiteral("the last line is cut short"));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    BackupManifest manifest;
    qsizetype first = 1;
    if (lines.size() > 1 && lines[1].startsWith(HacksLine + '\t')) {
        manifest.hacks = HackNumbers(lines[1].mid(HacksLine.size() + 1));
        ++first;
    }
    QSet<QString> paths;
    for (qsizetype i = first; i < lines.size(); ++i) {
        const qsizetype line = i + 1;
        if (lines[i] == CompleteLine && i == lines.size() - 1) {
            manifest.complete = true;
            break;
        }
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() != 3)
            Refuse(line, QStringLiteral("not three tab-separated fields"));
        const bool folder = fields[0].endsWith('/');
        const QString path = Unescaped(folder ? fields[0].chopped(1) : fields[0], line);
        if (path.isEmpty() || NormalRelativePath(path) != path || path.contains(QChar(0)))
            Refuse(line, QStringLiteral("%1 is not a path below the source folder").arg(QString::fromUtf8(fields[0])));
        if (paths.contains(path))
            Refuse(line, QStringLiteral("%1 is listed twice").arg(path));
        paths.insert(path);
        if (folder) {
            if (!fields[1].isEmpty() || !fields[2].isEmpty())
                Refuse(line, QStringLiteral("the folder %1 is listed with checksums").arg(path));
            manifest.folders.push_back(path);
            continue;
        }
        if (ReservedInBackup(path))
            Refuse(line, QStringLiteral("%1 is the name of the backup's own file").arg(path));
        if (!(fields[1].isEmpty() || IsSha256(fields[1])) || !IsSha256(fields[2]))
            Refuse(line, QStringLiteral("a checksum is not 64 lowercase hexadecimal digits"));
        manifest.rows.push_back({path, fields[1], fields[2]});
    }
    return manifest;
}

QString NormalRelativePath(const QString& relative)
{
    static const QRegularExpression separator(QStringLiteral("[/\\\\]"));
    QStringList elements;
    for (const QString& element : relative.split(separator, Qt::SkipEmptyParts)) {
        if (element == QStringLiteral(".."))
            return QString();
        if (element != QStringLiteral("."))
            elements << element;
    }
    return elements.join(u'/');
}

bool ReservedInBackup(const QString& path)
{
    return path == ManifestFileName || path == RevertedMarkName;
}

QByteArray FileSha256(const QString& path)
{
    QFile file;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QString refusal = OpenRegularFile(file, path);
    if (refusal.isEmpty() && !hash.addData(&file))
        refusal = file.errorString();
    if (!refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(path, refusal).toStdString());
    return hash.result().toHex();
}

void WriteRevertedMark(const QString& programFolder, const QString& backupFolder, LogSink& log)
{
    try {
        WriteWholeFile(programFolder, programFolder, backupFolder + u'/' + RevertedMarkName, [](WholeFile& out) {
            out.Write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + '\n');
        });
    } catch (const std::exception& e) {
        log.AddFailedRow(QString(), QString(), QStringLiteral("Write Error"), QString::fromStdString(e.what()));
    }
}

} // namespace zp
