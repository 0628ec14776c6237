#include "app/whole_file.h"

#include "app/board_directories.h"
#include "app/common.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <thread>
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
    const QString listPath = PendingListPath(programFolder);
    const QByteArray line = path.toUtf8() + '\n';
    QFile list;
    QString refusal = OpenRegularFile(list, listPath, QIODevice::WriteOnly | QIODevice::Append);
    if (refusal.isEmpty() && (list.write(line) != line.size() || !list.flush()))
        refusal = list.errorString();
    if (!refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(listPath, refusal).toStdString());
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

// The elements of a relative path, without empty ones and ".".
QStringList ElementsOf(const QString& relative)
{
    static const QRegularExpression separator(QStringLiteral("[/\\\\]"));
    QStringList elements = relative.split(separator, Qt::SkipEmptyParts);
    elements.removeAll(QStringLiteral("."));
    return elements;
}

bool IsLinkAt(int folder, const QByteArray& name)
{
    struct stat st
    {
    };
    return ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

bool IsRegularFileAt(int folder, const QByteArray& name, struct stat* info = nullptr)
{
    struct stat st
    {
    };
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (info)
        *info = st;
    return true;
}

// Opens the folders named by `elements` one by one from the open root (which it takes over and
// closes; `rootPath` names it in the errors), making the missing ones when `make`. Each is opened without
// following a symbolic link, so that a link planted on the way later in the run cannot redirect
// what is written into the folder: a link met is refused with UnsafePathError. `target` names the
// file in the errors.
int OpenFolderBelow(
    int root, const QString& rootPath, const QStringList& elements, const QString& target, bool make = true)
{
    int folder = root;
    QString path = rootPath;
    for (const QString& element : elements) {
        path += (path.endsWith(u'/') ? QString() : QStringLiteral("/")) + element;
        const QByteArray name = QFile::encodeName(element);
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = ::openat(folder, name.constData(), flags);
        if (next < 0 && errno == ENOENT && make && (::mkdirat(folder, name.constData(), 0777) == 0 || errno == EEXIST))
            next = ::openat(folder, name.constData(), flags);
        if (next < 0) {
            const int error = errno;
            const bool link = IsLinkAt(folder, name);
            ::close(folder);
            if (link)
                throw UnsafePathError(path);
            FailToWrite(target, SystemErrorText(error));
        }
        ::close(folder);
        folder = next;
    }
    return folder;
}

// As above from the root folder's path: the root itself may be a link, and is made when missing and
// `make`.
int OpenFolderBelow(const QString& root, const QStringList& elements, const QString& target, bool make = true)
{
    const QByteArray rootName = QFile::encodeName(root);
    int folder = ::open(rootName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 && errno == ENOENT && make && QDir().mkpath(root))
        folder = ::open(rootName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        FailToWrite(target, SystemErrorText(errno));
    return OpenFolderBelow(folder, root, elements, target, make);
}

// The target root + "/" + relative, once it is sure that the path stays below root: its opened
// folder (see OpenFolderBelow) and its name there.
struct PreparedTarget
{
    QString path;
    QString folderPath;
    QByteArray name;
    QStringList folders; // the folder elements below root
};

PreparedTarget PrepareTarget(const QString& root, const QString& relative)
{
    const std::optional<QString> target = JoinInsideRoot(root, relative);
    QStringList elements = ElementsOf(relative);
    if (!target || elements.isEmpty())
        throw std::runtime_error(QStringLiteral("Refused a file outside %1: %2").arg(root, relative).toStdString());
    const QByteArray name = QFile::encodeName(elements.takeLast());
    return {*target, QFileInfo(*target).absolutePath(), name, elements};
}

// A new file takes the place of an old one with its permissions (a script stays executable).
void KeepPermissions(int folder, const QByteArray& name, int fd)
{
    struct stat old
    {
    };
    if (IsRegularFileAt(folder, name, &old))
        ::fchmod(fd, old.st_mode & 07777);
}

void CopyInto(WholeFile& out, const QString& source)
{
    QFile in;
    if (const QString refusal = OpenRegularFile(in, source); !refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, refusal).toStdString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(65536);
        if (in.error() != QFileDevice::NoError)
            throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()).toStdString());
        if (!out.Write(chunk))
            return; // Commit says why
    }
}

