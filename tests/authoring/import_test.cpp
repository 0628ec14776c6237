#include "authoring/patch_apply.h"
#include "authoring/recording.h"
#include "authoring/step_instructions.h"
#include "board_tree.h"
#include "core/install_log.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/modification_engine.h"
#include "install/fixed_installation_options.h"
#include "install/trial_installation.h"
#include "install/unified_diff.h"
#include "interchange/hack_fields.h"
#include "interchange/text_export.h"

#include <QProcess>
#include <sys/stat.h>

namespace zp::testing {

namespace {

class ImportTest : public BoardTree
{
protected:
    RecordRequest Request()
    {
        RecordRequest request;
        request.originalRoot = source;
        request.info = RecordedHackInfo(state, "Imported");
        return request;
    }

    // The bytes a trial installation of the hack gives a board file.
    QByteArray Installed(int hack, const QString& path)
    {
        SelectHack(hack);
        TrialInstallation trial(source);
        FixedInstallationOptions host;
        RecordingLog log;
        trial.Run(state, hack, host, log);
        for (const auto& file : trial.Files()) {
            if (file.relativePath == path)
                return Read(file.workFile);
        }
        ADD_FAILURE() << path.toStdString() << " not installed";
        return {};
    }

    int CountHacks()
    {
        Recordset hacks(state.Connection);
        hacks.Open("SELECT * FROM [HackInfo]");
        return hacks.RecordCount();
    }

    std::map<QString, QString> Reasons(const RecordResult& result)
    {
        std::map<QString, QString> reasons;
        for (const RecordedFile& file : result.files)
            reasons[file.relativePath] = file.reason;
        return reasons;
    }

    QString WriteText(const QString& name, const QString& text)
    {
        const QString path = home.filePath("mod/" + name);
        Write(path, text.toUtf8());
        return path;
    }

