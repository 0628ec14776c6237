#include "shell_fixture.h"

#include "shell/mod_associate.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>

namespace zp::test {
namespace {

class AssociationTest : public ShellTest
{
protected:
    AssociationTest() { state.cfgFileAssoc = 1; }

    QString Read(const QString& relative) const
    {
        QFile file(XdgHome() + "/" + relative);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Every file below the XDG folder with the hash of its bytes and its modification time.
    QStringList Snapshot() const
    {
        QStringList entries;
        QDirIterator it(XdgHome(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            entries << path + " " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex() + " "
                    + QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
        }
        entries.sort();
        return entries;
    }
};

TEST_F(AssociationTest, WritesMimeTypesDesktopEntryAndIcons)
{
    state.ProgramFolder = XdgHome() + "/zenpatch"; // the folder the program finds by itself
    RegisterFileTypes(state, "/opt/zenpatch/bin/zenpatch", XdgHome());

    const QString mime = Read("mime/packages/zenpatch.xml");
    EXPECT_TRUE(mime.contains("<mime-type type=\"application/x-zenpatch-hack\">\n"
                              "    <comment>Zenpatch Hack</comment>\n"
                              "    <icon name=\"application-x-zenpatch-hack\"/>\n"
                              "    <glob pattern=\"*.zpx\"/>"))
        << mime.toStdString();
    EXPECT_TRUE(mime.contains("<mime-type type=\"application/x-zenpatch-hack-pack\">\n"
                              "    <comment>Zenpatch Hack Pack</comment>\n"
                              "    <icon name=\"application-x-zenpatch-hack-pack\"/>\n"
                              "    <glob pattern=\"*.zpp\"/>"));

    const QString desktop = Read("applications/org.zenpatch.Zenpatch.desktop");
    EXPECT_TRUE(desktop.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(desktop.contains("\nExec=/opt/zenpatch/bin/zenpatch %f\n"));
    EXPECT_TRUE(desktop.contains("\nIcon=org.zenpatch.Zenpatch\n"));
    EXPECT_TRUE(desktop.contains("\nMimeType=application/x-zenpatch-hack;application/x-zenpatch-hack-pack;\n"));

    const QString icons = XdgHome() + "/icons/hicolor/256x256/";
    EXPECT_FALSE(QImage(icons + "mimetypes/application-x-zenpatch-hack.png").isNull());
    EXPECT_FALSE(QImage(icons + "mimetypes/application-x-zenpatch-hack-pack.png").isNull());
    EXPECT_FALSE(QImage(icons + "apps/org.zenpatch.Zenpatch.png").isNull());
}

TEST_F(AssociationTest, AnotherProgramFolderTravelsInTheCommand)
{
    state.ProgramFolder = dir.path() + "/my board";
    RegisterFileTypes(state, "/opt/zenpatch/bin/zenpatch", XdgHome());
    EXPECT_TRUE(Read("applications/org.zenpatch.Zenpatch.desktop")
                    .contains("\nExec=/opt/zenpatch/bin/zenpatch --home \"" + dir.path() + "/my board\" %f\n"));
}

// The installed files and the ones written at start must agree (the written entry takes the
// installed one's place, with the executable's path).
TEST_F(AssociationTest, ShippedMimePackageAndDesktopEntryAreTheOnesWritten)
{
    state.ProgramFolder = XdgHome() + "/zenpatch";
    RegisterFileTypes(state, "/usr/bin/zenpatch", XdgHome());
    QFile shippedMime(ZENPATCH_TEST_DATA "/../../share/zenpatch.xml");
    QFile shippedDesktop(ZENPATCH_TEST_DATA "/../../share/org.zenpatch.Zenpatch.desktop");
    ASSERT_TRUE(shippedMime.open(QIODevice::ReadOnly));
    ASSERT_TRUE(shippedDesktop.open(QIODevice::ReadOnly));
    EXPECT_EQ(Read("mime/packages/zenpatch.xml"), QString::fromUtf8(shippedMime.readAll()));
    EXPECT_EQ(Read("applications/org.zenpatch.Zenpatch.desktop").replace("Exec=/usr/bin/", "Exec="),
              QString::fromUtf8(shippedDesktop.readAll()));
}

TEST_F(AssociationTest, SecondRunChangesNothing)
{
    RegisterFileTypes(state, "/opt/zenpatch/bin/zenpatch", XdgHome());
    const QStringList first = Snapshot();
    ASSERT_GE(first.size(), 5);
    RegisterFileTypes(state, "/opt/zenpatch/bin/zenpatch", XdgHome());
    EXPECT_EQ(Snapshot(), first);
}

TEST_F(AssociationTest, NothingIsWrittenWhenTheOptionIsOff)
{
    state.cfgFileAssoc = 0;
    RegisterFileTypes(state, "/opt/zenpatch/bin/zenpatch", XdgHome());
    EXPECT_FALSE(QDir(XdgHome()).exists());
}

TEST_F(AssociationTest, EmptyProgramIdentifierDoesNothing)
{
    RegisterFileType("", {{".zpx", "application/x-zenpatch-hack", "Zenpatch Hack", ""}}, "/bin/z", "", "", XdgHome());
    EXPECT_FALSE(QDir(XdgHome()).exists());
}

TEST_F(AssociationTest, ExtraArgumentsReplaceTheFileArgument)
{
    RegisterFileType("Zenpatch", {}, "/bin/zenpatch", "  --import %u  ", "", XdgHome());
    EXPECT_TRUE(Read("applications/org.zenpatch.Zenpatch.desktop").contains("\nExec=/bin/zenpatch --import %u\n"));
}

TEST_F(AssociationTest, ExecLineQuotesProgramsWithReservedCharacters)
{
    EXPECT_EQ(DesktopExecLine("/opt/zenpatch/zenpatch", "%f"), "/opt/zenpatch/zenpatch %f");
    EXPECT_EQ(DesktopExecLine("/home/ann/My Programs/zenpatch", "%f"), "\"/home/ann/My Programs/zenpatch\" %f");
    // Inside quotes '"', '`', '$' and '\' are escaped, and the key value escapes '\' once more.
    EXPECT_EQ(DesktopExecLine("/a$b/z\"q", "%f"), "\"/a\\\\$b/z\\\\\"q\" %f");
    EXPECT_EQ(DesktopExecLine("/a b\\c", ""), "\"/a b\\\\\\\\c\"");
}

TEST_F(AssociationTest, UnwritableDataHomeIsSilent)
{
    QFile blocker(XdgHome());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_NO_THROW(RegisterFileTypes(state, "/bin/zenpatch", XdgHome()));
    EXPECT_TRUE(QFileInfo(XdgHome()).isFile());
}

} // namespace
} // namespace zp::test
