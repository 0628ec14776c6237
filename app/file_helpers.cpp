#include "app/common.h"

#include "app/whole_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace fs = std::filesystem;

namespace {

fs::path NativePath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// Folder names are split at '/' and, for names that came from Windows, at '\'.
QStringList PathElements(const QString& path)
{
    static const QRegularExpression separator(QStringLiteral("[/\\\\]"));
    return path.split(separator);
}

// The canonical form of a folder for comparisons: absolute, symlinks of its existing part resolved.
QString Canonical(const QString& path)
{
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(NativePath(path), error), error);
    return QDir::cleanPath(QFile::decodeName(resolved.c_str()));
}

// Gives the owner write access to every folder of the tree, so that its read-only parts can go.
void MakeTreeWritable(const fs::path& root)
{
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
}

// Removes a file, a link or a folder with everything in it, giving read-only folders of the tree
// write access when the first attempt fails.
void RemoveTree(const fs::path& native)
{
    std::error_code error;
    if (fs::remove_all(native, error) == static_cast<std::uintmax_t>(-1) || error) {
        MakeTreeWritable(native);
        fs::remove_all(native, error);
    }
}

// The empty path, "/" and the home folder are never deleted nor emptied.
bool MayDelete(const QString& path)
{
    if (path.trimmed().isEmpty())
        return false;
    const QString target = Canonical(path);
    return target != QStringLiteral("/") && target != Canonical(QDir::homePath());
}

} // namespace

QString NotRegularText(unsigned mode)
{
    if (S_ISREG(mode))
        return QString();
    const QString kind = S_ISDIR(mode) ? QStringLiteral("a folder")
        : S_ISFIFO(mode)               ? QStringLiteral("a FIFO")
        : S_ISSOCK(mode)               ? QStringLiteral("a socket")
                                       : QStringLiteral("a device");
    return QStringLiteral("not a regular file (%1)").arg(kind);
}

QString OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for the other end. One to be written is opened
    // for reading too, which opens a FIFO at once, to be refused below.
    const int access
        = mode & QIODevice::WriteOnly ? O_RDWR | O_CREAT | (mode & QIODevice::Append ? O_APPEND : 0) : O_RDONLY;
    const int fd = ::open(QFile::encodeName(path).constData(), access | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return SystemErrorText(errno);
    struct stat info
    {
    };
    const bool known = ::fstat(fd, &info) == 0;
    const QString refusal = known ? NotRegularText(info.st_mode) : SystemErrorText(errno);
    if (!refusal.isEmpty()) {
        ::close(fd);
        return refusal;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return QString();
}

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// As the directory listing it stands for, an existing file name counts as well.
bool DirExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool MakePath(const QString& path)
{
    const QStringList elements = path.split(QLatin1Char('/'));
    QString accumulated;
    for (const QString& element : elements) {
        accumulated += element + QLatin1Char('/');
        if (!element.isEmpty() && !QFileInfo::exists(accumulated))
            QDir().mkdir(accumulated);
    }
    return DirExists(path);
}

void DeleteFolderTree(const QString& path)
{
    if (MayDelete(path))
        RemoveTree(NativePath(path));
}

void EmptyFolderTree(const QString& path)
{
    if (!MayDelete(path))
        return;
    std::error_code error;
    const fs::path folder = NativePath(path);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    std::vector<fs::path> entries;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator(); it.increment(error))
        entries.push_back(it->path());
    for (const fs::path& entry : entries)
        RemoveTree(entry);
}

void CopyFolderTree(const QString& source, const QString& destination, bool overwrite)
{
    if (!QFileInfo(source).isDir())
        throw std::runtime_error(QStringLiteral("Path not found: %1").arg(source).toStdString());
    const QString from = Canonical(source);
    const QString to = Canonical(destination);
    if (to == from || to.startsWith(from + QLatin1Char('/')))
        throw std::runtime_error(
            QStringLiteral("Cannot copy %1 into itself (%2)").arg(source, destination).toStdString());
    std::error_code error;
    auto options = fs::copy_options::recursive;
    options |= overwrite ? fs::copy_options::overwrite_existing : fs::copy_options::none;
    fs::create_directories(NativePath(destination), error);
    if (!error)
        fs::copy(NativePath(source), NativePath(destination), options, error);
    if (error)
        throw std::runtime_error(QStringLiteral("Cannot copy %1 to %2: %3")
                                     .arg(source, destination, QString::fromStdString(error.message()))
                                     .toStdString());
}

QString FileNameOf(const QString& path)
{
    return PathElements(path).constLast();
}

QString FolderOf(const QString& path)
{
    QStringList elements = PathElements(path);
    if (elements.size() < 2)
        return path;
    elements.removeLast();
    QString folder;
    for (const QString& element : elements)
        folder += element + QLatin1Char('/');
    return folder;
}

QString CanonicalFolder(const QString& path)
{
    return Canonical(path);
}

} // namespace zp
