// Takes the screenshots of the manual and the README: the main window with the hack list, each tab
// of the Options dialog, the About window, the hack information viewer, the text viewer, the hack
// editor, the export, import and text export windows, the encoding control's dialogs, the
// installation window (before, during and after a run), the analysis, the tabs of the board check
// and the three-way view of its port, rendered offscreen over the catalogue the demo home has (the
// demo hacks, imported).
//
//   zenpatch-screenshots OUTPUT_FOLDER DEMO_FOLDER      (DEMO_FOLDER: share/demo)

#include "port_shots.h"

#include "analysis/frm_analyze.h"
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "authoring/frm_record_hack.h"
#include "boardcheck/frm_board_check.h"
#include "catalogue/frm_check_updates.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/frm_hack_info.h"
#include "core/catalogue_operations.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "engine/modification_engine.h"
#include "install/backup_manifest.h"
#include "install/fixed_installation_options.h"
#include "install/frm_diff_view.h"
#include "install/frm_install_hack.h"
#include "install/frm_revert_installation.h"
#include "interchange/file_encoder_dialogs.h"
#include "interchange/frm_export_text.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"
#include "interchange/hack_import.h"
#include "publish/servers.h"
#include "publish_screenshots.h"
#include "shell/frm_about.h"
#include "shell/frm_options.h"
#include "shell/hack_list_openers.h"
#include "shell/mdi_main.h"
#include "viewer/frm_text_file.h"
#include "widgets/flex_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// A configured board, written straight into the database.
void Configure(zp::Database& db)
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
}

bool Save(QWidget& widget, const QString& path)
{
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Makes the row of the named hack the list's current row.
void SelectHack(zp::frmListHacks& list, const QString& name)
{
    for (int row = 1; row < list.fgHackList->Rows(); ++row) {
        if (list.fgHackList->TextMatrix(row, 0) == name)
            list.fgHackList->SetRow(row);
    }
}

// The revert window after "Who's Online Count" was installed over the source and one of the files
// it replaced was edited by hand: its backup before the revert, then the log with that file left
// alone.
bool RevertAfterAnEdit(zp::mdiMain& window, zp::AppState& state, zp::frmListHacks& list, const QString& out)
{
    SelectHack(list, "Who's Online Count");
    zp::FixedInstallationOptions host;
    host.overwriteSource = true;
    zp::RecordingLog log;
    zp::RunInstallation(state, state.CurrentHackNum, host, log);
    const std::vector<zp::BackupInfo> backups = zp::ListBackups(state.ProgramFolder, state.CurrentHackNum);
    if (backups.empty())
        return false;
    QFile manifest(state.ProgramFolder + u'/' + zp::BackupsFolder + u'/' + backups[0].name + "/"
                   + zp::ManifestFileName);
    if (!manifest.open(QIODevice::ReadOnly))
        return false;
    QFile edited(state.SourceDir + '/' + zp::ParseManifest(manifest.readAll()).rows.at(0).path);
    if (!edited.open(QIODevice::Append) || edited.write("# edited by hand\n") < 0)
        return false;
    edited.close();

    emit window.mnuHacks->aboutToShow();
    window.mnuRevertInstall->trigger();
    auto* revert = window.findChild<zp::frmRevertInstallation*>();
    if (!revert)
        return false;
    QWidget* frame = revert->parentWidget();
    frame->move(0, 0);
    QApplication::processEvents();
    bool ok = Save(*frame, out + "/revert_before.png");
    dynamic_cast<zp::ScriptedDialogs&>(state.dialogs).answers = {zp::MsgAnswer::Yes};
    revert->cmdRevert->click();
    QApplication::processEvents();
    return ok && Save(*frame, out + "/revert_after.png");
}

// The installer on "Who's Online Count" before and after a run over a copy of the demo boards; then
// during a second run that searches the output folder first, where the replacement the first run
// made is no longer found (a red row); last the analysis of "Template Version Check", which was
// written for another board version.
bool InstallAndAnalyse(zp::mdiMain& window, zp::AppState& state, const QString& demo, const QString& out)
{
    QTemporaryDir board;
    const QString source = board.filePath("source");
    zp::CopyFolderTree(demo + "/boards/ubb", source, true);
    zp::CopyFolderTree(demo + "/boards/vbulletin", source + "/forum", true);
    state.SourceDir = source;
    state.OutputDir = board.filePath("installed");
    window.CloseChildWindows();
    QApplication::processEvents();
    zp::frmListHacks& list = zp::ShowHackList(window);
    list.parentWidget()->hide();

    bool ok = true;
    const auto install = [&](const char* before, const char* during, const char* after) {
        SelectHack(list, "Who's Online Count");
        list.cmdInstallHack->click();
        zp::frmInstallHack* installer = window.findChild<zp::frmInstallHack*>();
        if (!installer)
            return false;
        QWidget* frame = installer->parentWidget();
        frame->move(0, 0);
        QApplication::processEvents();
        if (before) {
            ok &= Save(*frame, out + "/" + before);
            installer->cmdPreview->click();
            zp::frmDiffView* preview = window.findChild<zp::frmDiffView*>();
            if (!preview)
                return false;
            preview->parentWidget()->move(0, 0);
            QApplication::processEvents();
            ok &= Save(*preview->parentWidget(), out + "/install_preview.png");
            preview->cmdClose->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        // The first failed row is taken as it appears, with the window brought up to date.
        bool taken = !during;
        QObject::connect(installer->fgInstallLog->model(), &QAbstractItemModel::dataChanged, installer, [&] {
            if (taken)
                return;
            taken = true;
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            ok &= Save(*frame, out + "/" + during);
        });
        installer->cmdInstall->click();
        installer->cmdNext->click();
        QApplication::processEvents();
        if (after)
            ok &= Save(*frame, out + "/" + after);
        installer->cmdNext->click(); // "Would you like to open the output folder now?" No
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return taken;
    };
    ok &= install("install_before.png", nullptr, "install_after.png");
    state.cfgSearchOutputDir = 1;
    state.cfgDelOutputDir = 0;
    ok &= install(nullptr, "install_during.png", nullptr);

    SelectHack(list, "Template Version Check");
    list.cmdAnalyze->click();
    if (zp::frmAnalyze* analysis = window.findChild<zp::frmAnalyze*>()) {
        analysis->parentWidget()->move(0, 0);
        QApplication::processEvents();
        ok &= Save(*analysis->parentWidget(), out + "/analysis.png");
    } else {
        ok = false;
    }
    return ok && RevertAfterAnEdit(window, state, list, out);
}

// A vBulletin hack with one mod on the forum's index.php.
void AddHomePageHack(
    zp::AppState& state, const QString& name, int action, const QString& oldData, const QString& newData)
{
    const int hack = zp::CreateHack(state, [&](zp::Recordset& info) {
        info.SetValue("Name", name);
        info.SetValue("HackType", 1);
    });
    zp::Recordset mods(state.Connection);
    mods.Open(zp::sql::SelectHackData);
    mods.AddNew();
    mods.SetValue("HackNum", hack);
    mods.SetValue("ModOrder", 1);
    mods.SetValue("FileName", "index.php");
    mods.SetValue("PrimaryDir", 0);
    mods.SetValue("ActionType", action);
    mods.SetValue("ModInst", 1);
    mods.SetValue("OldData", oldData);
    mods.SetValue("NewData", newData);
    mods.Update();
}

// Replaces a text in a board file of the new release.
void Edit(const QString& path, const QByteArray& before, const QByteArray& after)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    file.close();
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes.replace(before, after));
}

