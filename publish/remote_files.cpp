#include "publish/remote_files.h"

#include "publish/remote_session.h"
#include "publish/sha256.h"

#include <QStringList>
#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <memory>

namespace zp {

namespace {

// Well below the 256 KiB that OpenSSH's server takes in one request.
constexpr int ChunkSize = 128 * 1024;

QByteArray Bytes(const QString& path)
{
    return path.toUtf8();
}

QString StatusText(int code)
{
    switch (code) {
    case SSH_FX_NO_SUCH_FILE:
        return QStringLiteral("No such file or folder");
    case SSH_FX_PERMISSION_DENIED:
        return QStringLiteral("Permission denied");
    case SSH_FX_FILE_ALREADY_EXISTS:
        return QStringLiteral("The file exists");
    case SSH_FX_NO_CONNECTION:
    case SSH_FX_CONNECTION_LOST:
        return QStringLiteral("The connection was lost");
    case SSH_FX_OK:
        return QString(); // not an SFTP status: the session says why
    default:
        return QStringLiteral("The server refused the request (SFTP status %1)").arg(code);
    }
}

struct CloseFile
{
    void operator()(sftp_file file) const { sftp_close(file); }
};
using OpenFile = std::unique_ptr<sftp_file_struct, CloseFile>;

struct FreeAttributes
{
    void operator()(sftp_attributes attributes) const { sftp_attributes_free(attributes); }
};

} // namespace

RemoteFiles::RemoteFiles(RemoteSession& session)
    : session_(session)
    , sftp_(session.Sftp())
{
}

void RemoteFiles::Fail(const QString& what, const QString& path) const
{
    QString reason = StatusText(sftp_get_error(sftp_));
    if (reason.isEmpty())
        reason = session_.SessionError();
    throw RemoteError(QStringLiteral("%1 %2 on %3: %4.").arg(what, path, session_.Name(), reason).toStdString());
}

bool RemoteFiles::Connected() const
{
    return session_.Connected();
}

RemoteEntry RemoteFiles::Lstat(const QString& path) const
{
    const std::unique_ptr<sftp_attributes_struct, FreeAttributes> attributes(
        sftp_lstat(sftp_, Bytes(path).constData()));
    if (!attributes) {
        if (sftp_get_error(sftp_) == SSH_FX_NO_SUCH_FILE)
            return {};
        Fail(QStringLiteral("Cannot look at"), path);
    }
    RemoteEntry entry {RemoteKind::Other, qint64(attributes->size), int(attributes->permissions & 07777)};
    if (attributes->type == SSH_FILEXFER_TYPE_REGULAR)
        entry.kind = RemoteKind::File;
    else if (attributes->type == SSH_FILEXFER_TYPE_DIRECTORY)
        entry.kind = RemoteKind::Folder;
    else if (attributes->type == SSH_FILEXFER_TYPE_SYMLINK)
        entry.kind = RemoteKind::Link;
    return entry;
}

QString RemoteFiles::UnsafeElement(const QString& root, const QString& relative, RemoteEntry* file) const
{
    const QStringList elements = relative.split(u'/');
    QString path = root;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        path += u'/' + elements[i];
        const bool last = i == elements.size() - 1;
        if (!last && safeFolders_.contains(path))
            continue;
        const RemoteEntry entry = Lstat(path);
        if (last && file)
            *file = entry;
        if (entry.kind == RemoteKind::Missing)
            return QString();
        if (entry.kind == RemoteKind::Link || (!last && entry.kind != RemoteKind::Folder))
            return path;
        if (!last)
            safeFolders_.insert(path);
    }
    return QString();
}

QByteArray
RemoteFiles::Sha256(const QString& path, qint64 size, const std::function<void(const QByteArray&)>& sink) const
{
    const OpenFile file(sftp_open(sftp_, Bytes(path).constData(), O_RDONLY, 0));
    if (!file)
        Fail(QStringLiteral("Cannot read"), path);
    zp::Sha256 hash;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    // A known size saves the request that would only say the file has ended.
    for (qint64 done = 0; size < 0 || done < size;) {
        const ssize_t read = sftp_read(file.get(), chunk.data(), size_t(chunk.size()));
        if (read < 0)
            Fail(QStringLiteral("Cannot read"), path);
        if (read == 0)
            break;
        const QByteArray bytes = QByteArray::fromRawData(chunk.constData(), qsizetype(read));
        hash.Add(bytes);
        if (sink)
            sink(bytes);
        done += read;
    }
    return hash.HexResult();
}

