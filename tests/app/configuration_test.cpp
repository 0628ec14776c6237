#include "app/configuration.h"
#include "database/sql.h"
#include "program_folder_fixture.h"

#include <QDir>
#include <QStandardPaths>

using namespace zp;

namespace {

class ConfigurationTest : public ProgramFolderFixture
{
protected:
    OptionsValues Valid()
    {
        OptionsValues values;
        values.SourceDir = folder.filePath("board/source");
        values.OutputDir = folder.filePath("board/output");
        return values;
    }

    std::string Refusal(const QString& source, const QString& output)
    {
        OptionsValues values = Valid();
        values.SourceDir = source;
        values.OutputDir = output;
        const JobResult<OptionsSave> saved = SaveOptions(state, values);
        return saved.outcome == OptionsSave::Refused ? saved.message.value_or(UserMessage()).text.toStdString()
                                                     : std::string();
    }
};

const std::string Same = "The Source and Output directories cannot be the the same.";
const std::string NotRoot
    = "You cannot set the output folder as your desktop or windows root folders, it must be a subfolder.";

} // namespace

TEST_F(ConfigurationTest, FreshDatabaseAsksForConfigurationAndKeepsDefaults)
{
    EXPECT_EQ(LoadConfiguration(state), ConfigurationLoad::NotConfigured);
    EXPECT_EQ(NotConfiguredMessage(),
              UserMessage({"It appears that Zenpatch is not configured, opening configuration window.",
                           "New Configuration",
                           MsgIcon::Critical}));

    EXPECT_EQ(state.SourceDir, "");
    EXPECT_EQ(state.cfgDefHackType, "0");
    EXPECT_EQ(state.cfgModValidate, 1);
    EXPECT_EQ(state.cfgFileAssoc, 1);
    EXPECT_EQ(state.cfgSearchOutputDir, 0);
    EXPECT_EQ(state.cfgDelOutputDir, 1);
    EXPECT_EQ(state.cfgOverWriteSource, 0);
    EXPECT_EQ(state.cfgEOL, 0);
    EXPECT_EQ(state.DirectoryTable, QStringList(6, QString()));

    const auto options = LoadOptions(state);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->cfgModValidate, 1);
    EXPECT_EQ(options->cfgDelOutputDir, 1);
    EXPECT_EQ(options->cfgAuthName, "");
}

TEST_F(ConfigurationTest, EmptyTableLoadsNothingAndFirstSaveAddsTheRow)
{
    state.Connection.Execute("DELETE FROM [MainConfig]");
    EXPECT_EQ(LoadConfiguration(state), ConfigurationLoad::NoRow);
    EXPECT_EQ(state.cfgModValidate, 0); // globals keep their initial values
    EXPECT_FALSE(LoadOptions(state).has_value());

    EXPECT_EQ(SaveOptions(state, Valid()).outcome, OptionsSave::Saved);
    state.ConfigRecordset->ReOpen(sql::SelectConfig);
    EXPECT_EQ(state.ConfigRecordset->RecordCount(), 1);
}

TEST_F(ConfigurationTest, SaveWritesNullForEmptyCreatesFoldersAndReloads)
{
    OptionsValues values = Valid();
    values.ubbCGIDir = "cgi-bin";
    values.cfgAuthName = "";
    values.cfgAuthEmail = "me@example.org";
    values.cfgEOL = 1;
    values.cfgModValidate = 0;
    const JobResult<OptionsSave> first = SaveOptions(state, values);
    ASSERT_EQ(first.outcome, OptionsSave::Saved);
    // A source folder that had to be made is most likely mistyped: the save says so, once.
    EXPECT_EQ(first.message,
              UserMessage({"The source folder " + values.SourceDir
                               + " did not exist; an empty folder was made there. Copy the board's files into it, "
                                 "or enter the folder that holds them, before installing.",
                           "Source Directory Created",
                           MsgIcon::Exclamation}));
    const JobResult<OptionsSave> again = SaveOptions(state, values);
    ASSERT_EQ(again.outcome, OptionsSave::Saved);
    EXPECT_FALSE(again.message);

    EXPECT_TRUE(QFileInfo(values.SourceDir).isDir());
    EXPECT_TRUE(QFileInfo(values.OutputDir).isDir());
    EXPECT_EQ(state.SourceDir, values.SourceDir);
    EXPECT_EQ(state.DirectoryTable.value(0), "cgi-bin");
    EXPECT_EQ(state.cfgEOL, 1);
    EXPECT_EQ(state.cfgModValidate, 0);
    EXPECT_EQ(state.cfgAuthEmail, "me@example.org");

    Recordset& config = *state.ConfigRecordset;
    config.ReOpen(sql::SelectConfig);
    EXPECT_TRUE(config.IsNull("cfgAuthName"));
    EXPECT_TRUE(config.IsNull("vbRootDir"));
    EXPECT_EQ(config.Int("cfgDefHackType"), 0);

    EXPECT_EQ(LoadConfiguration(state), ConfigurationLoad::Loaded);
}

