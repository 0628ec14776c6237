#include "app/whole_file.h"
#include "file_size_limit.h"

#include <QDir>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zp;

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& root, const QString& name, const QByteArray& bytes)
{
    WriteWholeFile(QFileInfo(root).path(), root, name, [&bytes](WholeFile& file) { file.Write(bytes); });
}

} // namespace

TEST(WholeFileTest, ReplacesWholeOrLeavesTheOldBytes)
{
    QTemporaryDir home;
    const QString root = home.filePath("board");
    Write(root, "cgi/forum.cgi", "old");
    QFile::setPermissions(root + "/cgi/forum.cgi", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    {
        FileSizeLimit full(4096); // the disk fills up half-way
        try {
            Write(root, "cgi/forum.cgi", QByteArray(10000, 'n'));
            ADD_FAILURE() << "the write did not fail";
        } catch (const std::runtime_error& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr(": File too large"));
        }
    }
    EXPECT_EQ(Read(root + "/cgi/forum.cgi"), "old");
    EXPECT_EQ(QDir(root + "/cgi").entryList(QDir::Files | QDir::Hidden), QStringList {"forum.cgi"});

    Write(root, "cgi/forum.cgi", "new");
    EXPECT_EQ(Read(root + "/cgi/forum.cgi"), "new");
    EXPECT_TRUE(QFileInfo(root + "/cgi/forum.cgi").permissions() & QFile::ExeOwner);
}

// A file of the work folder trades places with the file it replaces, which the caller removes with
// the work folder; a folder where the file should go is never taken.
TEST(WholeFileTest, AMovedFileTradesPlacesWithTheOldFileButNeverWithAFolder)
{
    QTemporaryDir home;
    const QString root = home.filePath("board");
    const QString work = home.filePath("work");
    QDir().mkpath(root + "/cgi/forum");
    QDir().mkpath(work);
    Write(root, "cgi/forum.cgi", "old");
    Write(work, "1", "new");
    Write(work, "2", "not a folder");
    WholeFileBatch batch(home.path());
    batch.Stage(work + "/1", root, "cgi/forum.cgi");
    batch.Stage(work + "/2", root, "cgi/forum");
    QStringList failed;
    batch.Commit([&failed](const QString& relative, const QString&) { failed << relative; });
    EXPECT_EQ(Read(root + "/cgi/forum.cgi"), "new");
    EXPECT_EQ(Read(work + "/1"), "old");
    EXPECT_EQ(failed, QStringList {"cgi/forum"});
    EXPECT_TRUE(QFileInfo(root + "/cgi/forum").isDir());
}

// The batch's calls to the disk, by file size, in order; the wait fails for a file of 3 bytes.
std::vector<std::string> diskCalls;

int Size(int fd)
{
    struct stat st
    {
    };
    ::fstat(fd, &st);
    return int(st.st_size);
}

// Every staged file starts on its way to the disk before the batch waits for the first, and is
// put in place only once its data is there: a file whose wait fails keeps the old target.
TEST(WholeFileTest, AllWriteBacksStartBeforeTheFirstWaitAndOnlyWrittenFilesArePlaced)
{
    QTemporaryDir home;
    const QString root = home.filePath("board");
    const QString work = home.filePath("work");
    Write(root, "c.cgi", "old");
    Write(work, "1", "a");
    Write(work, "2", "bb");
    Write(home.filePath("kept"), "3", "ccc"); // copied: it stays where it is
    diskCalls.clear();
    const WriteBackCalls recording {[](int fd) {
                                        diskCalls.push_back("start " + std::to_string(Size(fd)));
                                        return 0;
                                    },
                                    [](int fd) {
                                        diskCalls.push_back("wait " + std::to_string(Size(fd)));
                                        errno = EIO;
                                        return Size(fd) == 3 ? -1 : 0;
                                    }};
    WholeFileBatch batch(home.path(), recording);
    batch.Stage(work + "/1", root, "a.cgi");
    batch.Stage(work + "/2", root, "sub/b.cgi");
    batch.Stage(home.filePath("kept/3"), root, "c.cgi", Staging::Copy);
    QStringList failed;
    batch.Commit([&failed](const QString& relative, const QString& reason) { failed << relative + ": " + reason; });

    EXPECT_EQ(diskCalls, (std::vector<std::string> {"start 1", "start 2", "start 3", "wait 1", "wait 2", "wait 3"}));
    EXPECT_EQ(failed, QStringList {"c.cgi: Cannot write " + root + "/c.cgi: Input/output error"});
    EXPECT_EQ(Read(root + "/a.cgi"), "a");
    EXPECT_EQ(Read(root + "/sub/b.cgi"), "bb");
    EXPECT_EQ(Read(root + "/c.cgi"), "old");
    EXPECT_EQ(Read(home.filePath("kept/3")), "ccc");
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), (QStringList {"a.cgi", "c.cgi"}));
}

// The target folders are opened when a file is staged: a folder swapped for a link before the
// renames (or before a single file is committed) receives the files, the link's target nothing;
// a link standing where a staged work file should be is never moved into the board.
TEST(WholeFileTest, ALinkPlantedDuringTheRunIsNeverFollowed)
{
    QTemporaryDir home;
    const QString root = home.filePath("board");
    const QString work = home.filePath("work");
    const QString outside = home.filePath("outside");
    QDir().mkpath(root + "/cgi-bin");
    QDir().mkpath(work);
    QDir().mkpath(outside);
    Write(work, "1", "batch");
    Write(outside, "secret", "secret");
    ASSERT_TRUE(QFile::link(outside + "/secret", work + "/2"));

    WholeFileBatch batch(home.path());
    batch.Stage(work + "/1", root, "cgi-bin/a.cgi");
    EXPECT_THROW(batch.Stage(work + "/2", root, "cgi-bin/b.cgi"), UnsafePathError);
    WholeFile single(home.path(), root, "cgi-bin/c.cgi");
    single.Write("single");
    ASSERT_TRUE(QDir(root).rename("cgi-bin", "moved"));
    ASSERT_TRUE(QFile::link(outside, root + "/cgi-bin"));
    QStringList failed;
    batch.Commit([&failed](const QString& relative, const QString&) { failed << relative; });
    single.Commit();

    EXPECT_TRUE(failed.isEmpty());
    EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList {"secret"});
    EXPECT_EQ(Read(root + "/moved/a.cgi"), "batch");
    EXPECT_EQ(Read(root + "/moved/c.cgi"), "single");
    EXPECT_TRUE(QFileInfo(work + "/2").isSymLink());
    EXPECT_THROW(Write(root, "cgi-bin/d.cgi", "d"), UnsafePathError);
}

// A damaged or forged pending list never deletes a user's file: only a temporary file of ours goes.
TEST(WholeFileTest, ThePendingListRemovesOnlyTemporaryFilesOfOurs)
{
    QTemporaryDir home;
    const QString board = home.filePath("board");
    Write(board, "index.php", "<?php");
    Write(board, ".zenpatch-0000abcd.part", "left by a killed job");
    QFile list(home.filePath("zpatch.pending"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write((board + "/index.php\n" + board + "/.zenpatch-0000abcd.part\n").toUtf8());
    list.close();
    RemovePendingFiles(home.path());
    EXPECT_EQ(QDir(board).entryList(QDir::Files | QDir::Hidden), QStringList {"index.php"});
    EXPECT_FALSE(list.exists());
}
