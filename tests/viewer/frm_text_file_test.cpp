#include "viewer/frm_text_file.h"

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "shell/mdi_main.h"
#include "widget_test_app.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zp {
namespace {

class TextViewerTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    QString WriteFile(const QByteArray& bytes)
    {
        const QString path = dir.filePath("forum.cgi");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // A viewer loaded on a file holding `bytes`.
    frmTextFile& Open(const QByteArray& bytes)
    {
        state.CurrentModFilePath = WriteFile(bytes);
        viewer = new frmTextFile(state);
        EXPECT_TRUE(viewer->Load(QString()));
        return *viewer;
    }

    void Search(const QString& what, QPushButton* button)
    {
        viewer->txtFindText->setText(what);
        button->click();
    }

    QString SelectedText() const { return viewer->rtbTextData->textCursor().selectedText(); }
    int SelStart() const { return viewer->rtbTextData->textCursor().selectionStart(); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    AppState state {dir.path(), dialogs};
    QPointer<frmTextFile> viewer;

    void TearDown() override { delete viewer; }
};

TEST_F(TextViewerTest, LoadsTheFileWithEveryLineEndedAndReplaceDisabled)
{
    const QString path = WriteFile("first\r\nlast");
    state.CurrentModFilePath = path;
    viewer = new frmTextFile(state);
    ASSERT_TRUE(viewer->Load("/elsewhere/ignored.txt"));

    EXPECT_EQ(viewer->windowTitle(), "Zenpatch - " + path + " (read-only preview of find and replace)");
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), "first\nlast\n"); // each CR LF is one line break
    EXPECT_EQ(viewer->rtbTextData->document()->blockCount(), 3);
    EXPECT_TRUE(state.CurrentModFilePath.isEmpty());
    EXPECT_FALSE(viewer->ReplaceButton->isEnabled());
    EXPECT_FALSE(viewer->ReplaceAllButton->isEnabled());
    EXPECT_EQ(viewer->LastFoundPosition(), 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(TextViewerTest, LargeFileFillsInTheBackgroundAndSearchesSeeAllOfIt)
{
    QByteArray bytes;
    for (int i = 0; i < 30000; ++i)
        bytes += "line " + QByteArray::number(i) + "\n";
    Open(bytes + "needle");
    EXPECT_TRUE(viewer->IsLoading());
    EXPECT_LT(viewer->rtbTextData->document()->characterCount(), bytes.size());

    Search("needle", viewer->FindButton); // finishes the loading first
    EXPECT_FALSE(viewer->IsLoading());
    EXPECT_EQ(SelectedText(), "needle");
    EXPECT_EQ(viewer->rtbTextData->document()->blockCount(), 30002);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(TextViewerTest, MissingFileIsReportedAndRefused)
{
    state.CurrentModFilePath = dir.filePath("gone.txt");
    viewer = new frmTextFile(state);
    EXPECT_FALSE(viewer->Load(QString()));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to locate file.");
    EXPECT_EQ(dialogs.messages[0].title, "File not found.");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(state.CurrentModFilePath.isEmpty());
}

TEST_F(TextViewerTest, FindSelectsAndFocusesAndFailureSaysSo)
{
    Open("Alpha beta\nalphabet alpha\n");
    viewer->show();
    Search("alpha", viewer->FindButton);
    EXPECT_EQ(SelStart(), 0);
    EXPECT_EQ(SelectedText(), "Alpha");
    EXPECT_TRUE(viewer->ReplaceButton->isEnabled());
    EXPECT_TRUE(viewer->ReplaceAllButton->isEnabled());
    EXPECT_EQ(viewer->focusWidget(), viewer->rtbTextData);

    viewer->chkWord->setChecked(true);
    viewer->chkCase->setChecked(true);
    viewer->FindNextButton->click();
    EXPECT_EQ(SelStart(), 20); // not inside "alphabet", not "Alpha"

    viewer->FindNextButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "String not found");
    EXPECT_EQ(dialogs.messages[0].title, "Search Help");
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_FALSE(viewer->ReplaceButton->isEnabled());
    EXPECT_FALSE(viewer->ReplaceAllButton->isEnabled());
    EXPECT_EQ(viewer->LastFoundPosition(), -1);

    viewer->FindNextButton->click(); // from the start again; replacing waits for a Find
    EXPECT_EQ(SelStart(), 20);
    EXPECT_FALSE(viewer->ReplaceButton->isEnabled());
}

TEST_F(TextViewerTest, ReplaceAllReplacesEveryMatchAndTheFileStaysAsItWas)
{
    const QByteArray bytes = "cat\r\ncat cat\r\n";
    Open(bytes);
    Search("cat", viewer->FindButton);
    viewer->txtReplaceText->setText("dog");
    viewer->ReplaceAllButton->click();
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), "dog\ndog dog\n");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Done replacing");
    EXPECT_EQ(dialogs.messages[0].title, "Search Help");
    EXPECT_FALSE(viewer->ReplaceButton->isEnabled());

