// Takes the screenshots of the manual and the README: the main window with the hack list, each tab
// of the Options dialog, the About window, the hack information viewer, the text viewer and the
// hack editor, rendered offscreen over a sample catalogue.
//
//   zenpatch-screenshots OUTPUT_FOLDER [DEMO_BOARD_FILE]

#include "app/app_state.h"
#include "app/common.h"
#include "app/frm_about.h"
#include "app/frm_options.h"
#include "app/mdi_main.h"
#include "app/scripted_dialogs.h"
#include "catalogue/flex_grid.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/frm_hack_info.h"
#include "catalogue/frm_list_hacks.h"
#include "database/database.h"
#include "viewer/frm_text_file.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

// A configured board and a few hacks, written straight into the database.
void FillSampleCatalogue(zp::Database& db)
{
    db.Execute("UPDATE MainConfig SET SourceDir = '/home/admin/forum/live', "
               "OutputDir = '/home/admin/forum/installed', ubbCGIDir = 'cgi-bin', ubbNonCGIDir = 'html', "
               "ubbMembersDir = 'cgi-bin/Members', ubbVariablesDir = 'cgi-bin/Variables', "
               "ubbTemplatesDir = 'cgi-bin/Templates', vbRootDir = 'forum', vbAdminDir = 'forum/admin', "
               "vbModDir = 'forum/mod', vbImagesDir = 'forum/images', vbSmiliesDir = 'forum/images/smilies', "
               "vbPollsDir = 'forum/images/polls', vbIconsDir = 'forum/images/icons', "
               "vbAttachDir = 'forum/images/attach', cfgAuthName = 'Dana Whitfield', "
               "cfgAuthEmail = 'dana@example.org', cfgAuthHomePage = 'https://example.org/hacks/', "
               "cfgAuthCopyright = '(c) 2002 Dana Whitfield', "
               "cfgAuthComment = 'Tested with UBB 6.3 and vBulletin 2.2.', "
               "cfgPreComment = 'Back up every file this hack changes before installing it.'");
    const char* hacks[][6] = {
        {"Who's Online Count", "1.2", "Dana Whitfield", "0", "11-28-2002 9:14pm", "12-01-2002 10:02am"},
        {"Welcome Banner", "2.0", "Dana Whitfield", "1", "12-02-2002 4:40pm", ""},
        {"Private Message Alert", "1.0.3", "Sam Okafor", "0", "10-15-2002 11:31am", "10-15-2002 11:50am"},
        {"Smilie Pack Installer", "3.1", "Lee Hartmann", "1", "09-09-2002 8:05pm", ""},
        {"Template Version Check", "0.9", "Dana Whitfield", "1", "12-04-2002 1:12am", ""},
    };
    int number = 0;
    for (const auto& h : hacks) {
        ++number;
        db.Execute(QString("INSERT INTO HackInfo (Name, Version, AuthName, HackType, LastMod, LastInstall) "
                           "VALUES ('%1', '%2', '%3', %4, '%5', %6)")
                       .arg(QString(h[0]).replace("'", "''"), h[1], h[2], h[3], h[4])
                       .arg(*h[5] ? QString("'%1'").arg(h[5]) : QString("NULL")));
        for (int mod = 1; mod <= number % 3 + 1; ++mod)
            db.Execute(QString("INSERT INTO HackData (HackNum, ModOrder, FileName, PrimaryDir, ActionType, ModInst) "
                               "VALUES (%1, %2, 'ultimatebb.cgi', 0, 1, 1)")
                           .arg(number)
                           .arg(mod));
    }
    db.Execute("INSERT INTO HackFiles (HackNum, FileName, Location, CustomDir) VALUES (2, 'banner.html', 0, "
               "'templates')");
    db.Execute("INSERT INTO HackFiles (HackNum, FileName, Location, CustomDir) VALUES (4, 'smilies.txt', 4, '')");
}