// Renames a file of the work folder over its target, both named within their opened folders. An
// old regular file there trades places with it instead, in one step, and is left at the moved
// file's name: removing an old file frees its blocks, which can wait for the disk, and so is left to
// whoever removes the work folder.
void MoveIntoPlace(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to, const QString& target)
{
    if (IsRegularFileAt(toFolder, to)
        && ::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_EXCHANGE) == 0)
        return;
    if (::renameat(fromFolder, from.constData(), toFolder, to.constData()) != 0)
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
    QString path = root;
    for (const QString& element : ElementsOf(relative)) {
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
    PreparedTarget target = PrepareTarget(root, relative);
    target_ = target.path;
    name_ = target.name;
    folder_ = OpenFolderBelow(root, target.folders, target_);
    // Created afresh, never through a link: O_EXCL refuses any name that is taken.
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporaryPath_ = NewTemporaryName(target.folderPath);
        AddToPendingList(programFolder, temporaryPath_);
        fd = ::openat(folder_,
                      QFile::encodeName(FileNameOf(temporaryPath_)).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
        if (fd < 0 && (attempt == 8 || errno != EEXIST))
            Fail(SystemErrorText(errno));
    }
    file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    KeepPermissions(folder_, name_, fd);
}

WholeFile::~WholeFile()
{
    if (!committed_) {
        file_.close();
        ::unlinkat(folder_, QFile::encodeName(FileNameOf(temporaryPath_)).constData(), 0);
    }
    ::close(folder_);
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
    CheckWritten();
    if (::fsync(file_.handle()) != 0)
        Fail(SystemErrorText(errno));
    file_.close();
    Publish();
    if (::fsync(folder_) != 0)
        Fail(SystemErrorText(errno));
}

void WholeFile::CheckWritten() const
{
    if (failed_ || file_.error() != QFileDevice::NoError)
        Fail(file_.errorString());
}

void WholeFile::Publish()
{
    if (::renameat(folder_, QFile::encodeName(FileNameOf(temporaryPath_)).constData(), folder_, name_.constData()) != 0)
        Fail(SystemErrorText(errno));
    committed_ = true;
}

