#include "app/whole_file.h"

#include "app/board_directories.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

// The pending list: one temporary file path per line, written before the file is created.
QString PendingListPath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/zpatch.pending");
}

// Temporary files are hidden and carry a name no board file has.
const QRegularExpression TemporaryName(QStringLiteral("^\\.zenpatch-[0-9a-f]{8}\\.part$"));

QString NewTemporaryName(const QString& folder)
{
    return folder + QStringLiteral("/.zenpatch-%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
}

void AddToPendingList(const QString& programFolder, const QString& path)
{
    QFile list(PendingListPath(programFolder));
    const QByteArray line = path.toUtf8() + '\n';
    if (!list.open(QIODevice::WriteOnly | QIODevice::Append) || list.write(line) != line.size() || !list.flush())
        throw std::runtime_error(
            QStringLiteral("Cannot write %1: %2").arg(list.fileName(), list.errorString()).toStdString());
}

bool IsRegularFile(const QString& path, struct stat* info = nullptr)
{
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (info)
        *info = st;
    return true;
}

} // namespace

QString RefusedLinkText(const QString& link)
{
    return QStringLiteral("Refused to write through the symbolic link ") + link;
}

UnsafePathError::UnsafePathError(const QString& link)
    : std::runtime_error(RefusedLinkText(link).toStdString())
    , link(link)
{
}

QString LinkOnTheWay(const QString& root, const QString& relative)
{
    static const QRegularExpression separator(QStringLiteral("[/\\\\]"));
    QString path = root;
    for (const QString& element : relative.split(separator, Qt::SkipEmptyParts)) {
        if (element == QStringLiteral("."))
            continue;
        if (!path.endsWith(u'/'))
            path += u'/';
        path += element;
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            return QString();
        if (S_ISLNK(st.st_mode))
            return path;
    }
    return QString();
}

QString SystemErrorText(int error)
{
    return qt_error_string(error);
}

bool WriteFully(QIODevice& device, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = device.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

WholeFile::WholeFile(const QString& programFolder, const QString& root, const QString& relative)
{
    const std::optional<QString> target = JoinInsideRoot(root, relative);
    if (!target || *target == root)
        throw std::runtime_error(QStringLiteral("Refused a file outside %1: %2").arg(root, relative).toStdString());
    target_ = *target;
    if (const QString link = LinkOnTheWay(root, relative); !link.isEmpty())
        throw UnsafePathError(link);
    const QString folder = QFileInfo(target_).absolutePath();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        Fail(QString::fromStdString(error.message()));
    for (int attempt = 0;; ++attempt) {
        file_.setFileName(NewTemporaryName(folder));
        AddToPendingList(programFolder, file_.fileName());
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (attempt == 8 || !QFileInfo::exists(file_.fileName()))
            Fail(file_.errorString());
    }
    // The new file takes the place of the old one with its permissions (a script stays executable).
    struct stat old
    {
    };
    if (IsRegularFile(target_, &old))
        ::fchmod(file_.handle(), old.st_mode & 07777);
}

WholeFile::~WholeFile()
{
    if (committed_)
        return;
    file_.close();
    QFile::remove(file_.fileName());
}

void WholeFile::Fail(const QString& reason) const
{
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(target_, reason).toStdString());
}

bool WholeFile::Write(const QByteArray& bytes)
{
    failed_ = failed_ || !WriteFully(file_, bytes);
    return !failed_;
}

void WholeFile::Commit()
{
    if (failed_ || file_.error() != QFileDevice::NoError)
        Fail(file_.errorString());
    if (::fsync(file_.handle()) != 0)
        Fail(SystemErrorText(errno));
    file_.close();
    if (::rename(QFile::encodeName(file_.fileName()).constData(), QFile::encodeName(target_).constData()) != 0)
        Fail(SystemErrorText(errno));
    committed_ = true;
}

void WriteWholeFile(const QString& programFolder,
                    const QString& root,
                    const QString& relative,
                    const std::function<void(WholeFile&)>& fill)
{
    WholeFile file(programFolder, root, relative);
    fill(file);
    file.Commit();
}

void CopyWholeFile(const QString& programFolder, const QString& source, const QString& root, const QString& relative)
{
    WriteWholeFile(programFolder, root, relative, [&source](WholeFile& out) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()).toStdString());
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(65536);
            if (in.error() != QFileDevice::NoError)
                throw std::runtime_error(
                    QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()).toStdString());
            if (!out.Write(chunk))
                return; // Commit says why
        }
    });
}

void RemovePendingFiles(const QString& programFolder)
{
    QFile list(PendingListPath(programFolder));
    if (!list.open(QIODevice::ReadOnly))
        return;
    while (!list.atEnd()) {
        QByteArray line = list.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        const QString path = QString::fromUtf8(line);
        // Only a temporary file of ours goes, whatever the list says.
        if (TemporaryName.match(QFileInfo(path).fileName()).hasMatch() && IsRegularFile(path))
            QFile::remove(path);
    }
    list.remove();
}

} // namespace zp