    // The text of the error a recording stopped on.
    QString Error(const std::function<RecordResult()>& recording) { return RecordAsJob(state, recording).error; }
};

TEST_F(ImportTest, APatchIsAppliedExactlyOrItsHunkIsNamed)
{
    const QByteArray before = "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\nseven\r\neight\r\nnine";
    const QByteArray after = "one\r\ntwo\r\nthree\r\nfour\r\nFIVE\r\nsix\r\nseven\r\neight\r\nnine\r\nten";
    Write(source + "/templates/page.tmpl", before);
    Write(source + "/cgi-bin/a.cgi", "a\nb\nc\n");
    const QString patch = home.filePath("change.diff");
    Write(patch,
          UnifiedDiff("templates/page.tmpl", before, after) + UnifiedDiff("html/new/x.html", std::nullopt, "<p>\n"));

    RecordResult result = RecordPatch(state, Request(), patch);
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    EXPECT_EQ(Installed(result.hackNum, "templates/page.tmpl"), after);
    EXPECT_EQ(Installed(result.hackNum, "html/new/x.html"), "<p>\n");
    EXPECT_FALSE(Exists(home.filePath("zpk_rec_temp")));

    // The board moved on: the second hunk expects "c" where "C" now stands.
    Write(patch,
          UnifiedDiff("cgi-bin/a.cgi", "a\nb\nc\n", "a\nB\nc\n")
              + "--- a/templates/page.tmpl\n"
                "+++ b/templates/page.tmpl\n@@ -1,2 +1,2 @@\n-ONE\r\n+1\r\n two\r\n");
    result = RecordPatch(state, Request(), patch);
    EXPECT_EQ(result.outcome, RecordOutcome::NotRecorded);
    EXPECT_EQ(Reasons(result)["templates/page.tmpl"], "hunk 1 (patch line 10) does not apply at line 1");
    EXPECT_EQ(CountHacks(), 1);
}

TEST_F(ImportTest, StepsWithPartialLinesAndInLineEdits)
{
    Write(source + "/templates/header.tmpl",
          "<html>\r\n<body class=\"main\">\r\n<table>\r\n<tr><td>Hi</td></tr>\r\n"
          "</table>\r\n</body>\r\n");
    Write(source + "/cgi-bin/ubb.cgi", "sub main {\n  print 1;\n}\n");
    Write(home.filePath("mod/root/templates/extra.tmpl"), "extra");
    const QString file = WriteText("install.txt",
                                   "## MOD Title: Shiny\r\n## MOD Author: Ann\r\n## MOD Version: 1.2\r\n"
                                   "## MOD Description: Makes it shine\r\n#\r\n"
                                   "#-----[ COPY ]------\r\n#\r\ncopy root/templates/*.* to templates/*.*\r\n#\r\n"
                                   "#-----[ SQL ]-----\r\n#\r\nALTER TABLE x ADD y;\r\n#\r\n"
                                   "#-----[ OPEN ]------\r\n#\r\ntemplates/header.tmpl\r\n#\r\n"
                                   "#-----[ FIND ]------\r\n#\r\n<body\r\n#\r\n"
                                   "#-----[ IN-LINE FIND ]------\r\n#\r\nclass=\"main\"\r\n#\r\n"
                                   "#-----[ IN-LINE AFTER, ADD ]------\r\n#\r\n id=\"top\"\r\n#\r\n"
                                   "#-----[ AFTER, ADD ]------\r\n#\r\n<div>shine</div>\r\n#\r\n"
                                   "#-----[ FIND ]------\r\n#\r\n<tr>\r\n</table\r\n#\r\n"
                                   "#-----[ REPLACE WITH ]------\r\n#\r\n</table>\r\n#\r\n"
                                   "#-----[ OPEN ]------\r\n#\r\nubb.cgi\r\n#\r\n"
                                   "#-----[ FIND ]------\r\n#\r\nprint\r\n#\r\n"
                                   "#-----[ BEFORE, ADD ]------\r\n#\r\n  shine();\r\n#\r\n"
                                   "#-----[ DIY INSTRUCTIONS ]-----\r\n#\r\nRebuild the templates.\r\n#\r\n"
                                   "#-----[ SAVE/CLOSE ALL FILES ]------\r\n# EoM\r\n");
    const RecordResult result = ImportText(state, Request(), file);
    ASSERT_EQ(result.outcome, RecordOutcome::Stored) << result.brokenFile.toStdString();
    EXPECT_EQ(Installed(result.hackNum, "templates/header.tmpl"),
              "<html>\r\n<body class=\"main\" id=\"top\">\r\n<div>shine</div>\r\n<table>\r\n</table>\r\n</body>\r\n");
    EXPECT_EQ(Installed(result.hackNum, "cgi-bin/ubb.cgi"), "sub main {\r\n  shine();\r\n  print 1;\r\n}\r\n");
    EXPECT_EQ(Installed(result.hackNum, "templates/extra.tmpl"), "extra");
    const HackInfoFields info = ReadHackInfoFields(*state.HackInfoRecordset);
    EXPECT_EQ(info.Name, "Imported"); // the name given wins over the title
    EXPECT_EQ(info.AuthName, "Ann");
    EXPECT_EQ(info.Version, "1.2");
    EXPECT_EQ(info.Comments, "Makes it shine");
    EXPECT_EQ(info.PostInstallCom, "SQL:\r\nALTER TABLE x ADD y;\r\n\r\nDIY INSTRUCTIONS:\r\nRebuild the templates.");
}

TEST_F(ImportTest, AFindThatIsNotThereIsNamedWithItsLine)
{
    Write(source + "/templates/header.tmpl", "<html>\r\n</html>\r\n");
    const QString file = WriteText("install.txt",
                                   "#-----[ OPEN ]------\r\ntemplates/header.tmpl\r\n"
                                   "#-----[ FIND ]------\r\n<html\r\n"
                                   "#-----[ FIND ]------\r\n<head>\r\n"
                                   "#-----[ AFTER, ADD ]------\r\nx\r\n");
    const RecordResult result = ImportText(state, Request(), file);
    EXPECT_EQ(result.outcome, RecordOutcome::NotRecorded);
    EXPECT_EQ(Reasons(result)["templates/header.tmpl"],
              "FIND at line 5 of the instructions: not found in templates/header.tmpl");
    EXPECT_EQ(CountHacks(), 0);
}

TEST_F(ImportTest, TheTextExportReadsBackAsTheSameHack)
{
    const int hack = AddHack("Round trip");
    state.HackInfoRecordset->SetValue("AuthName", "Bob");
    state.HackInfoRecordset->SetValue("Version", "2.0");
    state.HackInfoRecordset->SetValue("Comments", "Line one\r\n\r\nLine three");
    state.HackInfoRecordset->SetValue("PostInstallCom", "Done.");
    state.HackInfoRecordset->Update();
    AddMod(hack, 1, "a.cgi", 0, "", Replace, 0, "old\r\nlines", "new\r\n\r\nlines", "every one");
    AddMod(hack, 2, "b.tmpl", 4, "/sub", AddAfter, 2, "<b>", "</b>\r\n");
    AddSupportFile(hack, "logo.gif", 1, "/img", QByteArray("GIF\0\xFF", 5));
    SelectHack(hack);
    const QString folder = home.filePath("export");
    ASSERT_EQ(StartTextExport(state, {state.CurrentHackNum, folder, "roundtrip"}).outcome, ExportOutcome::Finished);
    SelectHack(AddHack("Selected meanwhile", 1)); // another board type, other location folders

    RecordRequest request = Request();
    request.info = HackInfoFields();
    const RecordResult result = ImportText(state, request, folder + "/roundtrip.txt");
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    Recordset infoBefore(state.Connection), infoAfter(state.Connection);
    infoBefore.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hack));
    infoAfter.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(result.hackNum));
    EXPECT_EQ(ReadHackInfoFields(infoAfter), ReadHackInfoFields(infoBefore));
    for (const char* query :
         {"SELECT * FROM [HackData] WHERE [HackNum] = ", "SELECT * FROM [HackFiles] WHERE [HackNum] = "}) {
        Recordset before(state.Connection), after(state.Connection);
        before.Open(query + QString::number(hack));
        after.Open(query + QString::number(result.hackNum));
        ASSERT_EQ(after.RecordCount(), before.RecordCount());
        for (before.MoveFirst(), after.MoveFirst(); !before.EOF(); before.MoveNext(), after.MoveNext()) {
            for (const QString& field : before.FieldNames()) {
                if (field != "HackNum" && field != "FileData") {
                    EXPECT_EQ(after.Value(field), before.Value(field)) << field.toStdString();
                }
            }
        }
    }
    Recordset files(state.Connection);
    files.Open(sql::SelectHackFilesOf + QString::number(result.hackNum));
    EXPECT_EQ(files.GetChunk("FileData", 100), QByteArray("GIF\0\xFF", 5));
}