// The mods, messages and support files of "Welcome Banner" that the editor's pictures show.
void FillEditorSample(zp::Database& db)
{
    db.Execute("DELETE FROM HackData WHERE HackNum = 2");
    db.Execute(
        "UPDATE HackInfo SET HackType = 0, AuthEmail = 'dana@example.org', HomePage = 'https://example.org/hacks/', "
        "UpdateURL = 'https://example.org/hacks/banner.txt', Copyright = '(c) 2002 Dana Whitfield', "
        "Comments = 'Shows a welcome banner above the forum list.\r\nThe text is read from banner.html.', "
        "PreInstallCom = 'Back up ultimatebb.cgi and ubb_library.pl first.', "
        "PostInstallCom = 'Upload the changed files, then banner.html into your templates folder.' "
        "WHERE HackNum = 2");
    const char* mods[][7] = {
        {"ultimatebb.cgi", "0", "1", "1", "&print_header;", "&print_welcome_banner;", "Banner after the header"},
        {"ubb_library.pl",
         "0",
         "0",
         "1",
         "sub print_header {",
         "sub print_welcome_banner {\r\n    print banner();\r\n}",
         "The banner routine"},
        {"public_common.pl", "4", "4", "0", "<td class=\"title\">", "<td class=\"title banner\">", "Every title cell"},
        {"vars_config.cgi", "3", "3", "1", "BBName => \"Demo Board\",", " ShowBanner => 1,", "Switch it on"},
    };
    int order = 0;
    for (const auto& m : mods)
        db.Execute(QString("INSERT INTO HackData (HackNum, ModOrder, FileName, PrimaryDir, ActionType, ModInst, "
                           "ExtendDir, OldData, NewData, Comment) VALUES (2, %1, '%2', %3, %4, %5, '', '%6', '%7', "
                           "'%8')")
                       .arg(++order)
                       .arg(m[0], m[1], m[2], m[3], m[4])
                       .arg(m[5], m[6]));
    db.Execute("INSERT INTO HackFiles (HackNum, FileName, Location, CustomDir, FileData) VALUES "
               "(2, 'welcome.gif', 1, 'images', X'47494638'), (2, 'banner.css', 1, NULL, X'2E62616E6E6572')");
}

bool Save(QWidget& widget, const QString& path)
{
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: zenpatch-screenshots OUTPUT_FOLDER [DEMO_BOARD_FILE]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;
    const QString database = home.path() + "/" + zp::Database::FileName;
    zp::Database::CreateNew(database);
    {
        zp::Database db;
        db.Open(database);
        FillSampleCatalogue(db);
    }

    zp::ScriptedDialogs dialogs;
    zp::AppState state(home.path(), dialogs);
    zp::OpenDatabase(state);
    zp::LoadConfiguration(state, [] {});

    bool ok = true;
    zp::mdiMain window(state);
    window.resize(1000, 700);
    window.show();
    window.mnuHackList->trigger();
    QApplication::processEvents();
    ok &= Save(window, out + "/main_window.png");

    zp::frmOptions options(state, &window);
    options.show();
    const char* tabs[] = {"options_local_paths.png", "options_ubb.png", "options_vbulletin.png"};
    for (int i = 0; i < 3; ++i) {
        options.SSTab1->setCurrentIndex(i);
        QApplication::processEvents();
        ok &= Save(options, out + "/" + tabs[i]);
    }
    options.close();

    zp::frmAbout about(&window, nullptr);
    about.show();
    QApplication::processEvents();
    ok &= Save(about, out + "/about.png");

    // The hack list on its own, then the viewer of its second hack.
    zp::frmListHacks& list = zp::ShowHackList(window);
    list.fgHackList->SetRow(2);
    QApplication::processEvents();
    ok &= Save(*list.parentWidget(), out + "/hack_list.png");
    zp::frmHackInfo info(state, &window);
    info.show();
    QApplication::processEvents();
    ok &= Save(info, out + "/hack_information.png");
    info.close();

    if (argc > 2) {
        zp::frmTextFile* viewer = zp::OpenTextViewer(window, QString::fromLocal8Bit(argv[2]));
        if (viewer) {
            viewer->txtFindText->setText("forums");
            viewer->FindButton->click();
            QApplication::processEvents();
            ok &= Save(*viewer->parentWidget(), out + "/text_viewer.png");
        }
    }

    // The hack editor on "Welcome Banner", opened from the list: each tab while viewing, then the
    // "Mod Info" tab while a mod is edited.
    FillEditorSample(state.Connection);
    if (argc > 2) // the demo board of that file is the source folder the mods are checked against
        state.SourceDir = QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(argv[2])).absolutePath() + "/..");
    zp::frmListHacks& hacks = zp::ShowHackList(window);
    hacks.RefillHackList();
    hacks.fgHackList->SetRow(4);
    hacks.cmdEditHack->click();
    if (auto* editor = window.findChild<zp::frmEditHack*>()) {
        editor->parentWidget()->move(0, 0);
        const char* pages[] = {"editor_hack_info.png", "editor_messages.png", "editor_mods.png", "editor_files.png"};
        editor->fgModList->SetRow(2);
        for (int i = 0; i < 4; ++i) {
            editor->sstabHack->setCurrentIndex(i);
            QApplication::processEvents();
            ok &= Save(*editor->parentWidget(), out + "/" + pages[i]);
        }
        editor->cmdEditMod->click();
        QApplication::processEvents();
        ok &= Save(*editor->parentWidget(), out + "/editor_mod_editing.png");
    } else {
        ok = false;
    }

    zp::CloseDatabase(state);
    return ok ? 0 : 1;
}
