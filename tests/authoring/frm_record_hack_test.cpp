#include "authoring/frm_record_hack.h"
#include "board_windows.h"
#include "catalogue/frm_edit_hack.h"
#include "shell/hack_list_openers.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace zp::testing {
namespace {

class RecordHackWindowTest : public BoardWindows
{
protected:
    void Record()
    {
        window->cmdRecord->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsRecording(); }, 30000));
    }

    frmRecordHack* window = nullptr;
};

TEST_F(RecordHackWindowTest, RecordsInTheBackgroundListsRedFilesAndOpensTheEditor)
{
    Write(source + "/templates/a.tmpl", "a\r\nb\r\n");
    Write(source + "/templates/mixed.tmpl", "x\r\n");
    Write(home.filePath("edited/templates/a.tmpl"), "a\r\nnew\r\nb\r\n");
    Write(home.filePath("edited/templates/mixed.tmpl"), "x\r\ny\n");
    main->mnuRecordHack->trigger();
    window = main->findChild<frmRecordHack*>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->txtOriginal->text(), source);
    QTest::keyClicks(window->txtEdited, home.filePath("edited"));
    window->txtName->setText("Windowed");

    Record();
    std::vector<std::pair<QString, bool>> rows;
    for (int r = 1; r < window->fgFiles->Rows(); ++r)
        rows.emplace_back(window->fgFiles->TextMatrix(r, 0) + "|" + window->fgFiles->TextMatrix(r, 1),
                          window->fgFiles->RowColor(r) == QColor(Qt::red));
    EXPECT_EQ(rows,
              (std::vector<std::pair<QString, bool>> {{"templates/a.tmpl|1", false}, {"templates/mixed.tmpl|", true}}));
    EXPECT_FALSE(window->cmdOpenEditor->isEnabled());

    window->chkPartial->setChecked(true);
    Record();
    ASSERT_TRUE(window->cmdOpenEditor->isEnabled());
    window->cmdOpenEditor->click();
    EXPECT_NE(main->findChild<frmEditHack*>(), nullptr);
    EXPECT_EQ(state.HackInfoRecordset->Text("Name"), "Windowed");
}

TEST_F(RecordHackWindowTest, TheShowingListSelectsTheStoredHackNotOneOfTheSameName)
{
    const int taken = AddHack("Taken");
    frmListHacks& list = ShowHackList(*main);
    Write(source + "/templates/a.tmpl", "a\r\n");
    Write(home.filePath("edited/templates/a.tmpl"), "a\r\nb\r\n");
    main->mnuRecordHack->trigger();
    window = main->findChild<frmRecordHack*>();
    ASSERT_NE(window, nullptr);
    QTest::keyClicks(window->txtEdited, home.filePath("edited"));
    window->txtName->setText("Taken");
    Record();
    ASSERT_EQ(list.fgHackList->Rows(), 3);
    EXPECT_EQ(list.fgHackList->Row(), 2);
    EXPECT_NE(list.SelectedHackNum(), taken);
}

} // namespace
} // namespace zp::testing
