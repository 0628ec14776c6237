#include "engine/find_routines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zp {
namespace {

class FindFileInTreeTest : public testing::Test
{
protected:
    QTemporaryDir dir;

    QString Touch(const QString& relative)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
};

TEST_F(FindFileInTreeTest, FileInTheFolderWinsOverSubfolders)
{
    Touch("a/forum.cgi");
    const QString direct = Touch("forum.cgi");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), direct);
}

TEST_F(FindFileInTreeTest, SubfoldersAreSearchedDepthFirstInNameOrder)
{
    const QString deep = Touch("b/deep/x/forum.cgi");
    Touch("c/forum.cgi");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), deep);
    Touch(".hidden/forum.cgi");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), dir.filePath(".hidden/forum.cgi"));
}

TEST_F(FindFileInTreeTest, ExactNameBeforeOtherLetterCase)
{
    const QString upper = Touch("a/Forum.CGI");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), upper);
    const QString exact = Touch("a/forum.cgi");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), exact);
}

TEST_F(FindFileInTreeTest, MissingFolderFileOrFolderOfThatName)
{
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.filePath("nowhere")), "");
    QDir(dir.path()).mkpath("forum.cgi/inner");
    EXPECT_EQ(FindFileInTree("forum.cgi", dir.path()), "");
    EXPECT_EQ(FindFileInTree("", dir.path()), "");
}

TEST_F(FindFileInTreeTest, FollowsNoLinkOutOfTheTree)
{
    QTemporaryDir outside;
    QFile secret(outside.filePath("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    QDir(dir.path()).mkdir("board");
    ASSERT_TRUE(QFile::link(outside.path(), dir.filePath("board/linked")));
    ASSERT_TRUE(QFile::link(secret.fileName(), dir.filePath("board/secret.txt")));
    EXPECT_EQ(FindFileInTree("secret.txt", dir.filePath("board")), "");
    // A sibling folder whose name begins with the root's name is outside it too.
    const QString privateFile = Touch("board-private/key.txt");
    ASSERT_TRUE(QFile::link(privateFile, dir.filePath("board/key.txt")));
    EXPECT_EQ(FindFileInTree("key.txt", dir.filePath("board")), "");

    // A link back into the tree neither loops nor hides a real file.
    ASSERT_TRUE(QFile::link(dir.filePath("board"), dir.filePath("board/loop")));
    const QString real = Touch("board/z/real.txt");
    EXPECT_EQ(FindFileInTree("real.txt", dir.filePath("board")), real);
    ASSERT_TRUE(QFile::link(real, dir.filePath("board/alias.txt")));
    EXPECT_EQ(FindFileInTree("alias.txt", dir.filePath("board")), dir.filePath("board/alias.txt"));
}

} // namespace
} // namespace zp
