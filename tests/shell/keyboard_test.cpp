#include "authoring/frm_record_hack.h"
#include "boardcheck/frm_board_check.h"
#include "catalogue/frm_check_updates.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/frm_hack_comm.h"
#include "catalogue/frm_list_hacks.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "install/frm_diff_view.h"
#include "install/frm_install_hack.h"
#include "program_folder_fixture.h"
#include "shell/frm_about.h"
#include "shell/frm_options.h"
#include "shell/mdi_main.h"
#include "widget_test_app.h"
#include "widgets/flex_grid.h"
#include "widgets/qt_dialogs.h"
#include "widgets/window_helpers.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace zp::test {
namespace {

// One window of each family with boxes to type in, opened as the program opens it. (The installer,
// its preview and the update check have none.)
const std::vector<std::pair<const char*, std::function<QWidget*(mdiMain&)>>> Families = {
    {"list", [](mdiMain& main) -> QWidget* { return FindHackList(main.mdiArea()); }},
    {"editor", [](mdiMain& main) -> QWidget* { return &ShowHackEditor(main); }},
    {"board check", [](mdiMain& main) -> QWidget* { return &ShowBoardCheck(main); }},
    {"record", [](mdiMain& main) -> QWidget* { return &ShowRecordHack(main); }},
    {"options",
     [](mdiMain& main) -> QWidget* {
         auto* options = new frmOptions(main.State(), &main);
         options->setAttribute(Qt::WA_DeleteOnClose);
         options->show();
         return options;
     }},
};

// The text of a box a user types in, or a null string for any other widget.
QString TypedText(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box); line && !line->isReadOnly())
        return line->text();
    if (auto* text = qobject_cast<QTextEdit*>(box); text && !text->isReadOnly())
        return text->toPlainText();
    if (auto* text = qobject_cast<QPlainTextEdit*>(box); text && !text->isReadOnly())
        return text->toPlainText();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(box); spin && !spin->isReadOnly())
        return spin->text();
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->isEditable())
        return combo->currentText();
    return QString();
}

class KeyboardTest : public ProgramFolderFixture
{
protected:
    void SetUp() override
    {
        EnsureApplication();
        ProgramFolderFixture::SetUp();
        const int hack = CreateHack(state, [](Recordset& row) { row.SetValue("Name", "Calendar"); });
        ASSERT_TRUE(FindHack(state, QString::number(hack)));
        main = std::make_unique<mdiMain>(state);
        main->resize(1100, 800);
        main->show();
        main->ShowHackList(hack);
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    }

    void TearDown() override
    {
        main.reset();
        RunDeferredDeletes();
        ProgramFolderFixture::TearDown();
    }

    // The Alt keys the window's controls and the main window's menus take.
    QList<QKeySequence> TakenKeys(QWidget* window) const
    {
        QList<QKeySequence> taken = MnemonicKeys(window);
        for (QAction* menu : main->menuBar()->actions())
            taken << QKeySequence::mnemonic(menu->text());
        return taken;
    }

    std::unique_ptr<mdiMain> main;
};

// Alt and Meta with every letter that no control of the window takes, typed into each box of every
// tab a user can type in, leave its text as it was.
TEST_F(KeyboardTest, ChordsNoControlTakesTypeNothing)
{
    for (const auto& [name, open] : Families) {
        SCOPED_TRACE(name);
        QPointer<QWidget> window = open(*main);
        ASSERT_TRUE(window);
        const QList<QKeySequence> taken = TakenKeys(window);
        QList<QTabWidget*> tabs = window->findChildren<QTabWidget*>();
        const int pages = tabs.isEmpty() ? 1 : int(tabs.first()->count());
        int typedInto = 0;
        for (int page = 0; page < pages; ++page) {
            if (!tabs.isEmpty())
                tabs.first()->setCurrentIndex(page);
            for (QWidget* box : window->findChildren<QWidget*>()) {
                const QString before = TypedText(box);
                if (before.isNull() || !box->isVisibleTo(window) || !box->isEnabled()
                    || qobject_cast<QComboBox*>(box->parentWidget())
                    || qobject_cast<QAbstractSpinBox*>(box->parentWidget()))
                    continue;
                SCOPED_TRACE(box->objectName().toStdString());
                box->setFocus();
                ++typedInto;
                for (int letter = Qt::Key_A; letter <= Qt::Key_Z; ++letter) {
                    if (!taken.contains(QKeySequence(Qt::ALT | Qt::Key(letter))))
                        QTest::keyClick(box, Qt::Key(letter), Qt::AltModifier);
                    QTest::keyClick(box, Qt::Key(letter), Qt::MetaModifier);
                }
                EXPECT_EQ(TypedText(box), before);
            }
        }
        EXPECT_GT(typedInto, 0);
        if (window && window != FindHackList(main->mdiArea()))
            CloseWindow(window);
        RunDeferredDeletes();
    }
}

