#include "catalogue/frm_hack_info.h"

#include "catalogue_fixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace zp {
namespace {

class HackInfoTest : public test::CatalogueTest
{
protected:
    // Positions HackInfoRecordset on the hack, as the hack list does.
    void Select(int hackNum)
    {
        state.HackInfoRecordset->ReOpen(sql::SelectHackInfo);
        for (state.HackInfoRecordset->MoveFirst(); state.HackInfoRecordset->Int("HackNum") != hackNum;)
            state.HackInfoRecordset->MoveNext();
    }
};

TEST_F(HackInfoTest, ShowsEveryFieldOfTheCurrentHack)
{
    const int n = AddHack("Calendar", 1);
    state.Connection.Execute(QString("UPDATE HackInfo SET AuthEmail = 'a@b.org', HomePage = 'http://a.org', "
                                     "UpdateURL = 'http://a.org/u', Copyright = '(c) 2001', "
                                     "Comments = 'line one\nline two' WHERE HackNum = %1")
                                 .arg(n));
    AddHack("Other");
    Select(n);
    frmHackInfo viewer(state);
    EXPECT_EQ(viewer.windowTitle(), "Hack Information");
    EXPECT_EQ(viewer.txtHackName->text(), "Calendar");
    EXPECT_EQ(viewer.txtHackType->text(), "vBulletin (vB)");
    EXPECT_EQ(viewer.txtAuthName->text(), "Author of Calendar");
    EXPECT_EQ(viewer.txtAuthEmail->text(), "a@b.org");
    EXPECT_EQ(viewer.txtHackVersion->text(), "1.0");
    EXPECT_EQ(viewer.txtHomePage->text(), "http://a.org");
    EXPECT_EQ(viewer.txtUpdateURL->text(), "http://a.org/u");
    EXPECT_EQ(viewer.txtCopyright->text(), "(c) 2001");
    EXPECT_EQ(viewer.txtHackComm->toPlainText(), "line one\nline two");
    EXPECT_TRUE(viewer.txtHackComm->font().fixedPitch());
    EXPECT_TRUE(viewer.txtHackName->isReadOnly());
}

TEST_F(HackInfoTest, NullFieldsAndUnknownTypesShowEmpty)
{
    const int ubb = AddHack("Ubb", 0);
    const int other = AddHack("Other", 2);
    state.Connection.Execute(QString("UPDATE HackInfo SET Name = NULL, Version = NULL, AuthName = NULL "
                                     "WHERE HackNum = %1")
                                 .arg(other));
    Select(ubb);
    EXPECT_EQ(frmHackInfo(state).txtHackType->text(), "Ultimate Bulletin Board (UBB)");

    Select(other);
    frmHackInfo viewer(state);
    for (QLineEdit* box : viewer.findChildren<QLineEdit*>())
        EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
    EXPECT_EQ(viewer.txtHackComm->toPlainText(), "");
}

} // namespace
} // namespace zp