    viewer->cmdOK->click();
    test::RunDeferredDeletes();
    EXPECT_TRUE(viewer.isNull());
    QFile file(dir.filePath("forum.cgi"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
}

TEST_F(TextViewerTest, ReplaceAllInALargeTextShowsItsStartAtOnceAndFillsTheRest)
{
    QByteArray bytes;
    for (int i = 0; i < 30000; ++i)
        bytes += "cat " + QByteArray::number(i) + "\n";
    Open(bytes);
    viewer->show();
    Search("cat", viewer->FindButton);
    viewer->txtReplaceText->setText("dog");
    viewer->ReplaceAllButton->click();
    auto* progress = viewer->findChild<QProgressBar*>();
    EXPECT_TRUE(viewer->IsLoading());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(SelStart(), 0); // the caret stands where the replacing began
    EXPECT_EQ(dialogs.messages.back().text, "Done replacing");

    viewer->FinishLoading();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), QString::fromLatin1(bytes).replace("cat", "dog"));
}

TEST_F(TextViewerTest, ReplaceFollowsHandEditsInTheBox)
{
    Open("one two one\n");
    viewer->rtbTextData->moveCursor(QTextCursor::Start);
    viewer->rtbTextData->insertPlainText("one ");
    Search("one", viewer->FindButton);
    viewer->txtReplaceText->setText("1");
    viewer->ReplaceButton->click();
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), "1 one two one\n");
    EXPECT_EQ(SelStart(), 2);
    EXPECT_EQ(SelectedText(), "one");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(TextViewerTest, EnterFindsButReplacesOnlyAfterAFind)
{
    Open("abc abc\n");
    viewer->txtReplaceText->setText("X");
    viewer->rtbTextData->selectAll();
    QTest::keyClick(viewer->txtReplaceText, Qt::Key_Return);
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), "abc abc\n");

    viewer->txtFindText->setText("abc");
    QTest::keyClick(viewer->txtFindText, Qt::Key_Return);
    EXPECT_EQ(SelStart(), 0);
    QTest::keyClick(viewer->txtReplaceText, Qt::Key_Return);
    EXPECT_EQ(viewer->rtbTextData->toPlainText(), "X abc\n");
    EXPECT_EQ(SelStart(), 2);
}

TEST_F(TextViewerTest, TextBoxFollowsTheWindowSize)
{
    Open("x\n");
    viewer->resize(700, 500);
    viewer->show();
    const QSize outer = viewer->frameGeometry().size();
    EXPECT_EQ(viewer->rtbTextData->width(), outer.width() - TwipsToPixels(250, viewer));
    EXPECT_EQ(viewer->rtbTextData->height(), outer.height() - TwipsToPixels(2000, viewer));
    EXPECT_EQ(viewer->cmdOK->y(), outer.height() - TwipsToPixels(1000, viewer));
    EXPECT_NEAR(viewer->cmdOK->geometry().center().x(), viewer->width() / 2, 1);
}

TEST_F(TextViewerTest, MainWindowOpensANewViewerForEachFile)
{
    mdiMain main(state);
    main.show();
    EXPECT_EQ(OpenTextViewer(main, dir.filePath("gone.txt")), nullptr);
    EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(dialogs.messages.size(), 1u);

    const QString path = WriteFile("text\n");
    dialogs.openResults = {{path}};
    main.mnuOpenFile->trigger(); // "&Open Text File"
    ASSERT_EQ(main.mdiArea()->subWindowList().size(), 1);
    auto* first = qobject_cast<frmTextFile*>(main.mdiArea()->subWindowList()[0]->widget());
    state.CurrentModFilePath = path; // as the modifications editor hands a board file over
    frmTextFile* second = OpenTextViewer(main);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(second->windowTitle(), "Zenpatch - " + path + " (read-only preview of find and replace)");
    EXPECT_EQ(second->parentWidget()->size(), QSize(TwipsToPixels(9600, second), TwipsToPixels(7200, second)));

    // Coming back to a viewer puts the focus in its search box.
    first->rtbTextData->setFocus();
    main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
    main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_EQ(first->focusWidget(), first->txtFindText);

    // "&CLOSE" closes the window with its frame; Ctrl+W does so from the text box.
    first->cmdOK->click();
    test::RunDeferredDeletes();
    EXPECT_EQ(main.mdiArea()->subWindowList(),
              QList<QMdiSubWindow*> {qobject_cast<QMdiSubWindow*>(second->parentWidget())});
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    second->rtbTextData->setFocus();
    QTest::keyClick(second->rtbTextData, Qt::Key_W, Qt::ControlModifier);
    test::RunDeferredDeletes();
    EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
}

} // namespace
} // namespace zp
