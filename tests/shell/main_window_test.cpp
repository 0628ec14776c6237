#include "shell_fixture.h"

#include "catalogue/frm_edit_hack.h"
#include "shell/mdi_main.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>

namespace zp::test {
namespace {

class MainWindowTest : public ShellTest
{
protected:
    MainWindowTest()
    {
        window.resize(1000, 800);
        window.show();
    }

    QStringList Captions(QMenu* menu) const
    {
        QStringList captions;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                captions << action->objectName() + "=" + action->text();
        return captions;
    }

    QMdiSubWindow* AddChild(int width, int height)
    {
        auto* form = new QWidget;
        QMdiSubWindow* sub = window.ShowChild(form);
        sub->resize(width, height);
        return sub;
    }

    mdiMain window {state};
};

TEST_F(MainWindowTest, MenusCarryEveryCaptionInOrder)
{
    EXPECT_EQ(window.windowTitle(), "Zenpatch");
    QStringList menus;
    for (QAction* action : window.menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, QStringList({"&File", "&Hacks", "&Window", "Hel&p"}));
    EXPECT_EQ(Captions(window.mnuFile),
              QStringList({"mnuOptions=&Options", "mnuBackupDB=&Backup Database", "mnuExit=e&Xit"}));
    EXPECT_EQ(Captions(window.mnuHacks),
              QStringList({"mnuHackList=&List Hacks",
                           "mnuImport=&Import Hack",
                           "mnuOpenFile=&Open Text File",
                           "mnuInstallSeveral=Install &Several...",
                           "mnuRevertInstall=&Revert Installation...",
                           "mnuBoardCheck=&Board Check...",
                           "mnuRecordHack=&New Hack from Changes...",
                           "mnuCheckUpdates=Check for &Updates..."}));
    EXPECT_EQ(Captions(window.mnuWindow),
              QStringList({"mnuHorz=Tile &Horizontal",
                           "mnuVert=Tile &Vertical",
                           "mnuArrange=&Arrange Icons",
                           "mnuCascade=&Cascade Windows"}));
    EXPECT_EQ(Captions(window.mnuHelp),
              QStringList({"mnuAbout=&About",
                           "mnuEncoderAbout=About the File &Encoding Control...",
                           "mnuDocsMSWord=Documentation - &MS Word",
                           "mnuDocsPDF=Documentation - &PDF"}));

    // The desktop's standard keys for opening a file, the documentation and quitting; Ctrl+Q where
    // the desktop has no key to quit.
    const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
    EXPECT_EQ(window.mnuExit->shortcuts(), quit.isEmpty() ? QList {QKeySequence("Ctrl+Q")} : quit);
    EXPECT_EQ(window.mnuOpenFile->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(window.mnuDocsPDF->shortcut(), QKeySequence(QKeySequence::HelpContents));
    EXPECT_FALSE(window.mnuOpenFile->shortcut().isEmpty() || window.mnuDocsPDF->shortcut().isEmpty());
}

// The first run opens wide enough for the editor, within the screen; every later run opens as the
// window was when it was last closed.
TEST_F(MainWindowTest, OpensForTheEditorAndThenAsItWasClosed)
{
    const QString settings = Home() + "/zenpatch-window.ini";
    const QRect closedAt(30, 40, 640, 430);
    {
        mdiMain first(state);
        first.RestoreWindowState(settings);
        const QSize screen = first.screen()->availableSize();
        EXPECT_GE(first.width(), qMin(TwipsToPixels(EditorWidthTwips, &first), screen.width()));
        EXPECT_LE(first.width(), screen.width());
        EXPECT_LE(first.height(), screen.height());
        first.show();
        first.setGeometry(closedAt);
        first.close();
    }
    mdiMain next(state);
    next.RestoreWindowState(settings);
    EXPECT_EQ(next.geometry(), closedAt);
}

TEST_F(MainWindowTest, StatusBarHasFivePanels)
{
    EXPECT_EQ(window.PanelText(1), "Zenpatch 2");
    EXPECT_EQ(window.PanelText(2), "Total Hacks: 0");
    EXPECT_EQ(window.PanelText(3), "Hack Mods: 0");
    // Time and date as the list shows its stamps, "1:05pm" and "12-07-2001".
    EXPECT_TRUE(QRegularExpression("^1?[0-9]:[0-5][0-9][ap]m$").match(window.PanelText(4)).hasMatch())
        << window.PanelText(4).toStdString();
    EXPECT_EQ(window.PanelText(5), QDate::currentDate().toString("MM-dd-yyyy"));
    EXPECT_EQ(window.sbarMain->findChildren<QLabel*>().size(), 5);

    window.SetPanelText(2, "Total Hacks: 12");
    window.SetPanelText(0, "ignored");
    window.SetPanelText(6, "ignored");
    EXPECT_EQ(window.PanelText(2), "Total Hacks: 12");
    EXPECT_EQ(window.PanelText(1), "Zenpatch 2");
}

TEST_F(MainWindowTest, TileHorizontalStacksWindowsOverTheFullWidth)
{
    QMdiSubWindow* a = AddChild(200, 150);
    QMdiSubWindow* b = AddChild(300, 100);
    QMdiSubWindow* c = AddChild(250, 120);
    window.mnuHorz->trigger();
    const QSize area = window.mdiArea()->viewport()->size();
    for (QMdiSubWindow* sub : {a, b, c}) {
        EXPECT_EQ(sub->x(), 0);
        EXPECT_EQ(sub->width(), area.width());
    }
    EXPECT_EQ(a->y(), 0);
    EXPECT_EQ(b->y(), a->y() + a->height());
    EXPECT_EQ(c->y(), b->y() + b->height());
    EXPECT_EQ(c->y() + c->height(), area.height());
}

TEST_F(MainWindowTest, TileVerticalPutsWindowsSideBySide)
{
    QMdiSubWindow* a = AddChild(200, 150);
    QMdiSubWindow* b = AddChild(300, 100);
    window.mnuVert->trigger();
    const QSize area = window.mdiArea()->viewport()->size();
    EXPECT_EQ(a->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(b->x(), area.width() / 2);
    EXPECT_EQ(b->x() + b->width(), area.width());
    EXPECT_EQ(b->height(), area.height());
}

TEST_F(MainWindowTest, CascadeKeepsSizesThatFitAndNoArrangementSqueezesAWindow)
{
    QMdiSubWindow* a = AddChild(300, 200);
    QMdiSubWindow* b = AddChild(400, 250);
    // A window whose row of buttons needs more than a third of the area's width.
    auto* form = new QWidget;
    auto* row = new QHBoxLayout(form);
    QList<QPushButton*> buttons;
    for (int i = 0; i < 8; ++i)
        row->addWidget(buttons.emplace_back(new QPushButton(QString("Button number %1").arg(i))));
    QMdiSubWindow* c = window.ShowChild(form);
    c->resize(3000, 3000);

    window.mnuCascade->trigger();
    const QSize area = window.mdiArea()->viewport()->size();
    EXPECT_EQ(a->geometry(), QRect(QPoint(0, 0), QSize(300, 200)));
    EXPECT_EQ(b->size(), QSize(400, 250));
    EXPECT_GT(b->x(), 0);
    EXPECT_EQ(b->x(), b->y());
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(c->geometry())); // too large: bounded by the area

    window.mnuVert->trigger();
    for (QPushButton* button : buttons)
        EXPECT_GE(button->width(), button->minimumSizeHint().width());
}

// Tiles too many for the area are each at least their minimum, one after the other; once the others
// have closed, tiling or cascading gives the window left its designed size again.
TEST_F(MainWindowTest, TilesKeepTheirMinimumAndAWindowLeftAloneItsDesignedSize)
{
    const QSize area = window.mdiArea()->viewport()->size();
    QList<QMdiSubWindow*> windows;
    for (int i = 0; i < 4; ++i) {
        windows << AddChild(area.width() / 2, area.height() / 2);
        windows.back()->setMinimumSize(area.width() / 3, area.height() / 3);
    }
    const QSize designed = windows[0]->size();
    for (QAction* tile : {window.mnuHorz, window.mnuVert}) {
        SCOPED_TRACE(tile->objectName().toStdString());
        tile->trigger();
        for (int i = 0; i < 4; ++i) {
            EXPECT_GE(windows[i]->width(), windows[i]->minimumWidth());
            EXPECT_GE(windows[i]->height(), windows[i]->minimumHeight());
            for (int j = 0; j < i; ++j)
                EXPECT_FALSE(windows[i]->geometry().intersects(windows[j]->geometry())) << i << " over " << j;
        }
    }
    for (int i = 1; i < 4; ++i)
        windows[i]->close();
    for (QAction* arrange : {window.mnuHorz, window.mnuCascade, window.mnuVert}) {
        SCOPED_TRACE(arrange->objectName().toStdString());
        windows[0]->resize(windows[0]->minimumSize());
        arrange->trigger();
        EXPECT_EQ(windows[0]->size(), designed);
    }
}

TEST_F(MainWindowTest, ArrangeIconsLinesUpMinimisedWindowsAtTheBottom)
{
    QMdiSubWindow* open = AddChild(300, 200);
    QMdiSubWindow* a = AddChild(200, 150);
    QMdiSubWindow* b = AddChild(200, 150);
    a->showMinimized();
    b->showMinimized();
    a->move(400, 30);
    b->move(100, 60);
    const QRect before = open->geometry();
    window.mnuArrange->trigger();
    const int bottom = window.mdiArea()->viewport()->height();
    EXPECT_EQ(a->geometry().bottom() + 1, bottom);
    EXPECT_EQ(b->geometry().bottom() + 1, bottom);
    EXPECT_EQ(a->x(), 0);
    EXPECT_EQ(b->x(), a->width());
    EXPECT_EQ(open->geometry(), before);
}

TEST_F(MainWindowTest, TilingLeavesMinimisedWindowsAlone)
{
    QMdiSubWindow* a = AddChild(200, 150);
    QMdiSubWindow* icon = AddChild(200, 150);
    QMdiSubWindow* b = AddChild(200, 150);
    icon->showMinimized();
    window.mnuHorz->trigger();
    const int height = window.mdiArea()->viewport()->height();
    EXPECT_TRUE(icon->isMinimized());
    EXPECT_EQ(a->height(), height / 2);
    EXPECT_EQ(b->y(), height / 2);
}

TEST_F(MainWindowTest, CenterInParentCentresAChildInTheClientArea)
{
    auto* form = new QWidget;
    QMdiSubWindow* sub = window.ShowChild(form);
    sub->resize(400, 300);
    CenterInParent(form);
    const QSize area = window.mdiArea()->viewport()->size();
    EXPECT_EQ(sub->pos(), QPoint((area.width() - 400) / 2, (area.height() - 300) / 2));

    sub->resize(area.width() + 200, 300); // larger than the area: kept at the left edge
    CenterInParent(form);
    EXPECT_EQ(sub->x(), 0);
    EXPECT_EQ(TwipsToPixels(1440, form), form->logicalDpiX());
}

} // namespace
} // namespace zp::test
