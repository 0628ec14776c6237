#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "program_folder_fixture.h"

#include <QRegularExpression>

using namespace zp;

namespace {

class CatalogueOperationsTest : public ProgramFolderFixture
{
protected:
    int Create(const QString& name, int hackType = 0)
    {
        return CreateHack(state, [&](Recordset& hack) {
            hack.SetValue("Name", name);
            hack.SetValue("Version", "0.0.1");
            hack.SetValue("HackType", hackType);
        });
    }

    void AddChild(const char* table, int hackNum)
    {
        state.Connection.Execute(
            QStringLiteral("INSERT INTO [%1] ([HackNum], [FileName]) VALUES (%2, 'f')").arg(table).arg(hackNum));
    }
};

} // namespace

TEST_F(CatalogueOperationsTest, CreateReadsBackTheNumberIntoTheState)
{
    EXPECT_EQ(Create("one"), 1);
    EXPECT_EQ(Create("two"), 2);
    EXPECT_EQ(state.CurrentHackNum, 2);
    EXPECT_EQ(state.HackInfoRecordset->Text("Name"), "two");
}

TEST_F(CatalogueOperationsTest, NumbersBeyondSixteenBitsStayWhole)
{
    Create("one");
    state.Connection.Execute("UPDATE sqlite_sequence SET seq = 32766 WHERE name = 'HackInfo'");
    EXPECT_EQ(Create("last of sixteen bits"), 32767);
    EXPECT_EQ(Create("beyond"), 32768);
    EXPECT_EQ(state.CurrentHackNum, 32768);
    ASSERT_TRUE(FindHack(state, "32768"));
    EXPECT_EQ(state.HackInfoRecordset->Text("Name"), "beyond");
    EXPECT_EQ(CountRows(sql::SelectHackInfo), 3);
}

TEST_F(CatalogueOperationsTest, DeleteRemovesChildrenOfThatHackOnly)
{
    const int kept = Create("kept");
    AddChild("HackData", kept);
    AddChild("HackFiles", kept);
    const int doomed = Create("doomed");
    AddChild("HackData", doomed);
    AddChild("HackData", doomed);
    AddChild("HackFiles", doomed);
    const int bare = Create("bare");

    for (const int hack : {doomed, bare}) {
        ASSERT_TRUE(FindHack(state, QString::number(hack)));
        DeleteHack(state);
    }
    EXPECT_EQ(CountRows(sql::SelectHackInfo), 1);
    EXPECT_EQ(CountRows(sql::SelectHackData), 1);
    EXPECT_EQ(CountRows(sql::SelectHackDataOf + QString::number(doomed)), 0);
    EXPECT_EQ(CountRows(sql::SelectHackFilesOf + QString::number(doomed)), 0);
    EXPECT_EQ(CountRows(sql::SelectHackFilesOf + QString::number(kept)), 1);
}

TEST_F(CatalogueOperationsTest, FindSelectsByNumberThenExactName)
{
    Create("Alpha", 1);
    Create("2");
    ASSERT_TRUE(FindHack(state, "2")); // a number wins over a name
    EXPECT_EQ(state.CurrentHackNum, 2);
    ASSERT_TRUE(FindHack(state, "Alpha"));
    EXPECT_EQ(state.CurrentHackNum, 1);
    EXPECT_EQ(state.CurrentHackType, 1);
    EXPECT_EQ(state.DirectoryTable.size(), 10);
    EXPECT_TRUE(state.HackDataRecordset->IsOpen());
    // A job that reads the mods itself finds them unread: never the last hack's.
    ASSERT_TRUE(FindHack(state, "2", ModsRead::ByTheJob));
    EXPECT_EQ(state.CurrentHackNum, 2);
    EXPECT_FALSE(state.HackDataRecordset->IsOpen());
    EXPECT_FALSE(FindHack(state, "alpha"));
    EXPECT_FALSE(FindHack(state, "9"));
}

TEST_F(CatalogueOperationsTest, ListRowsFollowTheListOrderWithFileCounts)
{
    const int b = Create("b");
    const int a = Create("A");
    AddChild("HackFiles", b);
    AddChild("HackFiles", b);
    StampTime(*state.HackInfoRecordset, "LastInstall");

    const auto rows = HackListRows(state, true);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].HackNum, a);
    EXPECT_EQ(rows[0].cells.mid(0, 5), QStringList({"A", "0.0.1", "", "0", ""}));
    EXPECT_TRUE(QRegularExpression("^\\d\\d-\\d\\d-\\d{4} \\d{1,2}:\\d\\d[ap]m$").match(rows[0].cells[5]).hasMatch())
        << rows[0].cells[5].toStdString();
    EXPECT_EQ(rows[1].cells[3], "2");
}
