#include "catalogue/frm_hack_comm.h"

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "shell/mdi_main.h"
#include "widget_test_app.h"

#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <map>

namespace zp {
namespace {

// Stands in for the hack editor: the text each display type's control holds.
struct FakeEditor : LongTextTarget
{
    void SetLongText(qint16 DispType, const QString& text) override { controls[DispType] = text; }
    std::map<qint16, QString> controls;
};

class LongTextEditorTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    frmHackComm* Open(qint16 type, const QString& text)
    {
        window = new frmHackComm(editor);
        window->GetType(type, text);
        window->show();
        return window;
    }

    FakeEditor editor;
    QPointer<frmHackComm> window;
    void TearDown() override { delete window; }
};

TEST_F(LongTextEditorTest, EachDisplayTypeHasItsCaption)
{
    const std::map<qint16, QString> captions = {{1, "Hack Comments"},
                                                {2, "PreInstall Message"},
                                                {3, "Post Install Message"},
                                                {4, "Old Data Information"},
                                                {5, "New Data Information"}};
    for (const auto& [type, caption] : captions) {
        frmHackComm form(editor);
        form.GetType(type, "text");
        EXPECT_EQ(form.windowTitle(), caption);
        EXPECT_EQ(form.txtHackComm->toPlainText(), "text");
        EXPECT_EQ(form.DisplayType(), type);
    }
    frmHackComm unknown(editor);
    unknown.GetType(9, "x");
    EXPECT_EQ(unknown.windowTitle(), "Hack Comments"); // the design caption stays
}

TEST_F(LongTextEditorTest, CancelAndUnknownTypesCopyNothing)
{
    Open(1, "old");
    window->txtHackComm->setPlainText("new");
    window->cmdCancel->click();
    test::RunDeferredDeletes();
    EXPECT_TRUE(window.isNull());

    Open(0, "old");
    window->cmdSave->click();
    test::RunDeferredDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(editor.controls.empty());
}

TEST_F(LongTextEditorTest, EachUseOpensItsOwnWindowInTheMainWindow)
{
    ScriptedDialogs dialogs;
    AppState state(QString(), dialogs);
    mdiMain main(state);
    main.resize(1000, 800);
    main.show();
    frmHackComm* pre = OpenLongTextEditor(main, editor, 2, "before");
    frmHackComm* post = OpenLongTextEditor(main, editor, 3, "after");
    EXPECT_NE(pre, post);
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(pre->windowTitle(), "PreInstall Message");
    const QRect frame = post->parentWidget()->geometry();
    const QSize area = main.mdiArea()->viewport()->size();
    EXPECT_NEAR(frame.center().x(), area.width() / 2, 2);

    // Save copies only into the editor's control of its own type, then the window goes.
    QPointer<frmHackComm> closing = post;
    post->txtHackComm->setPlainText("Thanks.\nNow rebuild the templates.");
    post->cmdSave->click();
    test::RunDeferredDeletes();
    EXPECT_TRUE(closing.isNull());
    EXPECT_EQ(editor.controls, (std::map<qint16, QString> {{3, "Thanks.\nNow rebuild the templates."}}));
    // Its frame went with it; so does Cancel's.
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1);
    pre->cmdCancel->click();
    test::RunDeferredDeletes();
    EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
}

} // namespace
} // namespace zp