// The tabs of the board check, with two more hacks on the forum's home page: a new release in which
// the welcome line reads differently (the banner breaks, the template check is fixed), the home page
// hacks against each other, and the hacks carried to the new release, the link after the welcome line
// finished by hand.
bool CheckBoard(zp::mdiMain& window, zp::AppState& state, const QString& demo, const QString& out)
{
    const QString welcome = R"($welcometext = "Welcome to the demo forum.";)";
    const QString output = R"(eval("dooutput(\"".gettemplate('forumhome')."\");");)";
    AddHomePageHack(state, "Home Page Links", zp::AddAfter, welcome, R"($links = '<a href="links.php">Links</a>';)");
    AddHomePageHack(state, "Plain Home Page", zp::Replace, output, "dooutput(gettemplate('forumhome_plain'));");
    QTemporaryDir board;
    const QString release = board.filePath("release");
    state.SourceDir = board.filePath("source");
    for (const QString& root : {state.SourceDir, release}) {
        zp::CopyFolderTree(demo + "/boards/ubb", root, true);
        zp::CopyFolderTree(demo + "/boards/vbulletin", root + "/forum", true);
    }
    Edit(release + "/forum/index.php", welcome.toUtf8(), "$welcometext = $vboptions['welcome'];");
    Edit(release + "/forum/global.php", "2.2.9", "2.0.3");

    zp::frmBoardCheck& check = zp::ShowBoardCheck(window);
    QWidget* frame = check.parentWidget();
    frame->move(0, 0);
    bool ok = true;
    const auto run = [&](QPushButton* button, const char* name) {
        button->click();
        while (check.IsChecking())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        // The folder as a reader's board would have it, not the temporary copy's.
        check.txtNewRelease->setText("/home/admin/forum/release-2.3");
        QApplication::processEvents();
        ok &= Save(*frame, out + "/" + name);
    };
    check.txtNewRelease->setText(release);
    run(check.cmdCheckUpgrade, "board_check_upgrade.png");
    check.tabChecks->setCurrentIndex(1);
    run(check.cmdCheckConflicts, "board_check_conflicts.png");
    check.txtNewRelease->setText(release);
    return ok
        && PortScreenshots(
               window, check, "/home/admin/forum/release-2.3", "$welcometext = $vboptions['welcome'];", out, Save);
}

