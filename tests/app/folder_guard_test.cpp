#include "app/folder_guard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zp;

namespace {

// What OutputFolderConflict names for an output folder, or "" when it has no objection.
QString ConflictOf(const QString& output)
{
    const auto conflict = OutputFolderConflict("/srv/zp", "/srv/board", output);
    return conflict ? conflict->what + " " + conflict->path : QString();
}

} // namespace

TEST(FolderGuardTest, TheOutputFolderKeepsClearOfTheProgramAndSourceFolders)
{
    EXPECT_EQ(ConflictOf("/srv/zp"), "the program folder /srv/zp");
    EXPECT_EQ(ConflictOf("/srv/zp/"), "the program folder /srv/zp");
    EXPECT_EQ(ConflictOf("/srv"), "the program folder /srv/zp");
    EXPECT_EQ(ConflictOf("/srv/zp/backups"), "the backups folder /srv/zp/backups");
    EXPECT_EQ(ConflictOf("/srv/zp/enctemp/x"), "the exchange folder /srv/zp/enctemp");
    EXPECT_EQ(ConflictOf("/srv/zp/zpk_inst_temp/a/b"), "the work folder /srv/zp/zpk_inst_temp");
    EXPECT_EQ(ConflictOf("/srv/board/out"), "the source folder /srv/board");
    EXPECT_EQ(ConflictOf("/srv/out"), "");
    EXPECT_EQ(ConflictOf("/srv/zp/out"), ""); // beside the database, a portable copy's output
    EXPECT_EQ(ConflictOf("/srv/zpx"), "");

    // A link is no way round: the folder it leads to is compared.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("alias")));
    const auto linked = OutputFolderConflict(dir.path(), QString(), dir.filePath("alias/"));
    ASSERT_TRUE(linked.has_value());
    EXPECT_EQ(linked->what, "the program folder");
}
