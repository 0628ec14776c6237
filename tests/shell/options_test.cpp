#include "shell_fixture.h"

#include "app/common.h"
#include "app/configuration.h"
#include "shell/frm_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace zp::test {
namespace {

class OptionsTest : public ShellTest
{
protected:
    OptionsTest() { OpenDatabase(state); }
    ~OptionsTest() override { CloseDatabase(state); }

    // The row as stored, one column.
    QVariant Stored(const QString& column)
    {
        state.ConfigRecordset->ReOpen("SELECT * FROM [MainConfig]");
        return state.ConfigRecordset->Value(column);
    }

    void FillGoodFolders(frmOptions& options)
    {
        options.txtSourceDir->setText(dir.path() + "/board/source");
        options.txtOutputDir->setText(dir.path() + "/board/output");
    }
};

TEST_F(OptionsTest, FreshRowShowsTheDefaults)
{
    frmOptions options(state);
    EXPECT_EQ(options.windowTitle(), "Options");
    EXPECT_EQ(options.cmbDefHackType->count(), 2);
    EXPECT_EQ(options.cmbDefHackType->itemText(0), "Ultimate Bulletin Board");
    EXPECT_EQ(options.cmbDefHackType->itemText(1), "vBulletin");
    EXPECT_EQ(options.cmbDefHackType->currentIndex(), 0);
    EXPECT_EQ(options.cmbEOL->currentText(), "CR/LF");
    EXPECT_EQ(options.cmbEOL->toolTip(),
              "Generally use CR/LF if your host is on a Windows machine and LF if your host is on a Unix machine.");
    EXPECT_TRUE(options.chkValMods->isChecked());
    EXPECT_TRUE(options.chkFileAssoc->isChecked());
    EXPECT_TRUE(options.chkDelOutputDir->isChecked());
    EXPECT_FALSE(options.chkUseOutputDir->isChecked());
    EXPECT_FALSE(options.chkOverSource->isChecked());
    EXPECT_TRUE(options.txtSourceDir->text().isEmpty());
    EXPECT_TRUE(options.txtAuthName->text().isEmpty());
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&options));
    EXPECT_EQ(QApplication::focusWidget(), options.txtSourceDir); // typing starts with the source folder
}

TEST_F(OptionsTest, StoredValuesFillTheControls)
{
    state.Connection.Execute("UPDATE MainConfig SET SourceDir = '/srv/board', cfgDefHackType = '1', cfgEOL = 1, "
                             "cfgModValidate = 0, cfgOverWriteSource = 1, cfgAuthName = 'Ann', "
                             "cfgPreComment = 'Back up first.', vbSmiliesDir = 'images/smilies'");
    frmOptions options(state);
    EXPECT_EQ(options.txtSourceDir->text(), "/srv/board");
    EXPECT_EQ(options.cmbDefHackType->currentText(), "vBulletin");
    EXPECT_EQ(options.cmbEOL->currentText(), "LF");
    EXPECT_FALSE(options.chkValMods->isChecked());
    EXPECT_TRUE(options.chkOverSource->isChecked());
    EXPECT_EQ(options.txtAuthName->text(), "Ann");
    EXPECT_EQ(options.txtPreInstallComm->toPlainText(), "Back up first.");
    EXPECT_EQ(options.txtvbSmilieDir->text(), "images/smilies");
}

TEST_F(OptionsTest, RefusedSavesKeepTheDialogOpenAndWriteNothing)
{
    struct Case
    {
        QString source, output, title;
    };
    const QString d = dir.path();
    const Case cases[] = {
        {"", "", "Invalid Directory"},
        {"", d + "/out", "Missing Source directory."},
        {d + "/src", "", "Missing Output directory."},
        {d + "/src", d + "/Desktop", "Invalid Directory"},
        {d + "/src", "C:\\WINNT", "Invalid Directory"},
        {d + "/src", "/", "Invalid Directory"},
        {d + "/src", QDir::homePath(), "Invalid Directory"},
        {d + "/src", d + "/src/out", "Invalid Directory"},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        frmOptions options(state);
        options.show();
        options.txtSourceDir->setText(c.source);
        options.txtOutputDir->setText(c.output);
        options.txtAuthName->setText("Someone");
        options.cmdSave->click();
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.source.toStdString() << " | " << c.output.toStdString();
        EXPECT_EQ(dialogs.messages[0].title, c.title);
        EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::OK);
        EXPECT_TRUE(options.isVisible());
        EXPECT_EQ(options.result(), QDialog::Rejected);
        EXPECT_TRUE(Stored("cfgAuthName").isNull());
        EXPECT_TRUE(Stored("SourceDir").isNull());
    }
    EXPECT_FALSE(QDir(dir.path() + "/src").exists());
}