// New Hack from Changes: a copy of the demo UBB board with the shared routines edited and one file
// saved with mixed line ends, recorded against the board.
bool RecordHack(zp::mdiMain& window, zp::AppState& state, const QString& demo, const QString& out)
{
    QTemporaryDir board;
    const QString original = board.filePath("live");
    const QString edited = board.filePath("edited");
    for (const QString& root : {original, edited})
        zp::CopyFolderTree(demo + "/boards/ubb", root, true);
    Edit(edited + "/cgi-bin/ubb_library.pl", "sub print_header {\r\n", "sub print_header {\r\n    print_banner();\r\n");
    Edit(edited + "/noncgi/ubb.css", "}", "}\n");
    QFile added(edited + "/cgi-bin/Templates/banner.tmpl");
    added.open(QIODevice::WriteOnly);
    added.write("<div class=\"banner\">Welcome</div>\r\n");
    added.close();
    state.SourceDir = original;

    zp::frmRecordHack& record = zp::ShowRecordHack(window);
    QWidget* frame = record.parentWidget();
    frame->move(0, 0);
    record.txtEdited->setText(edited);
    record.txtName->setText("Banner");
    record.chkPartial->setChecked(true);
    record.cmdRecord->click();
    while (record.IsRecording())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // The folders as a reader's board would have them, not the temporary copies.
    record.txtOriginal->setText("/home/admin/forum/live");
    record.txtEdited->setText("/home/admin/forum/edited");
    QApplication::processEvents();
    return Save(*frame, out + "/record_hack.png");
}

// Answers the update check from memory, so that the screenshot asks no real server: the demo hack
// files for their own addresses, "HTTP 404 Not Found" for any other.
class DemoUpdates : public zp::UrlFetcher
{
public:
    explicit DemoUpdates(const QString& demo)
        : demo_(demo)
    {
    }

    std::function<void()> Get(const QUrl& url, Handlers handlers) override
    {
        auto cancelled = std::make_shared<bool>(false);
        QTimer::singleShot(0, [this, url, handlers, cancelled] {
            if (*cancelled)
                return;
            QFile file(demo_ + "/hacks/" + url.fileName());
            if (!file.open(QIODevice::ReadOnly))
                return handlers.finished("HTTP 404 Not Found");
            const QByteArray bytes = file.readAll();
            handlers.started(bytes.size());
            handlers.received(bytes);
            handlers.finished(QString());
        });
        return [cancelled] { *cancelled = true; };
    }

private:
    QString demo_;
};

// Check for Updates over the demo hacks: one newer (its catalogue version set back), one up to
// date, one whose address answers 404, and the hacks without an address.
bool CheckForUpdates(zp::mdiMain& window, zp::AppState& state, const QString& demo, const QString& out)
{
    state.Connection.Execute("UPDATE HackInfo SET UpdateURL = 'https://hacks.example.org/' || "
                             "CASE WHEN Name LIKE 'Welcome%' THEN 'welcome_banner.zpp' "
                             "WHEN Name LIKE 'Who%' THEN 'whos_online.zpx' ELSE 'template_version.zpx' END");
    state.Connection.Execute("UPDATE HackInfo SET Version = '0.9' WHERE Name LIKE 'Welcome%'");
    state.Connection.Execute("UPDATE HackInfo SET UpdateURL = 'https://hacks.example.org/gone.zpx' "
                             "WHERE Name LIKE 'Home Page Links%'");
    state.Connection.Execute("UPDATE HackInfo SET UpdateURL = NULL WHERE Name LIKE 'Plain%'");
    auto* check = new zp::frmCheckUpdates(window, std::make_unique<DemoUpdates>(demo));
    window.ShowChild(check);
    check->Load();
    while (check->IsBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    check->parentWidget()->move(0, 0);
    zp::frmListHacks& list = zp::ShowHackList(window);
    list.RefillHackList();
    for (int row = 1; row < check->fgUpdates->Rows(); ++row) {
        if (check->fgUpdates->TextMatrix(row, 2).startsWith("newer"))
            check->fgUpdates->SetRow(row);
    }
    window.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(check->parentWidget()));
    QApplication::processEvents();
    bool ok = Save(*check->parentWidget(), out + "/check_updates.png");

    // The list filtered by one word, sorted by version.
    list.txtFilter->setText("home");
    list.SortBy(1, Qt::DescendingOrder);
    window.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(list.parentWidget()));
    list.parentWidget()->move(0, 0);
    QApplication::processEvents();
    ok &= Save(window, out + "/hack_list_filter.png");
    list.SortBy(-1, Qt::AscendingOrder);
    list.txtFilter->clear();
    return ok;
}