// A working window opened from the hack list takes the keyboard on one of its controls, Tab stays in
// it, and once it closes (Escape) the keyboard is back on the list's row.
TEST_F(KeyboardTest, WorkingWindowsTakeTheKeyboardAndGiveItBackToTheListsRow)
{
    const std::pair<const char*, QPushButton * frmListHacks::*> commands[] = {
        {"edit", &frmListHacks::cmdEditHack},
        {"install", &frmListHacks::cmdInstallHack},
        {"analyze", &frmListHacks::cmdAnalyze},
        {"text export", &frmListHacks::cmdExportText},
    };
    // Each window as the user reaches it: the preview from the installer.
    const auto open = [this](QPushButton* button) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QCoreApplication::processEvents();
        return main->mdiArea()->activeSubWindow();
    };
    const auto keepsTheKeyboard = [](QMdiSubWindow* opened) {
        for (int tab = 0; tab < 30; ++tab) {
            if (!opened->isAncestorOf(QApplication::focusWidget()))
                return false;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return true;
    };
    QMdiSubWindow* preview = open(ShowInstaller(*main).cmdPreview);
    ASSERT_TRUE(preview && qobject_cast<frmDiffView*>(preview->widget()));
    EXPECT_TRUE(keepsTheKeyboard(preview));
    EXPECT_TRUE(main->CloseChildWindows());
    main->ShowHackList();

    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        QMdiSubWindow* opened = open(FindHackList(main->mdiArea())->*command);
        ASSERT_TRUE(opened && !qobject_cast<frmListHacks*>(opened->widget()));
        EXPECT_TRUE(keepsTheKeyboard(opened));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        RunDeferredDeletes();
        QCoreApplication::processEvents();
        EXPECT_TRUE(FindHackList(main->mdiArea())->fgHackList->hasFocus());
    }
}

// A message box, and a dialog closed right after its box, give the keyboard back where it was: to the
// control that asked, in its working window, with the main window active, also when the window
// manager left no window active and another working window came to the front behind the box.
TEST_F(KeyboardTest, MessageBoxesGiveTheKeyboardBack)
{
    QtDialogs boxes(main.get());
    frmEditHack& editor = ShowHackEditor(*main);
    main->ShowHackList();
    frmListHacks* list = FindHackList(main->mdiArea());
    const std::pair<const char*, QWidget*> askers[] = {
        {"list's filter", list->txtFilter},
        {"list's row", list->fgHackList},
        {"editor", editor.txtHackName},
    };
    for (const auto& [name, asker] : askers) {
        SCOPED_TRACE(name);
        asker->setFocus();
        WhenModal([&](QWidget* box) {
            main->mdiArea()->activateNextSubWindow();
            QTest::keyClick(box, Qt::Key_Return);
            QApplication::setActiveWindow(nullptr);
        });
        boxes.messageBox("Import Complete", "Import Complete!", MsgButtons::OK, MsgIcon::None);
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), asker);
        EXPECT_EQ(QApplication::activeWindow(), main.get());
    }

    frmOptions options(main->State(), main.get());
    const QTemporaryDir board;
    WhenModal([&](QWidget*) {
        options.txtSourceDir->setText(board.path() + "/source");
        options.txtOutputDir->setText(board.path() + "/output");
        QTest::mouseClick(options.cmdSave, Qt::LeftButton);
        QApplication::setActiveWindow(nullptr);
    });
    list->fgHackList->setFocus();
    ASSERT_EQ(options.exec(), QDialog::Accepted);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), main.get());
    EXPECT_EQ(QApplication::focusWidget(), list->fgHackList);
}