TEST_F(OptionsTest, TheThreeBasicRefusalsUseTheirTexts)
{
    frmOptions options(state);
    options.cmdSave->click();
    options.txtOutputDir->setText("/tmp/x");
    options.cmdSave->click();
    options.txtSourceDir->setText("/tmp/y");
    options.txtOutputDir->clear();
    options.cmdSave->click();
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[0].text, "The Source and Output directories cannot be the the same.");
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.messages[1].text, "You must specify a Source directory before continuing.");
    EXPECT_EQ(dialogs.messages[1].icon, MsgIcon::Critical);
    EXPECT_EQ(dialogs.messages[2].text, "You must specify an Output directory before continuing.");
    EXPECT_EQ(dialogs.messages[2].icon, MsgIcon::Critical);
}

TEST_F(OptionsTest, GoodSaveStoresTheRowAndUpdatesTheState)
{
    state.Connection.Execute("UPDATE MainConfig SET cfgAuthEmail = 'old@example.org'");
    frmOptions options(state);
    options.show();
    FillGoodFolders(options);
    options.txtUBBRootDir->setText("/never/stored");
    options.txtUBBCGIDir->setText("cgi-bin");
    options.txtAuthEmail->clear();
    options.txtAuthName->setText("Ann");
    options.txtHackComm->setPlainText("Line one\nLine two");
    options.cmbDefHackType->setCurrentIndex(1);
    options.cmbEOL->setCurrentIndex(1);
    options.chkFileAssoc->setChecked(false);
    QDir().mkpath(dir.path() + "/board/source"); // a source folder made by the save is reported
    options.cmdSave->click();

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(options.result(), QDialog::Accepted);
    EXPECT_TRUE(QDir(dir.path() + "/board/source").exists());
    EXPECT_TRUE(QDir(dir.path() + "/board/output").exists());
    EXPECT_EQ(Stored("SourceDir").toString(), dir.path() + "/board/source");
    EXPECT_EQ(Stored("ubbCGIDir").toString(), "cgi-bin");
    EXPECT_TRUE(Stored("cfgAuthEmail").isNull());
    EXPECT_TRUE(Stored("ubbMembersDir").isNull());
    EXPECT_EQ(Stored("cfgAuthComment").toString(), "Line one\nLine two");
    EXPECT_EQ(Stored("cfgFileAssoc").toInt(), 0);
    EXPECT_EQ(Stored("cfgEOL").toInt(), 1);
    for (const QString& column : OptionNames())
        EXPECT_FALSE(Stored(column).toString().contains("never")) << column.toStdString();

    EXPECT_EQ(state.SourceDir, dir.path() + "/board/source");
    EXPECT_EQ(state.OutputDir, dir.path() + "/board/output");
    EXPECT_EQ(state.cfgDefHackType, "1");
    EXPECT_EQ(state.cfgEOL, 1);
    EXPECT_EQ(state.cfgFileAssoc, 0);
    EXPECT_EQ(state.cfgAuthName, "Ann");
    EXPECT_EQ(state.cfgAuthEmail, "");
    EXPECT_EQ(state.DirectoryTable.value(0), "cgi-bin");
}

TEST_F(OptionsTest, CancelWritesNothing)
{
    frmOptions options(state);
    options.show();
    FillGoodFolders(options);
    options.cmdCancel->click();
    EXPECT_EQ(options.result(), QDialog::Rejected);
    EXPECT_TRUE(Stored("SourceDir").isNull());
    EXPECT_TRUE(state.SourceDir.isEmpty());
}

TEST_F(OptionsTest, BrowsingFillsTheBoxWithTheChosenFolder)
{
    frmOptions options(state);
    options.txtSourceDir->setText("/srv/board");
    dialogs.folderResults = {"/srv/board/live", ""};
    options.cmdSetSource->click();
    EXPECT_EQ(options.txtSourceDir->text(), "/srv/board/live");
    options.txtOutputDir->setText("/srv/out");
    options.cmdSetOutput->click(); // cancelled: the box keeps its text
    EXPECT_EQ(options.txtOutputDir->text(), "/srv/out");
    EXPECT_EQ(dialogs.folderDialogs.size(), 2u);
}

} // namespace
} // namespace zp::test