bool ShowAndSave(QWidget& widget, const QString& path)
{
    widget.show();
    QApplication::processEvents();
    return Save(widget, path);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: zenpatch-screenshots OUTPUT_FOLDER DEMO_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString demo = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QTemporaryDir home;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path()); // the list's order
    const QString database = home.path() + "/" + zp::Database::FileName;
    zp::Database::CreateNew(database);
    {
        zp::Database db;
        db.Open(database);
        Configure(db);
    }

    zp::ScriptedDialogs dialogs;
    zp::AppState state(home.path(), dialogs);
    zp::OpenDatabase(state);
    zp::LoadConfiguration(state);
    for (const QFileInfo& hack : QDir(demo + "/hacks").entryInfoList({"*.zpx", "*.zpp"}, QDir::Files, QDir::Name)) {
        if (zp::ImportHackFile(state, hack.filePath()).outcome != zp::ImportOutcome::Imported) {
            std::fprintf(stderr, "could not import %s\n", qPrintable(hack.filePath()));
            return 1;
        }
    }

    bool ok = true;
    zp::mdiMain window(state);
    window.resize(1000, 700);
    window.show();
    window.mnuHackList->trigger();
    QApplication::processEvents();
    ok &= Save(window, out + "/main_window.png");

    zp::AddServer(state.Connection,
                  {"live", "board.example.org", 22, "admin", "/home/admin/public_html", zp::SignIn::Agent, {}, {}});
    zp::frmOptions options(state, &window);
    options.show();
    const char* tabs[] = {"options_local_paths.png", "options_ubb.png", "options_vbulletin.png", "options_servers.png"};
    for (int i = 0; i < 4; ++i) {
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

    {
        zp::frmTextFile* viewer = zp::OpenTextViewer(window, demo + "/boards/ubb/cgi-bin/ultimatebb.cgi");
        if (viewer) {
            viewer->txtFindText->setText("forums");
            viewer->FindButton->click();
            QApplication::processEvents();
            ok &= Save(*viewer->parentWidget(), out + "/text_viewer.png");
        }
    }

    // The hack editor on the demo hack "Welcome Banner", opened from the list, its mods checked against
    // the demo boards: each tab while viewing, then the "Mod Info" tab while a mod is edited.
    state.SourceDir = QDir(demo + "/boards").absolutePath();
    list.RefillHackList();
    SelectHack(list, "Welcome Banner");
    list.cmdEditHack->click();
    if (auto* editor = window.findChild<zp::frmEditHack*>()) {
        editor->parentWidget()->move(0, 0);
        const char* pages[] = {"editor_hack_info.png", "editor_messages.png", "editor_mods.png", "editor_files.png"};
        editor->fgModList->SetRow(1);
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

    // The interchange windows, as the hack list and the Hacks menu open them, and the encoding
    // control's property page and About box.
    {
        zp::frmHackExport exportHack(state, &window);
        exportHack.txtExpFolder->setText("/home/admin/Documents/hacks"); // as the last export left it
        exportHack.txtHackFileName->setText("welcome_banner");
        ok &= ShowAndSave(exportHack, out + "/export_hack.png");
        zp::CFileEncoderPropPage page(exportHack.fe, &window);
        ok &= ShowAndSave(page, out + "/encoder_properties.png");
        zp::CFileEncoderAboutBox about(&window);
        ok &= ShowAndSave(about, out + "/encoder_about.png");
        zp::frmHackImport importHack(state, &window);
        importHack.txtImpFile->setText("/home/admin/downloads/whos_online.zpx");
        ok &= ShowAndSave(importHack, out + "/import_hack.png");
    }
    zp::ShowExportText(window);
    if (auto* text = window.findChild<zp::frmExportText*>()) {
        text->txtExpFolder->setText("/home/admin/forum/text/welcome_banner");
        text->txtHackFileName->setText("welcome_banner");
        QApplication::processEvents();
        ok &= Save(*text->parentWidget(), out + "/export_text.png");
    } else {
        ok = false;
    }

    ok &= InstallAndAnalyse(window, state, demo, out);
    ok &= PublishWindowShot(window, state, "Who's Online Count", out);
    ok &= CheckBoard(window, state, demo, out);
    ok &= RecordHack(window, state, demo, out);
    ok &= CheckForUpdates(window, state, demo, out);
    zp::CloseDatabase(state);
    return ok ? 0 : 1;
}
