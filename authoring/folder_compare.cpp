#include "app/whole_file.h"
#include "authoring/copy_files.h"
#include "authoring/recording.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace zp {

namespace {

// Every entry below a root that is not a folder, by its path below the root as the system names
// it, with its kind. A link is listed, never followed.
using Listing = std::map<QByteArray, mode_t>;

[[noreturn]] void FailToList(const QByteArray& folder, int error)
{
    throw std::runtime_error(QStringLiteral("Unable to read the folder %1: %2")
                                 .arg(QFile::decodeName(folder), SystemErrorText(error))
                                 .toStdString());
}

void ListFolder(int fd, const QByteArray& path, const QByteArray& relative, Listing& listing)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::fdopendir(fd), ::closedir);
    if (!folder) {
        const int error = errno;
        ::close(fd);
        FailToList(path, error);
    }
    while (const dirent* entry = ::readdir(folder.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info
        {
        };
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            FailToList(path + '/' + name, errno);
        const QByteArray below = relative.isEmpty() ? name : relative + '/' + name;
        if (!S_ISDIR(info.st_mode)) {
            listing.emplace(below, info.st_mode);
            continue;
        }
        const int sub = ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0)
            FailToList(path + '/' + name, errno);
        ListFolder(sub, path + '/' + name, below, listing);
    }
}

Listing FilesBelow(const QString& root)
{
    Listing listing;
    const QByteArray path = QFile::encodeName(root);
    const int fd = root.isEmpty() ? -1 : ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        ListFolder(fd, path, QByteArray(), listing);
    return listing;
}

// A name the program can hold as text and give back to the system unchanged.
bool IsTextName(const QByteArray& name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

// The path as text, each byte that is not part of valid UTF-8 shown as \xNN.
QString Shown(const QByteArray& relative)
{
    if (IsTextName(relative))
        return QFile::decodeName(relative);
    QString shown;
    for (const char c : relative) {
        const auto byte = uchar(c);
        shown += byte < 0x80 ? QString(QChar(byte)) : QStringLiteral("\\x%1").arg(byte, 2, 16, QChar('0'));
    }
    return shown;
}

// The kind of an original's entry once a link to a regular file is taken for the file: the
// installation reads the board's files through links.
mode_t FollowedKind(const QByteArray& path, mode_t kind)
{
    struct stat info
    {
    };
    if (S_ISLNK(kind) && ::stat(path.constData(), &info) == 0)
        return info.st_mode;
    return kind;
}

} // namespace

std::vector<FileChange> CompareFolders(const QString& originalRoot, const QString& editedRoot)
{
    const Listing original = FilesBelow(originalRoot);
    const Listing edited = FilesBelow(editedRoot);
    const QByteArray originalBytes = QFile::encodeName(originalRoot), editedBytes = QFile::encodeName(editedRoot);
    std::vector<FileChange> changes;
    for (const auto& [relative, kind] : edited) {
        const QByteArray after = editedBytes + '/' + relative;
        FileChange change {Shown(relative), QString(), QFile::decodeName(after), KindRefusal(kind)};
        if (const auto found = original.find(relative); found != original.end()) {
            const QByteArray before = originalBytes + '/' + relative;
            change.originalPath = QFile::decodeName(before);
            const mode_t originalKind = FollowedKind(before, found->second);
            if (change.reason.isEmpty() && !S_ISREG(originalKind))
                change.reason = QStringLiteral("the original is ") + KindRefusal(originalKind);
            if (change.reason.isEmpty() && SameRegularFiles(before, after))
                continue;
        }
        if (change.reason.isEmpty() && !IsTextName(relative))
            change.reason = QStringLiteral("its name is not UTF-8: a hack names its files as text");
        changes.push_back(change);
    }
    for (const auto& [relative, kind] : original) {
        const QByteArray before = originalBytes + '/' + relative;
        if (!edited.contains(relative) && S_ISREG(FollowedKind(before, kind)))
            changes.push_back({Shown(relative), QFile::decodeName(before), QString(), QString()});
    }
    std::sort(changes.begin(), changes.end(), [](const FileChange& a, const FileChange& b) {
        return a.relativePath < b.relativePath;
    });
    return changes;
}

} // namespace zp
