// Several working windows open at once: each acts on the hack it was opened for, and the hack list's
// commands on the row the list shows as selected.
#include "board_windows.h"

#include "catalogue/frm_edit_hack.h"
#include "database/recordset.h"
#include "engine/modification_engine.h"
#include "install/frm_install_hack.h"
#include "shell/hack_list_openers.h"
#include "widgets/window_helpers.h"

#include <QLineEdit>
#include <QPushButton>

namespace zp::testing {
namespace {

class WorkingWindowsTest : public BoardWindows
{
protected:
    QStringList Column(const QString& sql, const QString& field)
    {
        Recordset rows(state.Connection);
        rows.Open(sql);
        QStringList values;
        for (; !rows.EOF(); rows.MoveNext())
            values << rows.Text(field);
        return values;
    }

    QStringList ModsOf(int hack)
    {
        return Column("SELECT * FROM [HackData] WHERE [HackNum] = " + QString::number(hack) + " ORDER BY [ModOrder]",
                      "NewData");
    }
};

TEST_F(WorkingWindowsTest, ListInstallerAndEditorEachActOnTheirOwnHack)
{
    Write(source + "/cgi-bin/forum.cgi", "x\r\n");
    const int alpha = AddHack("Alpha");
    AddMod(alpha, 1, "forum.cgi", 0, "", Replace, 1, "x", "alpha");
    const int beta = AddHack("Beta");
    AddMod(beta, 1, "forum.cgi", 0, "", Replace, 1, "x", "beta 1");
    AddMod(beta, 2, "forum.cgi", 0, "", Replace, 1, "x", "beta 2");
    const int gamma = AddHack("Gamma");
    for (int order : {1, 2, 3})
        AddMod(gamma, order, "forum.cgi", 0, "", Replace, 1, "x", "gamma " + QString::number(order));

    // The editor on Gamma; the list closes meanwhile and a second one is opened.
    frmListHacks* list = &ShowHackList(*main);
    list->fgHackList->SetRow(3);
    list->cmdEditHack->click();
    test::RunDeferredDeletes();
    auto* editor = FindWorkingWindow<frmEditHack>(main->mdiArea());
    ASSERT_NE(editor, nullptr);
    list = &ShowHackList(*main);

    // Alpha's installer runs while the list highlights Beta.
    list->fgHackList->SetRow(1);
    list->cmdInstallHack->click();
    auto* installer = FindWorkingWindow<frmInstallHack>(main->mdiArea());
    ASSERT_NE(installer, nullptr);
    list->fgHackList->SetRow(2);
    installer->cmdInstall->click();
    EXPECT_EQ(Read(output + "/cgi-bin/forum.cgi"), "alpha\r\n");
    EXPECT_EQ(list->SelectedHackNum(), beta);
    EXPECT_EQ(state.CurrentHackNum, beta);
    EXPECT_EQ(main->PanelText(3), "Hack Mods: 2");
    EXPECT_TRUE(dialogs.messages.empty());

    // The editor saves and deletes on Gamma only.
    editor->txtHackName->setText("Gamma 2");
    editor->cmdSaveHackInfo->click();
    editor->fgModList->SetRow(2);
    dialogs.answers = {MsgAnswer::Yes};
    editor->cmdDelMod->click();
    EXPECT_EQ(ModsOf(gamma), QStringList({"gamma 1", "gamma 3"}));
    EXPECT_EQ(ModsOf(beta), QStringList({"beta 1", "beta 2"}));
    EXPECT_EQ(ModsOf(alpha), QStringList({"alpha"}));

    // Delete takes the highlighted Beta, not the hack installed last.
    dialogs.answers = {MsgAnswer::Yes};
    list->cmdDeleteHack->click();
    EXPECT_EQ(Column("SELECT * FROM [HackInfo] ORDER BY [HackNum]", "Name"), QStringList({"Alpha", "Gamma 2"}));
    EXPECT_TRUE(ModsOf(beta).isEmpty());
    EXPECT_EQ(ModsOf(alpha), QStringList({"alpha"}));
    EXPECT_EQ(ModsOf(gamma).size(), 2);
}

} // namespace
} // namespace zp::testing
