#include "interchange/file_encoder_dialogs.h"
#include "interchange/frm_export_text.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"
#include "interchange/hack_export.h"
#include "interchange/hack_import.h"
#include "interchange/interchange_common.h"
#include "interchange_fixture.h"
#include "scoped_env.h"
#include "widget_test_app.h"

#include "shell/hack_list_openers.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace zp;
using namespace zp::test;

namespace {

// Records the folders the windows ask the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }

public:
    QStringList opened;
};

class InterchangeWindows : public InterchangeFixture
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override
    {
        InterchangeFixture::SetUp();
        QDesktopServices::setUrlHandler("file", &urls, "open");
        SelectHack(AddLogoHack());
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler("file");
        InterchangeFixture::TearDown();
    }

    // Starts a window's job (a click, a key) and waits until the window has acted on its outcome.
    static void Run(InterchangeDialog& window, const std::function<void()>& start)
    {
        QSignalSpy finished(&window, &InterchangeDialog::JobFinished);
        start();
        ASSERT_TRUE(finished.wait(30000));
    }

    QString ExportedHackFile()
    {
        const QString file = StartExport(state, {state.CurrentHackNum, Out(), "logohack", false}).hackFile;
        dialogs.messages.clear();
        return file;
    }

    UrlRecorder urls;
};

// Asked by an import of a hack whose name and version the catalogue already has.
constexpr const char* SameHackQuestion = "A hack named \"Logo Hack\", version \"1.2\", is already in the catalogue. "
                                         "Replace it with the hack of this file, or keep both?";

// Acts on the import window from inside its modal loop whenever it is open and idle.
class WhenImportWindowIdle
{
public:
    explicit WhenImportWindowIdle(std::function<void(frmHackImport&)> act)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [act] {
            auto* window = qobject_cast<frmHackImport*>(QApplication::activeModalWidget());
            if (window && !window->IsRunning())
                act(*window);
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

// Drags a file onto a widget and drops it there.
void Drop(QWidget* target, const QString& file)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

} // namespace

TEST_F(InterchangeWindows, ExportStaysOpenAfterRefusalsAndClosesAfterTheFolderQuestion)
{
    const ScopedEnv home("HOME", Out("home").toUtf8());
    QDir().mkpath(Out("home/Documents"));
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        dialogs.messages.clear();
        frmHackExport window(state);
        window.show();
        // The folder comes from the last export (the documents folder at first); the name is asked.
        EXPECT_EQ(window.txtExpFolder->text(), answer == MsgAnswer::Yes ? Out("home/Documents") : Out("made"));
        EXPECT_EQ(window.focusWidget(), window.txtHackFileName);
        // The window names the hack and proposes a file name made from it.
        EXPECT_EQ(window.windowTitle(), "Export Hack — Logo Hack");
        EXPECT_EQ(window.txtHackFileName->text(), "Logo Hack");

        window.txtHackFileName->setText("release.final");
        Run(window, [&] { QTest::keyClick(window.txtHackFileName, Qt::Key_Return); });
        window.txtExpFolder->setText(Out("missing/"));
        window.txtHackFileName->setText("logohack");
        Run(window, [&] { window.cmdStartExport->click(); });
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.txtExpFolder->text(), Out("missing"));
        EXPECT_EQ(window.txtHackFileName->text(), "logohack");

        window.txtExpFolder->setText(Out("made"));
        window.chkMakeFolder->setChecked(true);
        dialogs.answers.push_back(answer);
        Run(window, [&] { window.cmdStartExport->click(); });
        EXPECT_EQ(MessageTexts(),
                  (QStringList {"You cannot use any periods in the filename.  Remember not to add an extension.",
                                "Directory does not exist, cannot export file.",
                                "Would you like to open the output folder now?"}));
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(window.prgProgress->value(), 100);
        EXPECT_TRUE(QFile::exists(Out("made/logohack.zpp")));
    }
    EXPECT_EQ(urls.opened, QStringList {Out("made")});
}

TEST_F(InterchangeWindows, ControlPropertyPageAndAboutBox)
{
    frmHackExport window(state);
    CFileEncoderPropPage page(window.fe, &window);
    EXPECT_EQ(page.cmbEncoding->currentText(), "0 - MIME (base64)");
    page.cmbEncoding->setCurrentIndex(1);
    page.cmdOK->click();
    EXPECT_EQ(window.fe.GetEncoding(), encodeUucode);

    // Hack files carry base64 whatever the page says: this one imports.
    window.txtExpFolder->setText(Out());
    window.txtHackFileName->setText("uu");
    Run(window, [&] { window.cmdStartExport->click(); });
    EXPECT_EQ(Import(Out("uu.zpp")), ImportOutcome::Imported);

    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<CFileEncoderAboutBox*>(QApplication::activeModalWidget())) {
            shown = box->windowTitle() + " / " + box->lblVersion->text();
            box->accept();
        }
    });
    window.fe.Invoke(FileEncoder::dispidAboutBox);
    EXPECT_EQ(shown, QString(kAboutBoxCaption) + " / " + kAboutBoxVersion);
}