QString WriteNewFileBelow(int root, const QString& rootPath, const QString& relative, const QByteArray& bytes)
{
    const PreparedTarget target = PrepareTarget(rootPath, relative);
    const int own = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        FailToWrite(target.path, SystemErrorText(errno));
    const int folder = OpenFolderBelow(own, rootPath, target.folders, target.path);
    const auto create = [&] {
        return ::openat(folder, target.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    };
    // A name that is taken is made afresh, never written through: a link there is refused.
    int fd = create();
    if (fd < 0 && errno == EEXIST && IsRegularFileAt(folder, target.name)
        && ::unlinkat(folder, target.name.constData(), 0) == 0)
        fd = create();
    const int error = errno;
    const bool link = fd < 0 && IsLinkAt(folder, target.name);
    ::close(folder);
    if (link)
        throw UnsafePathError(target.path);
    if (fd < 0)
        FailToWrite(target.path, SystemErrorText(error));
    QFile file;
    file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    if (!WriteFully(file, bytes))
        FailToWrite(target.path, file.errorString());
    return target.path;
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

WriteBackCalls SystemWriteBack()
{
    return {[](int fd) { return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }, ::fdatasync, true};
}

namespace {

// Calls job(i) for every i below count: on up to four threads when `together`, else in order.
void ForEach(size_t count, bool together, const std::function<void(size_t)>& job)
{
    std::atomic<size_t> next {0};
    const auto work = [&] {
        for (size_t i = next++; i < count; i = next++)
            job(i);
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; together && t < std::min<size_t>(4, count); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace

struct WholeFileBatch::Staged
{
    QString relative;
    QString target;
    int folder; // the target's, held by folders_
    QByteArray name; // the target's name in it
    int stagedFolder; // where the staged file lies: held by folders_ or by `copy`
    QByteArray staged; // its name there
    std::unique_ptr<WholeFile> copy; // when it was copied, else it is renamed as it is
};

WholeFileBatch::WholeFileBatch(const QString& programFolder, WriteBackCalls calls)
    : programFolder_(programFolder)
    , calls_(calls)
{
}

WholeFileBatch::~WholeFileBatch()
{
    staged_.clear();
    for (const auto& [path, fd] : folders_)
        ::close(fd);
}

int WholeFileBatch::Folder(const QString& root, const QStringList& elements, const QString& path, const QString& target)
{
    if (const auto open = folders_.find(path); open != folders_.end())
        return open->second;
    const int fd = OpenFolderBelow(root, elements, target);
    folders_.emplace(path, fd);
    return fd;
}

void WholeFileBatch::Stage(const QString& source, const QString& root, const QString& relative, Staging staging)
{
    const PreparedTarget target = PrepareTarget(root, relative);
    const int folder = Folder(root, target.folders, target.folderPath, target.path);
    // Only a regular file is staged: a link planted in its place is never moved into a board.
    const int from = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat file
    {
    }, place {};
    const bool known = from >= 0 && ::fstat(from, &file) == 0;
    const int error = errno;
    if (const QString refusal = known ? NotRegularText(file.st_mode) : SystemErrorText(error); !refusal.isEmpty()) {
        if (from >= 0)
            ::close(from);
        if (from < 0 && error == ELOOP)
            throw UnsafePathError(source);
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(source, refusal).toStdString());
    }
    ::fstat(folder, &place);
    if (staging == Staging::MoveWhenPossible && file.st_dev == place.st_dev) {
        KeepPermissions(folder, target.name, from);
        // Its way to the disk starts now, beside the other files', so that Commit waits for them once.
        calls_.startWriteBack(from);
        ::close(from);
        const QString sourceFolder = QFileInfo(source).absolutePath();
        const int sourceFd = Folder(sourceFolder, {}, sourceFolder, source);
        staged_.push_back(
            {relative, target.path, folder, target.name, sourceFd, QFile::encodeName(FileNameOf(source)), {}});
        return;
    }
    ::close(from);
    Stage(root, relative, [&source](WholeFile& out) { CopyInto(out, source); });
}

void WholeFileBatch::Stage(const QString& root, const QString& relative, const std::function<void(WholeFile&)>& fill)
{
    const PreparedTarget target = PrepareTarget(root, relative);
    const int folder = Folder(root, target.folders, target.folderPath, target.path);
    auto copy = std::make_unique<WholeFile>(programFolder_, root, relative);
    fill(*copy);
    copy->CheckWritten();
    calls_.startWriteBack(copy->file_.handle());
    copy->file_.close();
    const QByteArray name = QFile::encodeName(FileNameOf(copy->temporaryPath_));
    const int copyFolder = copy->folder_;
    staged_.push_back({relative, target.path, folder, target.name, copyFolder, name, std::move(copy)});
}

void WholeFileBatch::Commit(const std::function<void(const QString& relative, const QString& reason)>& failed)
{
    // Every file's write-back was started when it was staged, so these waits overlap: the first
    // waits for the disk, the others mostly find their data written. A file is renamed over its
    // target only once its data is on the disk; one flush of each changed folder then makes the
    // renames durable.
    std::vector<int> errors(staged_.size());
    ForEach(staged_.size(), calls_.together, [&](size_t i) {
        const Staged& file = staged_[i];
        const int fd = ::openat(file.stagedFolder, file.staged.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        errors[i] = fd >= 0 && calls_.wait(fd) == 0 ? 0 : errno;
        if (fd >= 0)
            ::close(fd);
    });
    std::map<int, std::vector<const Staged*>> renamed; // folder -> the files renamed into it
    for (size_t i = 0; i < staged_.size(); ++i) {
        const Staged& file = staged_[i];
        try {
            if (errors[i] != 0)
                FailToWrite(file.target, SystemErrorText(errors[i]));
            if (file.copy)
                file.copy->Publish();
            else
                MoveIntoPlace(file.stagedFolder, file.staged, file.folder, file.name, file.target);
            renamed[file.folder].push_back(&file);
        } catch (const std::exception& e) {
            failed(file.relative, QString::fromStdString(e.what()));
        }
    }
    const std::vector<std::pair<const int, std::vector<const Staged*>>> folders(renamed.begin(), renamed.end());
    std::vector<int> folderErrors(folders.size());
    ForEach(folders.size(), calls_.together, [&](size_t i) {
        folderErrors[i] = ::fsync(folders[i].first) == 0 ? 0 : errno;
    });
    for (size_t i = 0; i < folders.size(); ++i) {
        if (folderErrors[i] == 0)
            continue;
        const QString reason = SystemErrorText(folderErrors[i]);
        for (const Staged* file : folders[i].second)
            failed(file->relative, QStringLiteral("Cannot write %1: %2").arg(file->target, reason));
    }
    staged_.clear();
}

int RemoveEmptyFolder(const QString& root, const QString& relative)
{
    const PreparedTarget target = PrepareTarget(root, relative);
    const int folder = OpenFolderBelow(root, target.folders, target.path, false);
    const int result = ::unlinkat(folder, target.name.constData(), AT_REMOVEDIR) == 0 ? 0 : errno;
    ::close(folder);
    return result;
}

void RemovePendingFiles(const QString& programFolder)
{
    const QString listPath = PendingListPath(programFolder);
    if (!QFile::exists(listPath))
        return;
    QFile list;
    if (const QString refusal = OpenRegularFile(list, listPath); !refusal.isEmpty())
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(listPath, refusal).toStdString());
    while (!list.atEnd()) {
        QByteArray line = list.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        const QString path = QString::fromUtf8(line);
        // Only a temporary file of ours goes, whatever the list says: a damaged or forged line
        // that names anything else (a board file) is reported and left alone.
        const bool ours = QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path
            && TemporaryName.match(FileNameOf(path)).hasMatch();
        if (!ours)
            qWarning("%s names %s, which is no temporary file of Zenpatch: left alone",
                     qUtf8Printable(listPath),
                     qUtf8Printable(path));
        else if (IsRegularFile(path))
            QFile::remove(path);
    }
    list.close();
    QFile::remove(listPath);
}

} // namespace zp
