#include "app/whole_file.h"

#include "app/board_directories.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
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

[[noreturn]] void FailToWrite(const QString& target, const QString& reason)
{
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(target, reason).toStdString());
}

// root + "/" + relative, once it is sure that the path stays below root, that no symbolic link
// lies on the way and that the target's folder exists.
QString PreparedTarget(const QString& root, const QString& relative)
{
    const std::optional<QString> target = JoinInsideRoot(root, relative);
    if (!target || *target == root)
        throw std::runtime_error(QStringLiteral("Refused a file outside %1: %2").arg(root, relative).toStdString());
    if (const QString link = LinkOnTheWay(root, relative); !link.isEmpty())
        throw UnsafePathError(link);
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(QFileInfo(*target).absolutePath()).toStdString(), error);
    if (error)
        FailToWrite(*target, QString::fromStdString(error.message()));
    return *target;
}

// A new file takes the place of an old one with its permissions (a script stays executable).
void KeepPermissions(const QString& target, const std::function<void(mode_t)>& setMode)
{
    struct stat old
    {
    };
    if (IsRegularFile(target, &old))
        setMode(old.st_mode & 07777);
}

void CopyInto(WholeFile& out, const QString& source)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()).toStdString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(65536);
        if (in.error() != QFileDevice::NoError)
            throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()).toStdString());
        if (!out.Write(chunk))
            return; // Commit says why
    }
}

// Writes every dirty page of the file system that holds `folder` to disk; 0 or the errno.
int FlushFileSystem(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

// Renames a file of the work folder over its target. An old regular file there trades places with
// it instead, in one step, and is left at the moved file's name: removing an old file frees its
// blocks, which can wait for the disk, and so is left to whoever removes the work folder.
void MoveIntoPlace(const QString& moved, const QString& target)
{
    const QByteArray from = QFile::encodeName(moved);
    const QByteArray to = QFile::encodeName(target);
    if (IsRegularFile(target)
        && ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return;
    if (::rename(from.constData(), to.constData()) != 0)
        FailToWrite(target, SystemErrorText(errno));
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
    : target_(PreparedTarget(root, relative))
{
    const QString folder = QFileInfo(target_).absolutePath();
    for (int attempt = 0;; ++attempt) {
        file_.setFileName(NewTemporaryName(folder));
        AddToPendingList(programFolder, file_.fileName());
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (attempt == 8 || !QFileInfo::exists(file_.fileName()))
            Fail(file_.errorString());
    }
    KeepPermissions(target_, [this](mode_t mode) { ::fchmod(file_.handle(), mode); });
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
    FailToWrite(target_, reason);
}

bool WholeFile::Write(const QByteArray& bytes)
{
    failed_ = failed_ || !WriteFully(file_, bytes);
    return !failed_;
}

void WholeFile::Commit()
{
    Finish(true);
    Publish();
}

void WholeFile::Finish(bool flush)
{
    if (failed_ || file_.error() != QFileDevice::NoError)
        Fail(file_.errorString());
    if (flush && ::fsync(file_.handle()) != 0)
        Fail(SystemErrorText(errno));
    file_.close();
}

void WholeFile::Publish()
{
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
    WriteWholeFile(programFolder, root, relative, [&source](WholeFile& out) { CopyInto(out, source); });
}

struct WholeFileBatch::Staged
{
    QString relative;
    QString target;
    dev_t device; // of the target's folder
    QString moved; // the source, renamed as it is; empty when it was copied
    std::unique_ptr<WholeFile> copy;
};

WholeFileBatch::WholeFileBatch(const QString& programFolder)
    : programFolder_(programFolder)
{
}

WholeFileBatch::~WholeFileBatch() = default;

void WholeFileBatch::Stage(const QString& source, const QString& root, const QString& relative)
{
    const QString target = PreparedTarget(root, relative);
    struct stat from
    {
    }, folder {};
    if (::stat(QFile::encodeName(source).constData(), &from) != 0)
        throw std::runtime_error(
            QStringLiteral("Cannot read %1: %2").arg(source, SystemErrorText(errno)).toStdString());
    if (::stat(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), &folder) != 0)
        FailToWrite(target, SystemErrorText(errno));
    if (from.st_dev == folder.st_dev) {
        const QByteArray path = QFile::encodeName(source);
        KeepPermissions(target, [&path](mode_t mode) { ::chmod(path.constData(), mode); });
        staged_.push_back({relative, target, folder.st_dev, source, nullptr});
        return;
    }
    auto copy = std::make_unique<WholeFile>(programFolder_, root, relative);
    CopyInto(*copy, source);
    copy->Finish(false);
    staged_.push_back({relative, target, folder.st_dev, QString(), std::move(copy)});
}

void WholeFileBatch::Commit(const std::function<void(const QString& relative, const QString& reason)>& failed)
{
    std::map<dev_t, int> flushed; // file system -> errno of its flush
    for (const Staged& file : staged_) {
        if (!flushed.contains(file.device))
            flushed[file.device] = FlushFileSystem(QFileInfo(file.target).absolutePath());
    }
    for (Staged& file : staged_) {
        try {
            if (const int error = flushed[file.device])
                FailToWrite(file.target, SystemErrorText(error));
            if (file.copy)
                file.copy->Publish();
            else
                MoveIntoPlace(file.moved, file.target);
        } catch (const std::exception& e) {
            failed(file.relative, QString::fromStdString(e.what()));
        }
    }
    staged_.clear();
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
