#include "app/board_directories.h"
#include "database/sql.h"
#include "program_folder_fixture.h"

using namespace zp;

namespace {

class BoardDirectoriesTest : public ProgramFolderFixture
{
protected:
    void Configure(const QList<QPair<QString, QString>>& columns)
    {
        Recordset& config = *state.ConfigRecordset;
        config.ReOpen(sql::SelectConfig);
        for (const auto& [name, value] : columns)
            config.SetValue(name, value);
        config.Update();
    }

    void UseType(int hackType)
    {
        state.CurrentHackType = qint16(hackType);
        LoadDirectoryTable(state);
        layout = CurrentLayout(state);
    }

    BoardLayout layout;
};

} // namespace

TEST_F(BoardDirectoriesTest, TableLayoutFollowsTheHackType)
{
    Configure({{"ubbCGIDir", "cgi-bin"}, {"ubbTemplatesDir", "templates"}, {"vbAttachDir", "attach"}});
    UseType(1);
    ASSERT_EQ(state.DirectoryTable.size(), 10);
    EXPECT_EQ(state.DirectoryTable[7], "attach");
    EXPECT_EQ(state.DirectoryTable[0], ""); // Null column
    UseType(0);
    EXPECT_EQ(state.DirectoryTable,
              QStringList({"cgi-bin", "", "", "", "templates", ""})); // shrinks to six, entry 5 empty
    // A job's layout of another type leaves the hack list's as it was.
    EXPECT_EQ(LayoutOf(state, 1).directories.value(7), "attach");
    EXPECT_EQ(LayoutOf(state, 5).directories, QStringList());
    EXPECT_EQ(state.CurrentHackType, 0);
    UseType(5);
    EXPECT_EQ(state.DirectoryTable.size(), 6); // another type leaves the table as it was
    EXPECT_EQ(LocationNames(1).value(4), "Images/Smilies");
    EXPECT_EQ(LocationNames(0).size(), 5);
}

TEST_F(BoardDirectoriesTest, ModDirectoryRules)
{
    Configure({{"ubbCGIDir", "cgi-bin"}, {"vbImagesDir", "images"}, {"vbModDir", "a\\b"}});
    UseType(1);
    EXPECT_EQ(ResolveModDirectory(layout, 3, "/avatars/"), "images/avatars");
    EXPECT_EQ(ResolveModDirectory(layout, 3, QVariant()), "images");
    EXPECT_EQ(ResolveModDirectory(layout, 2, "\\c\\"), "a/b/c");
    EXPECT_EQ(ResolveModDirectory(layout, 0, "\\"), ""); // empty folder, single separator
    EXPECT_EQ(ResolveModDirectory(layout, 0, "//x//"), "/x/"); // one separator at each end only
    EXPECT_EQ(ResolveModDirectory(layout, 8, "sub"), "");
    UseType(0);
    EXPECT_EQ(ResolveModDirectory(layout, 5, "sub"), ""); // one past the UBB list
    EXPECT_EQ(ResolveModDirectory(layout, 7, "sub"), ""); // outside the UBB list: the root
    EXPECT_EQ(ResolveModDirectory(layout, 0, "sub"), "cgi-binsub");
}

TEST_F(BoardDirectoriesTest, SupportFileDirectoryForInstallAndTextExport)
{
    Configure({{"ubbCGIDir", "cgi-bin"}, {"vbImagesDir", "images/"}});
    UseType(0);
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 0, "sub"), "cgi-bin/sub");
    EXPECT_EQ(ResolveTextExportDirectory(layout, 0, "sub"), "cgi-bin/sub");
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 1, "a/b"), "/a/b"); // empty folder: leading separator
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 0, QVariant()), "cgi-bin/");
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 7, "x"), "/x"); // not in the UBB table
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 8, "x"), "");
    EXPECT_EQ(ResolveTextExportDirectory(layout, 7, "x"), "x"); // where the installer puts it
    UseType(1);
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 3, "\\smilies"), "images//smilies");
    EXPECT_EQ(ResolveSupportFileDirectory(layout, 3, "/a/b/"), "images///a/b/");
    EXPECT_EQ(ResolveTextExportDirectory(layout, 3, "a/b/"), "images/a/b");
    EXPECT_EQ(ResolveTextExportDirectory(layout, 3, "\\smilies\\x"), "images/smilies/x");
}

TEST(JoinInsideRootTest, StaysBelowTheRoot)
{
    EXPECT_EQ(JoinInsideRoot("/out", "cgi-bin/sub"), "/out/cgi-bin/sub");
    EXPECT_EQ(JoinInsideRoot("/out", "/sub\\deeper/"), "/out/sub/deeper");
    EXPECT_EQ(JoinInsideRoot("/out", ""), "/out");
    EXPECT_EQ(JoinInsideRoot("/out/", "./a"), "/out/a");
    EXPECT_EQ(JoinInsideRoot("/out", "a/../../etc"), std::nullopt);
    EXPECT_EQ(JoinInsideRoot("/out", "..\\x"), std::nullopt);
    EXPECT_EQ(JoinInsideRoot("/out", "a..b"), "/out/a..b");
}
