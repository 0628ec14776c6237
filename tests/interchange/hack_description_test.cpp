#include "interchange/hack_description.h"
#include "interchange_test_support.h"

#include <gtest/gtest.h>

using namespace zp;
using namespace zp::test;

namespace {

QByteArray Lines(std::initializer_list<QByteArray> lines)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

// A minimal description: version, then the given lines.
QByteArray Description(std::initializer_list<QByteArray> body, const QByteArray& version = "2.0.1")
{
    return Lines({"[ZPKSTARTFILE]|t.zpx", KeyLine("ZPKVersion"), version}) + Lines(body)
        + Lines({"[ZPKENDFILE]|t.zpx"});
}

} // namespace

TEST(HackDescription, WritesTheGoldenBytesOfTheSmallHack)
{
    QByteArray expected = GoldenBytes("logohack_description.zpx");
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(WriteHackDescription("logohack", LogoHackInfo(), LogoHackFiles(), LogoHackMods()), expected);
}

TEST(HackDescription, RemFilesLineListsEveryEntryWithItsBar)
{
    QList<SupportFileEntry> files = {{2, "logo.gif", QString("images")}, {0, "help.txt", std::nullopt}};
    EXPECT_EQ(RemFilesLine(files), "2 - logo.gif - images|0 - help.txt - |");
}

TEST(HackDescription, ReadsTheGoldenBytesBack)
{
    HackDescription d = ReadHackDescription(GoldenBytes("logohack_description.zpx"));
    EXPECT_EQ(d.VersionText, "2.0.1");
    EXPECT_FALSE(d.TooOld);
    EXPECT_EQ(d.Info, LogoHackInfo());
    EXPECT_TRUE(d.HasRemFiles);
    EXPECT_EQ(d.SupportFiles, LogoHackFiles());
    QList<ModEntry> mods = LogoHackMods();
    mods[1].ModInst = 1; // a Null instance travels as "1"
    EXPECT_EQ(d.Mods, mods);
}

TEST(HackDescription, WithoutSupportFilesAnEmptyLineStandsForTheListAndIsDroppedOnReading)
{
    QList<ModEntry> mods = LogoHackMods();
    mods[1].ModInst = 1;
    QByteArray bytes = WriteHackDescription("logohack", LogoHackInfo(), {}, mods);
    EXPECT_FALSE(bytes.contains("RemFiles"));
    EXPECT_TRUE(bytes.contains(Lines({KeyLine("Comments"), "Adds a logo.", "", KeyLine("FileName")})));

    HackDescription d = ReadHackDescription(bytes);
    EXPECT_FALSE(d.HasRemFiles);
    EXPECT_EQ(d.Info.Comments, "Adds a logo.");
    EXPECT_EQ(WriteHackDescription("logohack", d.Info, {}, d.Mods), bytes);
}

TEST(HackDescription, CommentsEndingInALineBreakOrNullSurviveTheRoundTrip)
{
    for (OptText comments : {OptText("two\r\nlines\r\n"), OptText()}) {
        HackInfoFields info = LogoHackInfo();
        info.Comments = comments;
        for (const QList<SupportFileEntry>& files : {QList<SupportFileEntry>(), LogoHackFiles()}) {
            HackDescription d = ReadHackDescription(WriteHackDescription("n", info, files, LogoHackMods()));
            EXPECT_EQ(d.Info.Comments, comments);
        }
    }
}

TEST(HackDescription, InstanceAndOrderDefaults)
{
    // Null instance and order are written as "1"; an empty line reads as 1.
    ModEntry nulls;
    nulls.FileName = "a.php";
    QByteArray bytes = WriteHackDescription("n", {}, {}, {nulls});
    EXPECT_TRUE(bytes.contains(Lines({KeyLine("ModInst"), "1", KeyLine("ModOrder"), "1"})));

    HackDescription empty = ReadHackDescription(Description(
        {KeyLine("FileName"), "a.php", KeyLine("ModInst"), "", KeyLine("ModOrder"), "", KeyLine("ModComment"), ""}));
    ASSERT_EQ(empty.Mods.size(), 1);
    EXPECT_EQ(empty.Mods[0].ModInst, 1);
    EXPECT_EQ(empty.Mods[0].ModOrder, 1);

    // The flag is per mod: a second mod without the key reads 1 even when the first had one.
    HackDescription two = ReadHackDescription(Description({KeyLine("FileName"),
                                                           "a.php",
                                                           KeyLine("ModInst"),
                                                           "3",
                                                           KeyLine("ModComment"),
                                                           "",
                                                           KeyLine("FileName"),
                                                           "b.php",
                                                           KeyLine("ModComment"),
                                                           ""}));
    ASSERT_EQ(two.Mods.size(), 2);
    EXPECT_EQ(two.Mods[0].ModInst, 3);
    EXPECT_EQ(two.Mods[1].ModInst, 1);

    // Without both keys the instance becomes 1 and the order stays Null.
    HackDescription missing
        = ReadHackDescription(Description({KeyLine("FileName"), "a.php", KeyLine("ModComment"), ""}));
    ASSERT_EQ(missing.Mods.size(), 1);
    EXPECT_EQ(missing.Mods[0].ModInst, 1);
    EXPECT_EQ(missing.Mods[0].ModOrder, std::nullopt);
    EXPECT_EQ(missing.Mods[0].Comment, std::nullopt);
}