void RemoteFiles::Upload(const QString& path, const QByteArray& bytes, int mode) const
{
    // O_EXCL: whatever lies under this name, a link included, makes the open fail; a regular file
    // there is what a killed publish left, and goes.
    const auto create
        = [&] { return sftp_open(sftp_, Bytes(path).constData(), O_WRONLY | O_CREAT | O_EXCL, mode_t(mode)); };
    OpenFile file(create());
    if (!file && Lstat(path).kind == RemoteKind::File) {
        Remove(path);
        file.reset(create());
    }
    if (!file)
        Fail(QStringLiteral("Cannot create"), path);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = sftp_write(
            file.get(), bytes.constData() + done, size_t(std::min<qsizetype>(ChunkSize, bytes.size() - done)));
        if (written <= 0)
            Fail(QStringLiteral("Cannot write"), path);
        done += written;
    }
    const std::unique_ptr<sftp_attributes_struct, FreeAttributes> attributes(sftp_fstat(file.get()));
    if (!attributes)
        Fail(QStringLiteral("Cannot look at"), path);
    if (qint64(attributes->size) != bytes.size()) {
        throw RemoteError(QStringLiteral("The file %1 on %2 holds %3 bytes of the %4 sent.")
                              .arg(path, session_.Name())
                              .arg(qint64(attributes->size))
                              .arg(bytes.size())
                              .toStdString());
    }
    const bool modeSet = int(attributes->permissions & 07777) == mode;
    if (sftp_close(file.release()) != SSH_OK)
        Fail(QStringLiteral("Cannot write"), path);
    // The server's umask may have narrowed the mode of the open.
    if (!modeSet && sftp_chmod(sftp_, Bytes(path).constData(), mode_t(mode)) != SSH_OK)
        Fail(QStringLiteral("Cannot set the mode of"), path);
}

// SFTP's rename never replaces a file, and libssh 0.10 has no call for the server's
// posix-rename@openssh.com: the old file is moved aside, the new one renamed in, and the old one
// moved back when that fails. A connection lost between the two renames leaves the old file aside,
// where Recover finds it.
void RemoteFiles::Replace(const QString& temporary, const QString& target, bool targetExists) const
{
    const QString aside = AsideName(target);
    if (targetExists && sftp_rename(sftp_, Bytes(target).constData(), Bytes(aside).constData()) != SSH_OK) {
        // An old file left aside by a publish that completed all but its last step.
        if (Lstat(aside).kind != RemoteKind::File)
            Fail(QStringLiteral("Cannot move aside"), target);
        Remove(aside);
        if (sftp_rename(sftp_, Bytes(target).constData(), Bytes(aside).constData()) != SSH_OK)
            Fail(QStringLiteral("Cannot move aside"), target);
    }
    if (sftp_rename(sftp_, Bytes(temporary).constData(), Bytes(target).constData()) != SSH_OK) {
        const int error = sftp_get_error(sftp_);
        if (targetExists)
            sftp_rename(sftp_, Bytes(aside).constData(), Bytes(target).constData());
        throw RemoteError(QStringLiteral("Cannot put in place %1 on %2: %3.")
                              .arg(target, session_.Name(), StatusText(error))
                              .toStdString());
    }
    if (targetExists)
        sftp_unlink(sftp_, Bytes(aside).constData());
}

bool RemoteFiles::Recover(const QString& target) const
{
    const QString aside = AsideName(target);
    if (Lstat(target).kind != RemoteKind::Missing || Lstat(aside).kind != RemoteKind::File)
        return false;
    if (sftp_rename(sftp_, Bytes(aside).constData(), Bytes(target).constData()) != SSH_OK)
        Fail(QStringLiteral("Cannot move back"), aside);
    return true;
}

void RemoteFiles::Remove(const QString& path) const
{
    if (sftp_unlink(sftp_, Bytes(path).constData()) != SSH_OK)
        Fail(QStringLiteral("Cannot remove"), path);
}

void RemoteFiles::MakeFolders(const QString& root, const QString& relative) const
{
    QString path = root;
    for (const QString& element : relative.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + element;
        const RemoteKind kind = Lstat(path).kind;
        if (kind == RemoteKind::Missing && sftp_mkdir(sftp_, Bytes(path).constData(), 0755) != SSH_OK)
            Fail(QStringLiteral("Cannot make the folder"), path);
        if (kind != RemoteKind::Missing && kind != RemoteKind::Folder)
            throw RemoteError(QStringLiteral("%1 on %2 is not a folder.").arg(path, session_.Name()).toStdString());
    }
}

QString RemoteFiles::TemporaryName(const QString& target)
{
    return target.section(u'/', 0, -2) + QStringLiteral("/.") + target.section(u'/', -1)
        + QStringLiteral(".zenpatch-new");
}

QString RemoteFiles::AsideName(const QString& target)
{
    return target.section(u'/', 0, -2) + QStringLiteral("/.") + target.section(u'/', -1)
        + QStringLiteral(".zenpatch-old");
}

} // namespace zp
