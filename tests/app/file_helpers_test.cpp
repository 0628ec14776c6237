#include "app/common.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zp;

TEST(TimeTextTest, FormatsTwelveHourTextWithoutSeconds)
{
    const struct
    {
        const char* time;
        const char* text;
    } cases[] = {
        {"13:05:22", "1:05pm"},
        {"23:59:59", "11:59pm"},
        {"10:05:22", "10:05am"},
        {"12:30:00", "12:30am"}, // stored stamps carry this quirk
        {"12:00:00", "12:00am"},
        {"09:05:22", "9:05am"},
        {"00:30:00", "0:30am"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeText(c.time), c.text) << c.time;
}

TEST(TimeTextTest, EmptyInputUsesTheCurrentTime)
{
    const QString before = TimeText(QTime::currentTime().toString("hh:mm:ss"));
    const QString now = TimeText();
    const QString after = TimeText(QTime::currentTime().toString("hh:mm:ss"));
    EXPECT_TRUE(now == before || now == after) << now.toStdString();
}

TEST(TimeTextTest, StampIsDateBlankTime)
{
    EXPECT_EQ(TimeStamp(QDateTime(QDate(2001, 12, 6), QTime(2, 49, 10))), "12-06-2001 2:49am");
    EXPECT_EQ(TimeStamp(QDateTime(QDate(2026, 1, 31), QTime(14, 7, 0))), "01-31-2026 2:07pm");
}

TEST(PathTextTest, FileNameAndFolderOf)
{
    EXPECT_EQ(FileNameOf("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(FileNameOf("c.txt"), "c.txt");
    EXPECT_EQ(FileNameOf("C:\\a\\c.txt"), "c.txt");
    EXPECT_EQ(FolderOf("/a/b.txt"), "/a/");
    EXPECT_EQ(FolderOf("a/b/c"), "a/b/");
    EXPECT_EQ(FolderOf("b.txt"), "b.txt");
    EXPECT_EQ(FolderOf(""), "");
}

class FolderHelpersTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& relative) const { return dir.filePath(relative); }
    void Touch(const QString& relative)
    {
        QFile file(PathOf(relative));
        file.open(QIODevice::WriteOnly);
        file.write(relative.toUtf8());
    }
    QTemporaryDir dir;
};

TEST_F(FolderHelpersTest, ExistenceTests)
{
    Touch("file");
    EXPECT_TRUE(FileExists(PathOf("file")));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirExists(dir.path()));
    EXPECT_TRUE(DirExists(PathOf("file"))); // a file name counts, as with a directory listing
    EXPECT_FALSE(DirExists(PathOf("missing")));
    EXPECT_FALSE(DirExists(""));
}

TEST_F(FolderHelpersTest, MakePathCreatesOnlyMissingLevels)
{
    QDir(dir.path()).mkdir("x");
    Touch("x/keep");
    EXPECT_TRUE(MakePath(PathOf("x/y")));
    EXPECT_TRUE(QFile::exists(PathOf("x/keep")));
    EXPECT_TRUE(MakePath(PathOf("p/q/r/")));
    EXPECT_TRUE(QFileInfo(PathOf("p/q/r")).isDir());
    Touch("blocker");
    EXPECT_FALSE(MakePath(PathOf("blocker/sub")));
}

TEST_F(FolderHelpersTest, DeleteFolderTreeRemovesReadOnlyPartsButRefusesHomeAndRoot)
{
    MakePath(PathOf("tree/a/b"));
    Touch("tree/a/b/f");
    QFile::setPermissions(PathOf("tree/a"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    DeleteFolderTree(PathOf("tree"));
    EXPECT_FALSE(QFileInfo::exists(PathOf("tree")));

    DeleteFolderTree("");
    DeleteFolderTree("/");
    DeleteFolderTree(QDir::homePath() + "/");
    EXPECT_TRUE(QFileInfo(QDir::homePath()).isDir());
}

TEST_F(FolderHelpersTest, CopyFolderTreeMergesAndHonoursOverwrite)
{
    MakePath(PathOf("src/sub"));
    Touch("src/sub/f");
    MakePath(PathOf("dst/sub"));
    QFile old(PathOf("dst/sub/f"));
    old.open(QIODevice::WriteOnly);
    old.write("old");
    old.close();

    EXPECT_THROW(CopyFolderTree(PathOf("src"), PathOf("dst"), false), std::runtime_error);
    CopyFolderTree(PathOf("src"), PathOf("dst"), true);
    old.open(QIODevice::ReadOnly);
    EXPECT_EQ(old.readAll(), "src/sub/f");

    EXPECT_THROW(CopyFolderTree(PathOf("src"), PathOf("src/sub/inner"), true), std::runtime_error);
    EXPECT_THROW(CopyFolderTree(PathOf("missing"), PathOf("dst"), true), std::runtime_error);
}

// A failing comparison of Qt text or bytes reads as text, with control bytes escaped.
TEST(QtPrintersTest, TextAndBytesPrintAsQuotedText)
{
    EXPECT_EQ(::testing::PrintToString(QString("f\u00fcr \"x\"")), "\"f\u00fcr \"x\"\"");
    EXPECT_EQ(::testing::PrintToString(QByteArray("a\0\"\x7f", 4)), "\"a\\x00\\\"\\x7f\"");
    EXPECT_EQ(::testing::PrintToString(QStringList {"U"}), "{ \"U\" }");
}

TEST(OpenRegularFileTest, RefusesAnythingButARegularFileWithoutWaitingOnIt)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("link")));
    QDir(dir.path()).mkdir("folder");
    QFile regular(dir.filePath("file"));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly) && regular.write("bytes") == 5);
    regular.close();

    const struct
    {
        const char* name;
        QIODevice::OpenMode mode;
        const char* refusal;
    } cases[] = {
        {"fifo", QIODevice::ReadOnly, "not a regular file (a FIFO)"},
        {"fifo", QIODevice::WriteOnly | QIODevice::Append, "not a regular file (a FIFO)"},
        {"link", QIODevice::ReadOnly, "not a regular file (a FIFO)"},
        {"folder", QIODevice::ReadOnly, "not a regular file (a folder)"},
        {"absent", QIODevice::ReadOnly, "No such file or directory"},
        {"file", QIODevice::ReadOnly, ""},
    };
    for (const auto& c : cases) {
        QFile file;
        EXPECT_EQ(OpenRegularFile(file, dir.filePath(c.name), c.mode), c.refusal) << c.name;
        EXPECT_EQ(file.isOpen(), *c.refusal == '\0') << c.name;
    }
    EXPECT_EQ(OpenRegularFile(regular, regular.fileName()), "");
    EXPECT_EQ(regular.readAll(), "bytes");
}