TEST(HackDescription, NumbersAcceptSpacesAndSigns)
{
    HackDescription d = ReadHackDescription(Description({KeyLine("HackType"),
                                                         "1",
                                                         KeyLine("FileName"),
                                                         "a.php",
                                                         KeyLine("PrimaryDir"),
                                                         "-3 ",
                                                         KeyLine("Action"),
                                                         "  4  ",
                                                         KeyLine("ModComment"),
                                                         ""}));
    EXPECT_EQ(d.Info.HackType, 1);
    EXPECT_EQ(d.Mods[0].PrimaryDir, -3);
    EXPECT_EQ(d.Mods[0].ActionType, 4);

    ModEntry negative;
    negative.PrimaryDir = -3;
    EXPECT_TRUE(WriteHackDescription("n", {}, {}, {negative}).contains(Lines({KeyLine("PrimaryDir"), "-3 "})));

    try {
        ReadHackDescription(Description({KeyLine("HackType"), "vb"}));
        FAIL() << "a text in a number field was accepted";
    } catch (const DescriptionError& e) {
        EXPECT_EQ(e.number, 13);
    }
}

TEST(HackDescription, MultiLineValues)
{
    HackDescription d = ReadHackDescription(Description({KeyLine("PreInstall"),
                                                         "first",
                                                         "",
                                                         "mid \xEC\xEC\xEC dropped",
                                                         "last",
                                                         KeyLine("PostInstall"),
                                                         "",
                                                         KeyLine("Comments"),
                                                         "\xEC\xEC\xEC"
                                                         "ends the value",
                                                         KeyLine("Name"),
                                                         "after"}));
    EXPECT_EQ(d.Info.PreInstallCom, "first\r\n\r\nlast");
    EXPECT_EQ(d.Info.PostInstallCom, std::nullopt);
    EXPECT_EQ(d.Info.Comments, std::nullopt);
    EXPECT_EQ(d.Info.Name, "after");
}

TEST(HackDescription, ModCommentEndsAtAMarker)
{
    HackDescription d = ReadHackDescription(Lines(
        {KeyLine("ZPKVersion"), "2.0.1", KeyLine("FileName"), "a", KeyLine("ModComment"), "c", "[ZPKENDFILE]|t.zpx"}));
    EXPECT_EQ(d.Mods[0].Comment, "c");
}

TEST(HackDescription, VersionCheckComparesDigitsAsText)
{
    EXPECT_TRUE(IsVersionTooOld("1.5.0"));
    EXPECT_TRUE(IsVersionTooOld("1.9.9"));
    EXPECT_TRUE(IsVersionTooOld("10.0.0"));
    EXPECT_FALSE(IsVersionTooOld("2.0.0"));
    EXPECT_FALSE(IsVersionTooOld("2.0.1"));

    HackDescription old = ReadHackDescription(Description({KeyLine("Name"), "never read"}, "1.5.0"));
    EXPECT_TRUE(old.TooOld);
    EXPECT_EQ(old.Info.Name, std::nullopt);
}

TEST(HackDescription, RefusesWhatIsNotTheDescriptionOfOneHack)
{
    const QByteArray cases[] = {
        Lines({KeyLine("Name"), "x", KeyLine("ZPKVersion"), "2.0.1"}),
        Lines({"plain text", "without keys"}),
        Description({KeyLine("ZPKVersion"), "2.0.1"}),
    };
    for (const QByteArray& bytes : cases) {
        try {
            ReadHackDescription(bytes);
            ADD_FAILURE() << bytes.toStdString();
        } catch (const DescriptionError& e) {
            EXPECT_EQ(e.number, DescriptionError::NotAHackFile);
        }
    }
}

TEST(HackDescription, AValueCutOffByTheEndOfTheTextIsAnError)
{
    try {
        ReadHackDescription(Lines({KeyLine("ZPKVersion"), "2.0.1", KeyLine("Name")}));
        FAIL();
    } catch (const DescriptionError& e) {
        EXPECT_EQ(e.number, 62);
    }
}

TEST(HackDescription, TextEncoding)
{
    HackInfoFields info;
    info.Name = QString::fromUtf8("Caf\u00e9 \u20ac");
    QByteArray ansi = WriteHackDescription("n", info, {}, {});
    EXPECT_TRUE(ansi.contains("Caf\xE9 \x80\r\n"));
    EXPECT_EQ(ReadHackDescription(ansi).Info.Name, info.Name);

    info.Name = QString::fromUtf8("\u65e5\u672c \u00e9");
    QByteArray utf8 = WriteHackDescription("n", info, {}, {});
    EXPECT_TRUE(utf8.contains(info.Name->toUtf8() + "\r\n"));
    EXPECT_TRUE(utf8.contains(KeyLine("Name")));
    EXPECT_EQ(ReadHackDescription(utf8).Info.Name, info.Name);
}
