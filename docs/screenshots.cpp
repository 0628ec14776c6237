// Takes the screenshots of the manual and the README: the main window with the hack list, each tab
// of the Options dialog, the About window, the hack information viewer and the text viewer,
// rendered offscreen over a sample catalogue.
//
//   zenpatch-screenshots OUTPUT_FOLDER [DEMO_BOARD_FILE]

#include "app/app_state.h"
#include "app/common.h"
#include "app/frm_about.h"
#include "app/frm_options.h"
#include "app/mdi_main.h"
#include "app/scripted_dialogs.h"
#include "catalogue/flex_grid.h"
#include "catalogue/frm_hack_info.h"
#include "catalogue/frm_list_hacks.h"
#include "database/database.h"
#include "viewer/frm_text_file.h"

#include <QApplication>
#include <QDir>
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

    zp::CloseDatabase(state);
    return ok ? 0 : 1;
}
