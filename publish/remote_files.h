#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <set>

struct sftp_session_struct;

namespace zp {

class RemoteSession;

enum class RemoteKind { Missing, File, Folder, Link, Other };

// What lstat says of a remote path: a link is never followed.
struct RemoteEntry
{
    RemoteKind kind = RemoteKind::Missing;
    qint64 size = 0;
    int mode = 0; // the permission bits
};

// The file operations of a publish on the server, each one SFTP request of libssh or a few. Every
// failure throws RemoteError naming the remote path and the reason.
class RemoteFiles
{
public:
    explicit RemoteFiles(RemoteSession& session);

    // Whether the connection still stands.
    bool Connected() const;

    RemoteEntry Lstat(const QString& path) const;
    // The first of the folders below root on the way to root + "/" + relative, and the file itself,
    // that is a symbolic link (or a folder that is not one); empty when there is none. The walk ends
    // at the first element that does not exist; `file` gets what lstat says of the file. A folder
    // found safe is not looked at again until ForgetFolders.
    QString UnsafeElement(const QString& root, const QString& relative, RemoteEntry* file = nullptr) const;
    // From now on every folder is looked at again: for the moment of writing.
    void ForgetFolders() const { safeFolders_.clear(); }
    // The SHA-256 (lowercase hex) of the first `size` bytes of a remote file (all of them when
    // negative), each chunk also handed to `sink`.
    QByteArray
    Sha256(const QString& path, qint64 size = -1, const std::function<void(const QByteArray&)>& sink = {}) const;
    // Writes `bytes` into a file that must not exist yet (a link there is not followed), checks its
    // size on the server and gives it `mode`. A regular file of this name is the leftover of an
    // earlier, killed publish and is removed first.
    void Upload(const QString& path, const QByteArray& bytes, int mode) const;
    // Puts `temporary` in the place of `target`: the old target is moved aside (AsideName), the new
    // file renamed in, and the old one moved back when that fails, then removed.
    void Replace(const QString& temporary, const QString& target, bool targetExists) const;
    // Moves back the old file that a connection lost in the middle of Replace left aside, when the
    // target is missing; true when it did.
    bool Recover(const QString& target) const;
    void Remove(const QString& path) const;
    // Makes the missing folders of root + "/" + relative (a '/'-separated folder path).
    void MakeFolders(const QString& root, const QString& relative) const;

    // The name a file is written under before it replaces `target`, in the same folder.
    static QString TemporaryName(const QString& target);
    // The name the old file has while Replace puts the new one in its place.
    static QString AsideName(const QString& target);

private:
    [[noreturn]] void Fail(const QString& what, const QString& path) const;

    RemoteSession& session_;
    sftp_session_struct* sftp_;
    mutable std::set<QString> safeFolders_;
};

} // namespace zp