// Escape closes the long-text window and the update check (once nothing is under way), and the
// keyboard goes back to the window beneath: the editor, the list's row.
TEST_F(KeyboardTest, EscapeClosesTheLongTextWindowAndTheUpdateCheck)
{
    frmEditHack& editor = ShowHackEditor(*main);
    editor.cmdViewFS->click();
    ASSERT_TRUE(FindWorkingWindow<frmHackComm>(main->mdiArea()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    RunDeferredDeletes();
    EXPECT_FALSE(FindWorkingWindow<frmHackComm>(main->mdiArea()));
    EXPECT_TRUE(editor.isAncestorOf(QApplication::focusWidget()));
    ASSERT_TRUE(CloseWindow(&editor));
    RunDeferredDeletes();

    main->ShowHackList();
    frmCheckUpdates& updates = ShowCheckUpdates(*main);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !updates.IsBusy(); }, 5000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    RunDeferredDeletes();
    EXPECT_FALSE(FindWorkingWindow<frmCheckUpdates>(main->mdiArea()));
    EXPECT_EQ(QApplication::focusWidget(), FindHackList(main->mdiArea())->fgHackList);
}

// Return and Escape close the splash at once, with the keyboard where it is after it opens, and
// stop its timer.
TEST_F(KeyboardTest, ReturnAndEscapeCloseTheSplash)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTimer timer;
        timer.start(5000);
        frmAbout splash(main.get(), &timer);
        QString focus;
        WhenModal([&](QWidget*) {
            focus = QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), key);
        });
        bool keyWentNowhere = false;
        QTimer::singleShot(4000, &splash, [&] {
            keyWentNowhere = true;
            splash.done(QDialog::Rejected);
        });
        splash.exec();
        EXPECT_FALSE(keyWentNowhere);
        EXPECT_FALSE(timer.isActive());
        EXPECT_EQ(focus, "cmdOK");
    }
}

// F10 opens the menu bar wherever the keyboard is, also in a working window that took the letters.
TEST_F(KeyboardTest, F10OpensTheMenuBar)
{
    for (QWidget* window :
         {static_cast<QWidget*>(FindHackList(main->mdiArea())), static_cast<QWidget*>(&ShowInstaller(*main))}) {
        FocusFirstControl(window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
        EXPECT_TRUE(main->mnuFile->isVisible()) << window->metaObject()->className();
        main->mnuFile->close();
    }
}

// Each answer of the save question has its Alt key.
TEST_F(KeyboardTest, TheSaveQuestionsAnswersHaveAltKeys)
{
    const std::pair<Qt::Key, MsgAnswer> keys[]
        = {{Qt::Key_S, MsgAnswer::Save}, {Qt::Key_D, MsgAnswer::Discard}, {Qt::Key_C, MsgAnswer::Cancel}};
    for (const auto& [key, answer] : keys) {
        const std::unique_ptr<QMessageBox> box = MakeMessageBox(
            "Save changes to Calendar?", "Create/Edit Hack", MsgButtons::SaveDiscardCancel, MsgIcon::Question, nullptr);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
        QTest::keyClick(box.get(), key, Qt::AltModifier);
        // A key clicks its button as the mouse would, pressed for a moment.
        EXPECT_TRUE(QTest::qWaitFor([&] { return box->isHidden(); }, 1000));
        EXPECT_EQ(AnswerOf(*box), answer) << QKeySequence(key).toString().toStdString();
    }
}

} // namespace
} // namespace zp::test