TEST_F(ImportTest, AddedLinesAreNotSearchedByTheFindsAfterThem)
{
    Write(source + "/cgi-bin/viewtopic.php",
          "<?php\r\n\t$template->assign_block_vars('postrow', array(\r\n\t\t'ROW_COLOR' => '#' . $row_color,\r\n"
          "\t\t'ROW_CLASS' => $row_class,\r\n\t));\r\n");
    const QString file = WriteText("install.txt",
                                   "#-----[ OPEN ]------\r\nviewtopic.php\r\n"
                                   "#-----[ FIND ]------\r\n   $template->assign_block_vars('postrow', array(\r\n"
                                   "#-----[ BEFORE, ADD ]------\r\n   if ($x) {\r\n"
                                   "   $template->assign_block_vars('postrow', array(\r\n"
                                   "      'ROW_COLOR' => '#' . $row_color,\r\n      'ROW_CLASS' => $row_class,\r\n"
                                   "   ));\r\n   } else {\r\n"
                                   "#-----[ FIND ]------\r\n      'ROW_COLOR' => '#' . $row_color,\r\n"
                                   "      'ROW_CLASS' => $row_class,\r\n"
                                   "#-----[ BEFORE, ADD ]------\r\n      'TOP' => 1,\r\n"
                                   "#-----[ AFTER, ADD ]------\r\n      'POSTER_ID' => $poster_id,\r\n");
    const RecordResult result = ImportText(state, Request(), file);
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    EXPECT_EQ(Installed(result.hackNum, "cgi-bin/viewtopic.php"),
              "<?php\r\n   if ($x) {\r\n   $template->assign_block_vars('postrow', array(\r\n"
              "      'ROW_COLOR' => '#' . $row_color,\r\n      'ROW_CLASS' => $row_class,\r\n   ));\r\n   } else {\r\n"
              "\t$template->assign_block_vars('postrow', array(\r\n      'TOP' => 1,\r\n"
              "\t\t'ROW_COLOR' => '#' . $row_color,\r\n\t\t'ROW_CLASS' => $row_class,\r\n"
              "      'POSTER_ID' => $poster_id,\r\n\t));\r\n");
}

TEST_F(ImportTest, CopiesOnlyRegularFilesFromBesideTheInstructions)
{
    Write(source + "/cgi-bin/ubb.cgi", "print 1;\r\n");
    Write(home.filePath("private.txt"), "secret");
    Write(home.filePath("mod/root/html/a.html"), "<p>");
    QFile::link(home.filePath("private.txt"), home.filePath("mod/root/html/b.html"));
    ASSERT_EQ(mkfifo(QFile::encodeName(home.filePath("mod/root/html/c.html")).constData(), 0600), 0);
    const QString file = WriteText("install.txt",
                                   "#-----[ COPY ]------\r\ncopy root/html/*.* to html/*.*\r\n"
                                   "#-----[ OPEN ]------\r\nubb.cgi\r\n#-----[ FIND ]------\r\nprint\r\n"
                                   "#-----[ AFTER, ADD ]------\r\nprint 2;\r\n");
    RecordRequest request = Request();
    request.partial = true;
    const RecordResult result = ImportText(state, request, file);
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    EXPECT_EQ(Reasons(result),
              (std::map<QString, QString> {
                  {"cgi-bin/ubb.cgi", ""},
                  {"html/a.html", ""},
                  {"html/b.html", "COPY at line 1 of the instructions: root/html/b.html: a symbolic link"},
                  {"html/c.html", "COPY at line 1 of the instructions: root/html/c.html: not a regular file (a FIFO)"},
              }));
}

