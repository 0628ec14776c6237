#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zp {

// "Refused to write through the symbolic link <link>".
QString RefusedLinkText(const QString& link);

// A write refused because a symbolic link lies on the way from its root to the file.
class UnsafePathError : public std::runtime_error
{
public:
    explicit UnsafePathError(const QString& link);
    QString link; // the link in the way
};

// The first symbolic link met when walking from root (not itself a candidate) down the elements of
// `relative` (the last one included); empty when there is none. The walk ends at the first element
// that does not exist, since nothing below it can be a link yet.
QString LinkOnTheWay(const QString& root, const QString& relative);

// The system's text for an errno value ("No space left on device", "Permission denied").
QString SystemErrorText(int error);

// Writes all the bytes, or returns false with the device's error naming the system's reason: a
// write that falls short (the disk filled up) is continued until the system says why it cannot.
bool WriteFully(QIODevice& device, const char* data, qint64 size);
inline bool WriteFully(QIODevice& device, const QByteArray& bytes)
{
    return WriteFully(device, bytes.constData(), bytes.size());
}

// Writes a new file at `relative` below the open folder `root` (whose path is `rootPath`) and returns
// its path. The folders on the way are opened from `root` without following a link (made when
// missing) and the file is created afresh (a regular file there is removed first), so that a link
// planted below the folder is refused, never written through. Throws UnsafePathError when a link
// is in the way, std::runtime_error naming the file and the system's reason otherwise.
QString WriteNewFileBelow(int root, const QString& rootPath, const QString& relative, const QByteArray& bytes);

// One file written whole or not at all. The content goes into a temporary file in the target's
// folder, listed in the program folder's pending list while it exists; Commit flushes it to disk,
// renames it over the target, which keeps its permissions, and flushes the folder. The target's folder is opened once,
// element by element from the root without following a link, and everything after is done relative
// to it, so a link planted on the way during the write is never followed. Destroyed without Commit, it
// removes the temporary file and the target stays as it was.
class WholeFile
{
public:
    // Target = root + "/" + relative. Throws UnsafePathError when a symbolic link lies on the way,
    // std::runtime_error when `relative` leads out of root or the folder cannot be made.
    WholeFile(const QString& programFolder, const QString& root, const QString& relative);
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    const QString& Target() const { return target_; }
    // The temporary file's path, for a writer that takes a path (the encoder).
    QString TemporaryPath() const { return temporaryPath_; }
    // Appends bytes; false when they could not all be written (Commit then says why).
    bool Write(const QByteArray& bytes);
    // Throws std::runtime_error naming the target and the system's reason.
    void Commit();

private:
    friend class WholeFileBatch;
    // Throws as Commit when the content could not all be written.
    void CheckWritten() const;
    // Renames the finished temporary file over the target. Throws as Commit.
    void Publish();
    [[noreturn]] void Fail(const QString& reason) const;

    QString target_;
    QByteArray name_; // the target's name in its folder
    int folder_ = -1; // the target's folder, opened once below the root
    QString temporaryPath_;
    QFile file_;
    bool failed_ = false;
    bool committed_ = false;
};

// Writes one file whole or not at all: `fill` writes the content through WholeFile::Write.
void WriteWholeFile(const QString& programFolder,
                    const QString& root,
                    const QString& relative,
                    const std::function<void(WholeFile&)>& fill);

// Copies a file to root + "/" + relative whole or not at all.
void CopyWholeFile(const QString& programFolder, const QString& source, const QString& root, const QString& relative);

// The system calls by which WholeFileBatch makes its files durable (a seam for the tests):
// `startWriteBack` starts writing a file's data to the disk without waiting, `wait` waits until it
// is there. Each returns 0 or -1 with errno set. With `together`, the waits run on a few threads at
// once, so that the file system takes the flushes of many files in few commits of its journal.
struct WriteBackCalls
{
    int (*startWriteBack)(int fd);
    int (*wait)(int fd);
    bool together = false;
};
// sync_file_range(SYNC_FILE_RANGE_WRITE) and fdatasync.
WriteBackCalls SystemWriteBack();

// How WholeFileBatch::Stage stages a file.
enum class Staging {
    MoveWhenPossible, // the source itself is renamed into place when it lies on the target's file system
    Copy, // the source stays where it is
};

// Files put in place together, each whole or not at all, with one wait for the disk for all of
// them rather than one per file. Each file is first staged beside its target: a file that already
// lies on the target's file system (one in the work folder) may be taken as it is, any other is
// copied into a temporary file there; its write-back to the disk starts as it is staged. Commit
// waits for every staged file's data to be on the disk, renames each over its target and then
// flushes each folder that changed once: a kill or a power loss leaves every target old or new,
// and once Commit returns the new files are durable. Staged files not committed are removed. A
// file taken as it is trades places with the regular file it replaces, which is left under the
// moved file's name for the caller to remove.
class WholeFileBatch
{
public:
    explicit WholeFileBatch(const QString& programFolder, WriteBackCalls calls = SystemWriteBack());
    ~WholeFileBatch();
    WholeFileBatch(const WholeFileBatch&) = delete;
    WholeFileBatch& operator=(const WholeFileBatch&) = delete;

    // Stages `source` to become root + "/" + relative. Throws as WholeFile does, and
    // std::runtime_error when the source cannot be read; nothing is staged then.
    void Stage(const QString& source,
               const QString& root,
               const QString& relative,
               Staging staging = Staging::MoveWhenPossible);
    // Stages a new file for root + "/" + relative: `fill` writes its content through
    // WholeFile::Write. Throws as WholeFile does; nothing is staged then.
    void Stage(const QString& root, const QString& relative, const std::function<void(WholeFile&)>& fill);
    // Puts every staged file in place; `failed` is called with the relative path and the reason
    // for each one that could not be, which keeps its target as it was, and for each whose folder
    // could not be flushed after its rename.
    void Commit(const std::function<void(const QString& relative, const QString& reason)>& failed);

private:
    struct Staged;
    // The folder root + "/" + elements (at `path`), opened once per batch; see WholeFile.
    int Folder(const QString& root, const QStringList& elements, const QString& path, const QString& target);

    QString programFolder_;
    WriteBackCalls calls_;
    std::vector<Staged> staged_;
    std::map<QString, int> folders_; // path -> open folder
};

// Removes the folder root + "/" + relative when it is empty. The folder it lies in is reached as
// WholeFile reaches a target's folder, never through a link, and a link in the folder's place is not
// removed. Returns 0 once it is removed, else the system's errno (ENOENT, ENOTEMPTY, ENOTDIR ...).
// Throws UnsafePathError for a link on the way, std::runtime_error when `relative` leads out of
// root or a folder on the way is missing.
int RemoveEmptyFolder(const QString& root, const QString& relative);

// Removes the temporary files that a killed job left (those in the pending list), then the list.
// Throws std::runtime_error naming the list when it cannot be read (a FIFO in its place).
void RemovePendingFiles(const QString& programFolder);

} // namespace zp
