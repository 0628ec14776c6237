#include "app/common.h"
#include "database/database.h"
#include "database/recordset.h"
#include "scoped_env.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zp;

TEST(ProgramFolderTest, HomeVariableThenExecutableFolderThenSeededDataFolder)
{
    QTemporaryDir root;
    const QString prefix = root.filePath("prefix");
    QDir().mkpath(prefix + "/bin");
    QDir().mkpath(prefix + "/share/zenpatch");
    Database::CreateNew(prefix + "/share/zenpatch/zpatch.zpd");
    const ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));

    {
        const ScopedEnv home("ZENPATCH_HOME", QFile::encodeName(root.filePath("portable/")));
        EXPECT_EQ(ProgramFolder(prefix + "/bin"), root.filePath("portable"));
    }
    const ScopedEnv noHome("ZENPATCH_HOME", QByteArray());

    // Installed: the data folder, seeded once from the template; later changes are kept.
    const QString data = root.filePath("data/zenpatch");
    EXPECT_EQ(ProgramFolder(prefix + "/bin"), data);
    ASSERT_TRUE(QFile::exists(data + "/zpatch.zpd"));
    Database db;
    EXPECT_NO_THROW(db.Open(data + "/zpatch.zpd"));
    db.Execute("INSERT INTO [HackInfo] ([Name]) VALUES ('mine')");
    db.Close();
    EXPECT_EQ(ProgramFolder(prefix + "/bin"), data);
    db.Open(data + "/zpatch.zpd");
    Recordset hacks(db);
    hacks.Open("SELECT * FROM [HackInfo]");
    EXPECT_EQ(hacks.RecordCount(), 1);
    hacks.Close();
    db.Close();

    // A database beside the executable makes that folder the program folder.
    QFile::copy(prefix + "/share/zenpatch/zpatch.zpd", prefix + "/bin/zpatch.zpd");
    EXPECT_EQ(ProgramFolder(prefix + "/bin"), prefix + "/bin");
    EXPECT_EQ(DefaultProgramFolder(prefix + "/bin"), prefix + "/bin");
}

TEST(ProgramFolderTest, HomeOptionComesOffTheCommandLine)
{
    const auto split = [](const QStringList& arguments) {
        const ProgramArguments parts = SplitProgramArguments(arguments);
        return QStringList {parts.home, parts.commandLine};
    };
    EXPECT_EQ(split({"--home", "/b", "/h/my", "hack.zpx"}), (QStringList {"/b", "/h/my hack.zpx"}));
    EXPECT_EQ(split({"--home=/b", "x.zpp"}), (QStringList {"/b", "x.zpp"}));
    EXPECT_EQ(split({"x.zpp", "--home", "/b"}), (QStringList {"", "x.zpp --home /b"}));
    EXPECT_EQ(split({"--home"}), (QStringList {"", "--home"}));
    EXPECT_EQ(split({}), (QStringList {"", ""}));
}