TEST_F(ImportTest, ATextExportIsRefusedForWhatItCouldReachOutsideItsPlaces)
{
    const int hack = AddHack("Escape");
    AddMod(hack, 1, "a.cgi", 0, "", Replace, 0, "old", "new");
    AddSupportFile(hack, "logo.gif", 1, "", "GIF");
    const QString folder = home.filePath("export");
    ASSERT_EQ(StartTextExport(state, {state.CurrentHackNum, folder, "escape"}).outcome, ExportOutcome::Finished);
    const QString text = QString::fromUtf8(Read(folder + "/escape.txt"));
    Write(home.filePath("private.txt"), "secret");
    const struct
    {
        QString from, to;
        bool link; // the support file a link to a private file
        QString error;
    } cases[] = {
        {"Filename: a.cgi",
         "Filename: ../../../etc/x.cgi",
         false,
         "the file name \"../../../etc/x.cgi\" of a mod leads out of its folder"},
        {"Location: cgi-bin",
         "Location: /../../..",
         false,
         "the folder \"/../../..\" of a mod of a.cgi leads out of its location"},
        {"", "", true, "the support file html/logo.gif: a symbolic link"},
    };
    for (const auto& c : cases) {
        Write(folder + "/escape.txt", (c.link ? text : QString(text).replace(c.from, c.to)).toUtf8());
        if (c.link) {
            QFile::remove(folder + "/html/logo.gif");
            QFile::link(home.filePath("private.txt"), folder + "/html/logo.gif");
        }
        EXPECT_EQ(Error([&] { return ImportText(state, Request(), folder + "/escape.txt"); }),
                  "not a text export that can be read back: " + c.error);
    }
    EXPECT_EQ(CountHacks(), 1);
}

TEST_F(ImportTest, APatchThatIsNoRegularFileIsRefused)
{
    const QString pipe = home.filePath("pipe.diff");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(Error([&] { return RecordPatch(state, Request(), pipe); }),
              "Unable to read " + pipe + ": not a regular file (a FIFO)");
    QFile big(home.filePath("big.diff"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(kMaxPatchBytes + 1));
    EXPECT_EQ(Error([&] { return RecordPatch(state, Request(), big.fileName()); }),
              "Unable to read " + big.fileName() + ": larger than 64 MiB");
}

TEST_F(ImportTest, APatchedFileIsPlacedByWholeFolderNamesAndUtf8Names)
{
    Write(source + "/templates2/a.tmpl", "a\r\n");
    const QString patch = home.filePath("change.diff");
    Write(patch,
          UnifiedDiff("templates2/a.tmpl", "a\r\n", "a\r\nb\r\n")
              + "--- /dev/null\n+++ b/html/n\xe9w.txt\n@@ -0,0 +1 @@\n+x\n");
    RecordRequest request = Request();
    request.partial = true;
    const RecordResult result = RecordPatch(state, request, patch);
    ASSERT_EQ(result.outcome, RecordOutcome::Stored);
    EXPECT_EQ(Reasons(result)[QString::fromUtf8("html/n\uFFFDw.txt")], "the name is not UTF-8");
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackDataOf + QString::number(result.hackNum));
    EXPECT_EQ(mods.Text("ExtendDir"), "templates2");
}

TEST_F(ImportTest, RecordCommandPrintsTheHackAndItsFiles)
{
    Write(source + "/templates/a.tmpl", "a\r\nb\r\n");
    Write(home.filePath("edited/templates/a.tmpl"), "a\r\nnew\r\nb\r\n");
    Write(home.filePath("edited/templates/mixed.tmpl"), "x\r\ny\n");
    Write(source + "/templates/mixed.tmpl", "x\r\n");
    const auto cli = [this](const QStringList& args) {
        QProcess process;
        process.start(ZENPATCH_CLI, QStringList {"--home", home.path(), "record", "--name", "Cli"} + args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return std::pair(process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()));
    };
    const QStringList edited {"--edited", home.filePath("edited")};
    auto [status, out] = cli(edited);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out,
              "templates/a.tmpl\t1\t\ntemplates/mixed.tmpl\t\tmixed line ends (CR LF and LF in one file): an "
              "installation writes one kind\n");
    EXPECT_EQ(CountHacks(), 0);

    std::tie(status, out) = cli(edited + QStringList {"--partial"});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(out.startsWith("1\ntemplates/a.tmpl\t1\t\n")) << out.toStdString();
    EXPECT_EQ(CountHacks(), 1);
    EXPECT_EQ(cli({"--edited", source}).first, 1); // nothing differs
    EXPECT_EQ(cli({}).first, 2);
}

} // namespace

} // namespace zp::testing
