#include "app/whole_file.h"
#include "file_size_limit.h"

#include <QDir>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