TEST_F(ConfigurationTest, ValidationMessages)
{
    const auto both = SaveOptions(state, OptionsValues {});
    ASSERT_EQ(both.outcome, OptionsSave::Refused);
    EXPECT_EQ(both.message->text.toStdString(), Same);
    EXPECT_EQ(both.message->title, "Invalid Directory");
    EXPECT_EQ(both.message->icon, MsgIcon::None);

    OptionsValues values = Valid();
    values.SourceDir.clear();
    const auto noSource = SaveOptions(state, values);
    ASSERT_EQ(noSource.outcome, OptionsSave::Refused);
    EXPECT_EQ(noSource.message->text, "You must specify a Source directory before continuing.");
    EXPECT_EQ(noSource.message->title, "Missing Source directory.");
    EXPECT_EQ(noSource.message->icon, MsgIcon::Critical);

    values = Valid();
    values.OutputDir.clear();
    const auto noOutput = SaveOptions(state, values);
    ASSERT_EQ(noOutput.outcome, OptionsSave::Refused);
    EXPECT_EQ(noOutput.message->text, "You must specify an Output directory before continuing.");
    EXPECT_EQ(noOutput.message->title, "Missing Output directory.");

    const QString source = folder.filePath("src");
    for (const char* output : {"/x/y/WINDOWS", "/x/y/Desktop", "/x/y/winnt", "C:\\Desktop", "C:\\WinNT"})
        EXPECT_EQ(Refusal(source, output), NotRoot) << output;
    // A refused save writes nothing.
    state.ConfigRecordset->ReOpen(sql::SelectConfig);
    EXPECT_TRUE(state.ConfigRecordset->IsNull("SourceDir"));

    // Such a folder further up is fine.
    EXPECT_EQ(Refusal(source, folder.filePath("windows/temp/out")), "");
}

TEST_F(ConfigurationTest, OutputFolderMustNotHoldOtherData)
{
    const QString source = folder.filePath("src");
    const QString home = QDir::homePath();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    for (const QString& output : {QString("/"), QString("/usr"), QString("/tmp/"), home, home + "/", desktop})
        EXPECT_EQ(Refusal(source, output), NotRoot) << output.toStdString();

    EXPECT_EQ(Refusal(source, source + "/"), Same);
    EXPECT_EQ(Refusal(source, source + "/out"), Same);
    EXPECT_EQ(Refusal(source + "/inner", source), Same);
    EXPECT_EQ(Refusal(source, source + "/../src/x/.."), Same);

    MakePath(folder.filePath("real"));
    ASSERT_TRUE(QFile::link(folder.filePath("real"), folder.filePath("alias")));
    EXPECT_EQ(Refusal(folder.filePath("real"), folder.filePath("alias/out")), Same);
    EXPECT_EQ(Refusal(folder.filePath("real"), folder.filePath("realistic")), "");

    // Nor may it be or hold the program folder, or lie in a folder of it that Zenpatch empties.
    EXPECT_EQ(Refusal(source, folder.path()),
              ("The output folder " + folder.path() + " overlaps the program folder (" + folder.path()
               + "), where Zenpatch keeps the hack database, its backups and its work files. The output folder is "
                 "emptied before installs: choose a folder of its own.")
                  .toStdString());
    EXPECT_NE(Refusal(source, folder.filePath("backups/out")), "");
    EXPECT_NE(Refusal(source, folder.filePath("alias/../zpk_inst_temp")), "");
}

TEST_F(ConfigurationTest, FoldersAreGivenByTheirFullPath)
{
    const std::string relative = "Please enter the full path of the folder, for example /home/you/board.";
    EXPECT_EQ(Refusal("relsrc", folder.filePath("out")), relative);
    EXPECT_EQ(Refusal(folder.filePath("src"), "out"), relative);
    EXPECT_FALSE(QFileInfo::exists("relsrc"));
    const QString file = folder.filePath("file");
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_EQ(Refusal(folder.filePath("src"), file), (file + " is a file, not a folder.").toStdString());

    // "~" stands for the home folder.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", folder.path().toUtf8());
    const std::string refusal = Refusal("~/board/src", "~/board/out");
    qputenv("HOME", home);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(state.SourceDir, folder.filePath("board/src"));
    EXPECT_TRUE(QFileInfo(folder.filePath("board/out")).isDir());
}

TEST_F(ConfigurationTest, OptionsAsText)
{
    OptionsValues values;
    EXPECT_TRUE(SetOptionText(values, "cfgeol", "1"));
    EXPECT_TRUE(SetOptionText(values, "vbModDir", "mod"));
    EXPECT_FALSE(SetOptionText(values, "cfgEOL", "lf"));
    EXPECT_FALSE(SetOptionText(values, "NoSuchColumn", "x"));
    EXPECT_EQ(OptionText(values, "cfgEOL"), "1");
    EXPECT_EQ(OptionText(values, "vbmoddir"), "mod");
    EXPECT_EQ(OptionNames().size(), 30);
    EXPECT_EQ(OptionNames().first(), "SourceDir");
}