TEST_F(InterchangeWindows, ImportStaysOpenAfterAStopAndClosesAfterTheImport)
{
    const QString hackFile = ExportedHackFile();
    WriteBytes(Out("notes.txt"), "not a hack file");
    frmHackImport window(state);
    window.show();
    EXPECT_EQ(window.txtImpFile->text(), state.ProgramFolder);
    EXPECT_EQ(window.focusWidget(), window.txtImpFile);

    window.txtImpFile->setText(Out("notes.txt"));
    Run(window, [&] { window.cmdStartImport->click(); });
    EXPECT_TRUE(window.isVisible());

    // A file that is gone by the time it is chosen leaves the text as it was.
    dialogs.openResults.push_back({Out("vanished.zpx")});
    window.cmdImpFile->click();
    EXPECT_EQ(window.txtImpFile->text(), Out("notes.txt"));
    EXPECT_EQ(dialogs.messages.back().title, "Find/Path Not Found");
    dialogs.openResults.push_back({hackFile});
    window.cmdImpFile->click();
    const FileDialogOptions& options = dialogs.fileDialogs.back();
    EXPECT_EQ(options.title, "Import Zenpatch File");
    EXPECT_EQ(options.filter, "All Files (*.*) (*);;Zenpatch Files (*.zpx,*.zpp) (*.zpx *.zpp)");
    EXPECT_EQ(options.filterIndex, 1);
    EXPECT_EQ(options.initialDir, Out() + "/"); // the folder of the file tried last
    EXPECT_EQ(window.txtImpFile->text(), hackFile);

    Run(window, [&] { QTest::keyClick(window.txtImpFile, Qt::Key_Return); });
    // The hack file holds the hack the catalogue has: the import asks, and keeps both by default.
    EXPECT_EQ(MessageTexts(),
              (QStringList {"This file does not appear to be a valid ZPX or ZPP file, import aborted.",
                            "Either the filename or path could not be found.",
                            SameHackQuestion,
                            "Import Complete"}));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Count("HackInfo"), 2);
}

TEST_F(InterchangeWindows, MenuImportAndDroppedFilesRefillTheShowingList)
{
    const QString hackFile = ExportedHackFile();
    WriteBytes(Out("notes.txt"), "not a hack file");
    mdiMain main(state);
    main.show();
    frmListHacks& list = ShowHackList(main);
    ASSERT_TRUE(main.mnuImport->isEnabled());
    {
        WhenImportWindowIdle choose([&](frmHackImport& window) {
            if (window.txtImpFile->text() != hackFile) {
                window.txtImpFile->setText(hackFile);
                window.cmdStartImport->click();
            }
        });
        main.mnuImport->trigger();
    }
    EXPECT_EQ(list.fgHackList->Rows(), 3);

    // A hack file dropped onto the list is imported at once.
    Drop(list.fgHackList, hackFile);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.fgHackList->Rows() == 4; }, 30000));

    // Any other file is refused by the import, whose window stays open until closed.
    WhenImportWindowIdle close([&](frmHackImport& window) {
        if (dialogs.messages.back().title == "Invalid File")
            window.close();
    });
    Drop(list.fgHackList, Out("notes.txt"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialogs.messages.size() == 5; }, 30000));
    EXPECT_EQ(MessageTexts(),
              (QStringList {SameHackQuestion,
                            "Import Complete",
                            SameHackQuestion,
                            "Import Complete",
                            "This file does not appear to be a valid ZPX or ZPP file, import aborted."}));
    EXPECT_EQ(list.fgHackList->Rows(), 4);
}

TEST_F(InterchangeWindows, TextExportRefusesAFolderInUseAndClosesWithItsFrameWhenDone)
{
    WriteBytes(Out("kept.txt"), "not the export's");
    SaveConfigText(state, "diagExportPath", Out()); // the folder of the last export is proposed
    mdiMain main(state);
    main.show();
    ShowExportText(main);
    QPointer<frmExportText> window = main.findChild<frmExportText*>();
    ASSERT_TRUE(window);
    // A new folder named after the hack there, as a text export fills its folder.
    EXPECT_EQ(window->txtExpFolder->text(), Out(window->txtHackFileName->text()));

    window->txtExpFolder->setText(Out());
    window->txtHackFileName->setText("logohack");
    QTest::keyClick(window->txtHackFileName, Qt::Key_Return);
    EXPECT_EQ(MessageTexts(),
              QStringList {Out() + " is not empty. Please choose an empty or new folder for the text export."});

    window->txtExpFolder->setText(Out("text"));
    window->cmdStartExport->click();
    EXPECT_TRUE(QFile::exists(Out("text/logohack.txt")));
    RunDeferredDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
}

#include "interchange_windows_test.moc"
